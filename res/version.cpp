// The program's own version block, carried as data in the executable where
// the version calls find it.
#include "platform/win32/version_block.h"

[[gnu::used]] extern const std::array<unsigned char, win32::kVersionBlockSize>
    g_programVersionBlock = win32::MakeVersionBlock({1, 0, 3, 0}, {1, 0, 3, 0});
