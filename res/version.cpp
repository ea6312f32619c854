// The program's own version block, carried as data in the executable where
// the version calls find it. The numbers are the project's version, which the
// Windows build's version resource also carries.
#include "platform/win32/version_block.h"

[[gnu::used]] extern const std::array<unsigned char, win32::kVersionBlockSize>
    g_programVersionBlock = win32::MakeVersionBlock({ORV_VERSION_PARTS}, {ORV_VERSION_PARTS});
