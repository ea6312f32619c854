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
    std::u16string current = name;
    std::u16string candidate = folder + current + extension;
    // An empty affix would never make the name free; the run never passes
    // one, and a caller that did gets the taken name back instead of a hang.
    const std::u16string& affix = mode == AffixMode::Prefix ? prefix : suffix;
    if (affix.empty()) return candidate;
    while (PathFileExistsW(candidate.c_str())) {
        current = mode == AffixMode::Prefix ? prefix + current : current + suffix;
        candidate = folder + current + extension;
    }
    return candidate;
}
