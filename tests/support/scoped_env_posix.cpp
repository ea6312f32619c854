// PutEnv through the C library's setenv and unsetenv.
#include <cstdlib>

#include "tests/support/scoped_env.h"

namespace testsupport {

void PutEnv(const std::string& name, const std::optional<std::string>& value) {
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

}  // namespace testsupport
