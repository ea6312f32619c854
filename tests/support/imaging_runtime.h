// The fixture of tests that use the imaging runtime module beside the test
// program: started before each test, shut down after it.
#pragma once

#include <gtest/gtest.h>

#include "platform/gdiplus/gdiplus.h"

namespace testsupport {

class ImagingRuntimeTest : public ::testing::Test {
protected:
    void SetUp() override { StartRuntime(); }
    void TearDown() override {
        if (m_token != 0) GdiplusShutdown(m_token);
        m_token = 0;
    }

    // Starts it again, for what it reads only at start-up (the umask).
    void RestartRuntime() {
        TearDown();
        StartRuntime();
    }

    ULONG_PTR m_token = 0;

private:
    void StartRuntime() {
        const GdiplusStartupInput input{1, nullptr, FALSE, FALSE};
        ASSERT_EQ(GdiplusStartup(&m_token, &input, nullptr), Ok)
            << "the imaging runtime module beside the test did not start";
    }
};

}  // namespace testsupport
