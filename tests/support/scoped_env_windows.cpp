// PutEnv through the C runtime's _putenv_s, where an empty value removes the
// variable.
#include <cstdlib>

#include "tests/support/scoped_env.h"

namespace testsupport {

void PutEnv(const std::string& name, const std::optional<std::string>& value) {
    ::_putenv_s(name.c_str(), value ? value->c_str() : "");
}

}  // namespace testsupport
