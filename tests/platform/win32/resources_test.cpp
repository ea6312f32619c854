// The resource table built into every executable: the program's dialog
// template and icon group are found by type and identifier, nothing else is.
#include "platform/win32/resources.h"

#include <gtest/gtest.h>

#include "res/resource.h"

namespace {

TEST(Resources, TheProgramsTable) {
    const win32::ResourceEntry* dialog =
        win32::FindResourceEntry(win32::ResourceType::Dialog, IDD_MAIN_DIALOG);
    ASSERT_NE(dialog, nullptr);
    EXPECT_NE(dialog->data, nullptr);
    EXPECT_NE(win32::FindResourceEntry(win32::ResourceType::IconGroup, IDR_MAINFRAME), nullptr);
    EXPECT_EQ(win32::FindResourceEntry(win32::ResourceType::Dialog, IDR_MAINFRAME), nullptr);
    EXPECT_EQ(win32::FindResourceEntry(win32::ResourceType::IconGroup, 9999), nullptr);
}

}  // namespace
