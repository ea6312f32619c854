// Included by a test file whose tests need the imaging runtime started.
#pragma once

#include "tests/support/dialog_session.h"

namespace testsupport {

// Registers the environment that starts the runtime before the first test
// and shuts it down after the last: once per program, however many of its
// files include this.
inline const bool kWithImagingRuntime = UseImagingRuntime();

}  // namespace testsupport
