// The descriptor calls of heif_quiet.cpp on POSIX; the copies are closed on
// exec, so that a program started meanwhile inherits none.
#include <fcntl.h>
#include <unistd.h>

#include "heif_quiet.h"

namespace gdip::quiet {

int OpenNullDevice() {
    return ::open("/dev/null", O_WRONLY | O_CLOEXEC);
}

int Duplicate(int fd) {
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

void PointAt(int from, int fd) {
    ::dup2(from, fd);
}

void Close(int fd) {
    ::close(fd);
}

}  // namespace gdip::quiet
