// The HEVC and AV1 decoders behind libheif write complaints about broken
// streams straight to the standard streams (libde265 with plain printf and
// fprintf, dav1d through its default logger), and libheif offers no way to
// reach them. While a file is parsed and decoded, the standard output and
// error therefore point at the null device. Decoders running at the same
// time share one redirection (heif_quiet.cpp); the system's descriptor calls
// are in heif_quiet_posix.cpp and heif_quiet_windows.cpp.
#pragma once

namespace gdip {

class QuietStdio {
public:
    QuietStdio();
    ~QuietStdio();
    QuietStdio(const QuietStdio&) = delete;
    QuietStdio& operator=(const QuietStdio&) = delete;
};

namespace quiet {

// A descriptor open for writing on the null device, or -1.
int OpenNullDevice();
// A copy of fd that programs started meanwhile do not inherit, or -1.
int Duplicate(int fd);
// Points descriptor fd at the file that from refers to.
void PointAt(int from, int fd);
void Close(int fd);

}  // namespace quiet

}  // namespace gdip
