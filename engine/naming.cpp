// Output names: a source file's base name and the first free output path.
#include "engine/naming.h"

#include <array>

#include "platform/win32/fileapi.h"
#include "util/text.h"

std::u16string BaseNameOf(const std::u16string& path) {
    if (path.empty()) return {};
    const long long length = static_cast<long long>(path.size());
    const std::u16string name = util::RightPart(path, length - util::LastIndexOf(path, u'\\') - 1);
    const long long dot = util::LastIndexOf(name, u'.');
    return dot < 0 ? name : util::LeftPart(name, dot);
}

namespace {

char16_t Upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Windows opens these devices under any folder, whatever follows the first
// dot and with spaces before it: "nul.PNG" is the null device, not a file.
bool IsDeviceName(std::u16string_view name) {
    std::u16string_view stem = name.substr(0, name.find(u'.'));
    while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
    std::u16string upper;
    for (char16_t c : stem) upper += Upper(c);
    static constexpr std::array<std::u16string_view, 6> kFixed = {u"CON", u"PRN",    u"AUX",
                                                                  u"NUL", u"CONIN$", u"CONOUT$"};
    for (std::u16string_view fixed : kFixed)
        if (upper == fixed) return true;
    if (upper.size() != 4 || (upper.substr(0, 3) != u"COM" && upper.substr(0, 3) != u"LPT"))
        return false;
    const char16_t digit = upper[3];
    // COM1 to COM9, and the superscript digits one, two and three that
    // Windows also takes for them.
    return (digit >= u'1' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' ||
           digit == u'\u00B3';
}

}  // namespace

bool IsPlainFileName(std::u16string_view name) {
    if (name.find_first_of(u"\\/") != std::u16string_view::npos) return false;
    return !IsDeviceName(name);
}

OutputNames::OutputNames(std::u16string folder, std::u16string name, std::u16string affix,
                         std::u16string extension, AffixMode mode)
    : m_folder(std::move(folder)),
      m_current(std::move(name)),
      m_affix(std::move(affix)),
      m_extension(std::move(extension)),
      m_mode(mode) {}

std::u16string OutputNames::NextFree() {
    // No file name is longer than 255 characters, so an affix that makes new
    // names ends the search within 255 copies, when the candidate can no
    // longer exist. One that still finds the name taken makes no new names:
    // an empty one, or a prefix of separators ("\", ".\") that names the
    // same file again and again. There is no free name then; the taken one
    // is never handed back, so nothing is written over.
    constexpr int kMostAffixes = 256;
    // An affix is part of the name, never a path: "..\" would write into the
    // parent folder, "D:" onto another drive or into a stream of a file.
    const bool affixIsName = m_affix.find(u':') == std::u16string::npos;
    for (; m_copies <= kMostAffixes; ++m_copies) {
        if (m_copies > 0)
            m_current = m_mode == AffixMode::Prefix ? m_affix + m_current : m_current + m_affix;
        if ((m_copies > 0 && !affixIsName) || !IsPlainFileName(m_current + m_extension)) {
            m_copies = kMostAffixes + 1;
            return {};
        }
        std::u16string candidate = m_folder + m_current + m_extension;
        if (!PathFileExistsW(candidate.c_str())) {
            ++m_copies;
            return candidate;
        }
    }
    return {};
}

std::u16string MakeOutputPath(const std::u16string& folder, const std::u16string& name,
                              const std::u16string& prefix, const std::u16string& suffix,
                              const std::u16string& extension, AffixMode mode) {
    return OutputNames(folder, name, mode == AffixMode::Prefix ? prefix : suffix, extension, mode)
        .NextFree();
}

GpStatus SaveUnderFreeName(OutputNames& names,
                           const std::function<GpStatus(const std::u16string& path)>& save) {
    for (;;) {
        const std::u16string path = names.NextFree();
        if (path.empty()) return Win32Error;
        const GpStatus status = save(path);
        if (status != ObjectBusy) return status;
    }
}
