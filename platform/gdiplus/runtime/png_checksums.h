// How the PNG reader treats chunk checksums. The program's rule (here, in
// png_checksums.cpp) is libpng's own: a chunk that fails its checksum is an
// error. Fuzzers link fuzz/fuzz_png_checksums.cpp instead, which ignores
// checksums so that a mutated chunk reaches the parsing behind them.
#pragma once

#include <png.h>

namespace gdip {

void SetPngChecksumRule(png_structp png);

}  // namespace gdip
