// Handing freed memory back to the system, on Linux: the C library keeps
// what the encoders' threads freed in per-thread arenas, and once a large
// block has been freed it serves blocks up to that size from its heaps
// instead of mapping them apart, so after a few pictures the process held
// the worth of several of them, freed (70 MB on the benchmark's
// photographs), on top of the next one's memory.
#include <malloc.h>

#include "codec.h"

namespace gdip {

void ReturnFreeMemory() {
    malloc_trim(0);
}

}  // namespace gdip
