// Tests that need OpenGL share one headless context (llvmpipe on machines
// without a GPU), created on first use and current on the test thread.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gl_harness.h"

namespace dovav::test {

// The shared context, made current; null if the machine cannot create one.
headless::GLContext* currentGLContext(std::string* error = nullptr);

// Every GL error raised since the last call, as hexadecimal codes ("" if none).
std::string drainGLErrors();

// Texture, buffer, vertex array, program and shader names alive in the
// current context among the first few thousand, to compare before and after
// an operation that must not leave GL objects behind.
struct GLNames {
    std::vector<GLuint> textures, buffers, vertexArrays, programs, shaders;
    bool operator==(const GLNames& other) const
    {
        return textures == other.textures && buffers == other.buffers &&
               vertexArrays == other.vertexArrays && programs == other.programs &&
               shaders == other.shaders;
    }
};
GLNames liveGLNames();

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
