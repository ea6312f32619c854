// Handing freed memory back to the system, on Windows: the C runtime's heap
// gives large blocks back as they are freed; this returns what it holds
// beyond them.
#include <malloc.h>

#include "codec.h"

namespace gdip {

void ReturnFreeMemory() {
    _heapmin();
}

}  // namespace gdip
