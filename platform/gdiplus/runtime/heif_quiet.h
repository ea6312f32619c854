// The HEVC and AV1 decoders behind libheif write complaints about broken
// streams straight to the standard streams (libde265 with plain printf and
// fprintf, dav1d through its default logger), and libheif offers no way to
// reach them. While a file is parsed and decoded, the standard output and
// error therefore point at the null device. Decoders running at the same
// time share one redirection. The system's part is in heif_quiet_posix.cpp
// and heif_quiet_windows.cpp.
#pragma once

namespace gdip {

class QuietStdio {
public:
    QuietStdio();
    ~QuietStdio();
    QuietStdio(const QuietStdio&) = delete;
    QuietStdio& operator=(const QuietStdio&) = delete;
};

}  // namespace gdip
