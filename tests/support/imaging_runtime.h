// Starting the imaging runtime module beside the test program for a test
// (ImagingRuntimeTest) or for a whole test program (ImagingRuntimeEnvironment).
#pragma once

#include <gtest/gtest.h>

#include "platform/gdiplus/gdiplus.h"

namespace testsupport {

// Starts the module once for each holder and shuts it down with it; a module
// that does not start fails the test.
class ImagingRuntime {
public:
    void Start() {
        const GdiplusStartupInput input{1, nullptr, FALSE, FALSE};
        ASSERT_EQ(GdiplusStartup(&m_token, &input, nullptr), Ok)
            << "the imaging runtime module beside the test did not start";
    }
    void Stop() {
        if (m_token != 0) GdiplusShutdown(m_token);
        m_token = 0;
    }

private:
    ULONG_PTR m_token = 0;
};

// Started before each test, shut down after it.
class ImagingRuntimeTest : public ::testing::Test {
protected:
    void SetUp() override { m_runtime.Start(); }
    void TearDown() override { m_runtime.Stop(); }

    // Starts it again, for what it reads only at start-up (the umask).
    void RestartRuntime() {
        m_runtime.Stop();
        m_runtime.Start();
    }

private:
    ImagingRuntime m_runtime;
};

// Started once for the whole test program.
class ImagingRuntimeEnvironment : public ::testing::Environment {
public:
    void SetUp() override { m_runtime.Start(); }
    void TearDown() override { m_runtime.Stop(); }

private:
    ImagingRuntime m_runtime;
};

}  // namespace testsupport
