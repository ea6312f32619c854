// A pixel budget of 1 MiB (262,144 pixels) for the small-budget test: real
// files just over it stay small and quick to make, and an allocation that
// skipped the check would succeed, so only the check can refuse them. Linked
// before the codec library, this definition takes the place of the
// program's; the checks themselves stay the program's own.
#include "platform/gdiplus/runtime/codec.h"

namespace gdip {

std::uint64_t PixelBudgetBytes() {
    return std::uint64_t{1} << 20;
}

}  // namespace gdip
