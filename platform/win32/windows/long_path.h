// Paths beyond the classic limit of 260 units. Without the system's
// long-path setting, a file call refuses a longer path unless it comes in the
// verbatim form "\\?\C:\..." or "\\?\UNC\server\share\...". That form is
// passed on without the usual parsing ("/" is no separator, "." and ".." are
// names), so it is made only from a full path, which GetFullPathNameW has
// already put in shape. Shared by the program's file calls and the imaging
// runtime's (which sees wchar_t), hence a template over the unit type.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace win32 {

// From this length on a path takes the verbatim form: the tightest limit is
// CreateDirectoryW's, 260 less room for an 8.3 name. Shorter paths are
// handed on as written, as the system has always taken them.
inline constexpr std::size_t kVerbatimFrom = 248;

// The verbatim form of a full path (a drive path or a UNC path), or "" when
// the path is short enough as it is or is already in a form of its own
// ("\\?\", a device "\\.\").
template <class Unit>
std::basic_string<Unit> VerbatimForm(std::basic_string_view<Unit> full) {
    using String = std::basic_string<Unit>;
    const auto at = [&](std::size_t i) { return i < full.size() ? full[i] : Unit{}; };
    const auto slash = [](Unit c) { return c == Unit('\\') || c == Unit('/'); };
    if (full.size() < kVerbatimFrom) return {};
    const Unit drive = at(0) | Unit(0x20);
    if (drive >= Unit('a') && drive <= Unit('z') && at(1) == Unit(':') && slash(at(2))) {
        String out{Unit('\\'), Unit('\\'), Unit('?'), Unit('\\')};
        out.append(full);
        return out;
    }
    if (slash(at(0)) && slash(at(1)) && at(2) != Unit('?') && at(2) != Unit('.') &&
        at(2) != Unit{}) {
        String out{Unit('\\'), Unit('\\'), Unit('?'), Unit('\\'),
                   Unit('U'),  Unit('N'),  Unit('C'), Unit('\\')};
        out.append(full.substr(2));
        return out;
    }
    return {};
}

}  // namespace win32
