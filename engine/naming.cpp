// Output names: a source file's base name and the first free output path.
#include "engine/naming.h"

#include "platform/win32/fileapi.h"
#include "util/text.h"

std::u16string BaseNameOf(const std::u16string& path) {
    if (path.empty()) return {};
    const long long length = static_cast<long long>(path.size());
    const std::u16string name = util::RightPart(path, length - util::LastIndexOf(path, u'\\') - 1);
    const long long dot = util::LastIndexOf(name, u'.');
    return dot < 0 ? name : util::LeftPart(name, dot);
}

std::u16string MakeOutputPath(const std::u16string& folder, const std::u16string& name,
                              const std::u16string& prefix, const std::u16string& suffix,
                              const std::u16string& extension, AffixMode mode) {
    // No file name is longer than 255 characters, so an affix that makes new
    // names ends the search within 255 copies, when the candidate can no
    // longer exist. One that still finds the name taken makes no new names:
    // an empty one, or a prefix of separators ("\", ".\") that names the
    // same file again and again. There is no free name then; the taken one
    // is never handed back, so nothing is written over.
    constexpr int kMostAffixes = 256;
    const std::u16string& affix = mode == AffixMode::Prefix ? prefix : suffix;
    std::u16string current = name;
    for (int copies = 0; copies <= kMostAffixes; ++copies) {
        const std::u16string candidate = folder + current + extension;
        if (!PathFileExistsW(candidate.c_str())) return candidate;
        current = mode == AffixMode::Prefix ? affix + current : current + affix;
    }
    return {};
}
