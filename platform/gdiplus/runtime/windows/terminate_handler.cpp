// The module's own terminate handler. The C++ runtime's default one writes
// the uncaught exception's demangled type to standard error, which a module
// loaded by a window program has nowhere to show, and brings the whole
// demangler (about 46 KB) into a module of fixed size. No exception leaves
// a flat API call (Guarded turns each into a status), so this only ever
// ends a process that is already broken, as the default one would.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx
