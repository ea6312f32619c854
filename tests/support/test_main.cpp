// The main of every test program: Google Test, then the framework unless listing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/framework/afxwin.h"

int main(int argc, char** argv) {
    // Looked for before InitGoogleTest, which takes its own flags out of argv.
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0) listing = true;
    ::testing::InitGoogleTest(&argc, argv);
    if (!listing) AfxInitFramework(argc, argv);
    return RUN_ALL_TESTS();
}
