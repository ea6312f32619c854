// The module's version as the start-up check reads it on a POSIX host: a
// VS_VERSIONINFO block kept as plain read-only data (strip keeps .rodata).
// A Windows build carries the same version as a real version resource.
#include <array>

#include "platform/win32/version_block.h"

extern const std::array<unsigned char, win32::kVersionBlockSize> kModuleVersionBlock;
[[gnu::used]] const std::array<unsigned char, win32::kVersionBlockSize> kModuleVersionBlock =
    win32::MakeVersionBlock({5, 1, 3102, 5581}, {5, 1, 3102, 5581});
