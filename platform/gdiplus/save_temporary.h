// The name of the temporary file that a save writes under when the file
// system offers no unnamed temporary files:
//     "." + the target's name + "." + six letters or digits + ".orvtmp"
// Such a file outlives its save only when the process is killed meanwhile.
// The runtime module makes these names and the program's scan of source
// folders passes them over, so the rule is kept here, in one place.
//
// A save holds a lock on its temporary from the moment it exists until it has
// its final name (POSIX: an exclusive flock; Windows: an exclusive LockFileEx
// of the one byte at kSaveTemporaryLockOffset, far beyond any picture's data);
// a save into a folder removes only such files that nobody holds so, which a
// killed save has left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace gdip {

inline constexpr std::string_view kSaveTemporaryEnd = ".orvtmp";
inline constexpr std::size_t kSaveTemporaryRandom = 6;
inline constexpr std::uint64_t kSaveTemporaryLockOffset = std::uint64_t{1} << 62;

template <class Char>
constexpr bool IsSaveTemporaryName(std::basic_string_view<Char> name) {
    constexpr std::size_t end = kSaveTemporaryEnd.size();
    // ".", at least one character of the target's name, ".", random, end
    if (name.size() < 3 + kSaveTemporaryRandom + end || name.front() != Char('.')) return false;
    for (std::size_t i = 0; i < end; ++i)
        if (name[name.size() - end + i] != Char(kSaveTemporaryEnd[i])) return false;
    const std::size_t random = name.size() - end - kSaveTemporaryRandom;
    if (name[random - 1] != Char('.')) return false;
    for (std::size_t i = random; i < random + kSaveTemporaryRandom; ++i) {
        const Char c = name[i];
        const bool alnum = (c >= Char('0') && c <= Char('9')) ||
                           (c >= Char('A') && c <= Char('Z')) || (c >= Char('a') && c <= Char('z'));
        if (!alnum) return false;
    }
    return true;
}

}  // namespace gdip
