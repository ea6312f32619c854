// ScopedUnprivileged on Windows: access there is a matter of the file
// system's access lists, which these tests do not set, so the tests that need
// permission bits to bite skip.
#include "unprivileged.h"

namespace testsupport {

ScopedUnprivileged::ScopedUnprivileged()
    : m_reason("permission bits do not restrict access on Windows") {}

ScopedUnprivileged::~ScopedUnprivileged() = default;

void OpenToOthers(const std::filesystem::path&, bool) {}

}  // namespace testsupport
