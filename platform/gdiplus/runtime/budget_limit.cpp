// How many bytes of decoded pixels one image may take, the same rule on every
// system. Kept apart from the checks in budget.cpp so that the fuzzers can
// link a smaller limit instead.
#include <algorithm>

#include "codec.h"
#include "physical_memory.h"

namespace gdip {

// A quarter of the memory (at most 1 GiB) for the pixels: a decoder's working
// copy of the same size then still leaves half of the machine to everyone else.
std::uint64_t PixelBudgetBytes() {
    static const std::uint64_t budget = std::min(kGiB, PhysicalMemoryBytes() / 4);
    return budget;
}

}  // namespace gdip
