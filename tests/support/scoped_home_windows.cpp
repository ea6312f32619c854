// ScopedHome on Windows: the window's defaults are the system's own (the
// user's Pictures folder, drive C:), which a test's private Wine prefix
// already keeps apart; the folder only gives the test a place of its own.
#include "tests/support/dialog_session.h"
#include "tests/support/scoped_env.h"

namespace testsupport {

ScopedHome::ScopedHome(bool) {}

ScopedHome::~ScopedHome() = default;

}  // namespace testsupport
