// The PNG row filters' predictor, shared by the writer (which filters rows)
// and the reader's own road for common pictures (which undoes them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace gdip {

// Without branches, so that the compiler does many bytes at once. Ties go
// to a, then b, exactly as every decoder breaks them: any other order writes
// or reads other pixels.
inline std::uint8_t PaethPredictor(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    const int bc = pb <= pc ? b : c;
    return static_cast<std::uint8_t>(pa <= pb && pa <= pc ? a : bc);
}

// Undoes filter type `filter` (0 to 4) on bytes [begin, end) of one row of
// 8-bit samples, bpp bytes per pixel (1 to 4), in place; begin and end are
// whole numbers of pixels into the row, and the bytes before begin are
// already unfiltered. `prior` is the row above, already unfiltered up to `end`; the
// first row's is all zeros. False for a filter type that does not exist.
bool UnfilterRow(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t begin,
                 std::size_t end, int bpp);

}  // namespace gdip
