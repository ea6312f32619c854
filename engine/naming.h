// Output names: the base name of a source file and a free output path.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/gdiplus/gdiplus.h"

enum class AffixMode { Prefix, Suffix };

// The file name after the last backslash, without its last extension.
std::u16string BaseNameOf(const std::u16string& path);

// Whether a file name, joined to a folder, names a file in that folder on
// every system: no "\" or "/" in it, and not a device that Windows finds in
// every folder (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, CONIN$,
// CONOUT$; in any case, with any extension, with spaces before the dot).
bool IsPlainFileName(std::u16string_view name);

// The names an output may take, in the order they are tried: folder + name +
// extension, then with one more copy of the affix before the name (prefix
// mode) or after it (suffix mode) each time.
class OutputNames {
public:
    OutputNames(std::u16string folder, std::u16string name, std::u16string affix,
                std::u16string extension, AffixMode mode);
    // The first of the names from the last one handed out on (exclusive)
    // that does not exist. Empty when there is none: the affix makes no new
    // name (it is empty, or only separators and dots), or the name is no
    // plain file name, or an affix that is needed holds a drive or stream
    // colon. A name that would leave the folder is never handed out.
    std::u16string NextFree();

private:
    std::u16string m_folder;
    std::u16string m_current;
    std::u16string m_affix;
    std::u16string m_extension;
    AffixMode m_mode;
    int m_copies = 0;
};

// folder + name + extension; while that exists, one more copy of the affix
// goes before the name (prefix mode) or after it (suffix mode). Empty when
// there is no free name (see OutputNames::NextFree).
std::u16string MakeOutputPath(const std::u16string& folder, const std::u16string& name,
                              const std::u16string& prefix, const std::u16string& suffix,
                              const std::u16string& extension, AffixMode mode);

// Saves under the first free name of names. save(path) must write there only
// if the name is still free when the file lands, and answer ObjectBusy,
// having written nothing, when another file took it meanwhile; the search
// then goes on from the next name, so that both files are kept. Returns the
// last save's status, or Win32Error when no name could be made.
GpStatus SaveUnderFreeName(OutputNames& names,
                           const std::function<GpStatus(const std::u16string& path)>& save);
