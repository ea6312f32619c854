// ScopedEnv: the old value is kept and put back.
#include "tests/support/scoped_env.h"

#include <cstdlib>

namespace testsupport {

ScopedEnv::ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    PutEnv(m_name, value);
}

ScopedEnv::~ScopedEnv() {
    PutEnv(m_name, m_old);
}

}  // namespace testsupport
