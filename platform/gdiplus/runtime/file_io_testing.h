// Seams of the POSIX file access for tests that link it directly: what the
// file systems of a test machine do not show by themselves.
#pragma once

namespace gdip::fileio {

// The call that carries a replaced file's mode over to the new file (fchmod).
using ModeCall = int (*)(int fd, unsigned mode);

namespace testing {
// Replaces that call; nullptr puts fchmod back.
void SetModeCall(ModeCall call);
// false: saves take the named temporary, as on a file system without
// unnamed files; true puts the usual choice back.
void OfferUnnamedTemporaries(bool offered);
}  // namespace testing

}  // namespace gdip::fileio
