// The descriptor calls of heif_quiet.cpp on Windows. The C runtime's
// descriptors 1 and 2 are the process's (the companion DLL and the program
// share msvcrt.dll), so pointing them at NUL silences the decoders whichever
// module prints.
#include <fcntl.h>
#include <io.h>

#include "heif_quiet.h"

namespace gdip::quiet {

int OpenNullDevice() {
    return _open("NUL", _O_WRONLY | _O_NOINHERIT);
}

int Duplicate(int fd) {
    return _dup(fd);
}

void PointAt(int from, int fd) {
    _dup2(from, fd);
}

void Close(int fd) {
    _close(fd);
}

}  // namespace gdip::quiet
