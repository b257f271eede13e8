// Tests that need OpenGL share one headless context (llvmpipe on machines
// without a GPU), created on first use and current on the test thread.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "gl_harness.h"

namespace dovav::test {

// The shared context, made current; null if the machine cannot create one.
headless::GLContext* currentGLContext(std::string* error = nullptr);

// Every GL error raised since the last call, as hexadecimal codes ("" if none).
std::string drainGLErrors();

class OpenGLTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_NE(currentGLContext(&error), nullptr) << "headless OpenGL unavailable: " << error;
        drainGLErrors();
    }
    // No entry point may leave a GL error behind.
    void TearDown() override { EXPECT_EQ(drainGLErrors(), ""); }
};

}  // namespace dovav::test
