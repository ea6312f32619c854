// Test helpers that are the same on every system: the hooks that stand in
// for the message box and for the folder listing.
#include "platform/framework/filefind_hook.h"
#include "platform/framework/framework_common.h"
#include "platform/framework/testing.h"

namespace afx::testing {

void SetMessageBoxHook(std::function<void(std::u16string text, std::u16string caption)> hook) {
    SetMessageBoxHookImpl(std::move(hook));
}

void SetFileFindHook(std::function<void(const std::u16string& pattern)> hook) {
    SetFileFindHookImpl(std::move(hook));
}

}  // namespace afx::testing
