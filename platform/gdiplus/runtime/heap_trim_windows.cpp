// Handing freed memory back to the system, on Windows (where a picture's
// buffer keeps small pages): the C runtime's heap gives large blocks back as
// they are freed; this returns what it holds beyond them.
#include <malloc.h>

#include "codec.h"

namespace gdip {

void ReturnFreeMemory() {
    _heapmin();
}

// Windows gives large pages only to a process holding the right to lock
// memory, which a user's program does not have, and only to memory that
// VirtualAlloc asks for with them: a picture's buffer keeps small pages.
std::size_t AdviseLargePages(void*, std::size_t) {
    return 0;
}

// Windows has no way to take a private page's fault ahead of its first write
// without writing it.
bool PopulatePages(void*, std::size_t) {
    return false;
}

}  // namespace gdip
