// The machine's memory as each system reports it (physical_memory_posix.cpp,
// physical_memory_windows.cpp, chosen by the build). Free of the flat API's
// Windows-like types, so that the Windows side can include <windows.h>.
#pragma once

#include <cstdint>

namespace gdip {

inline constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

// The physical memory in bytes; 4 GiB (a small machine) when the system
// does not say.
std::uint64_t PhysicalMemoryBytes();

}  // namespace gdip
