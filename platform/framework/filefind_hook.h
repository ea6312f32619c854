// Inside of the file finder: a test may have a function called as each
// search starts, to look at the window while a scan is under way. Not seen
// by the program.
#pragma once

#include <functional>
#include <string>

namespace afx {

using FileFindHook = std::function<void(const std::u16string& pattern)>;
void SetFileFindHookImpl(FileFindHook hook);

}  // namespace afx
