// The pixel budget, smaller for fuzzing: the program's own (a quarter of
// memory, at most 1 GiB) lets one input allocate and fill a gibibyte, which
// is slow and, with a decoder's working copy, crosses libFuzzer's memory
// limit on a file that is perfectly legitimate. This definition takes the
// place of budget_limit.cpp's, as it is linked before the codec library; the
// checks in budget.cpp stay the program's own.
#include "platform/gdiplus/runtime/codec.h"

namespace gdip {

std::uint64_t PixelBudgetBytes() {
    return std::uint64_t{64} << 20;
}

}  // namespace gdip
