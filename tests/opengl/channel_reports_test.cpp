// What OpenGL set-up reports: the loaders' reasons through the message
// callback, no word about masks that are not configured, and the channel query.

#include <gtest/gtest.h>

#include "kzLib.h"
#include "support/channel_reports.h"
#include "support/gl_fixture.h"

namespace {

using namespace dovav::test;

class OpenGLChannelReports : public OpenGLTest {
protected:
    void SetUp() override
    {
        OpenGLTest::SetUp();
        ASSERT_EQ(kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D), KZ_OK);
    }
    void TearDown() override
    {
        EXPECT_EQ(kzDestroyContextOpenGL(context), KZ_OK);
        OpenGLTest::TearDown();
    }

    BackEnd backEnd()
    {
        return {context, KZ_ERROR_OPENGL,
                [this](unsigned channel) { return kzSetActiveChannelOpenGL(context, channel, 8, 8); },
                [this](kzVec3f eye, kzCamera* camera) { return kzPreDrawOpenGL_1(context, eye, camera); }};
    }

    kzContextOpenGL* context = nullptr;
};

TEST_F(OpenGLChannelReports, TruncatedWarpMapIsExplained)
{
    checkTruncatedWarpMapIsExplained(backEnd());
}

TEST_F(OpenGLChannelReports, UnnamedMasksAreSilent)
{
    checkUnnamedMasksAreSilent(backEnd());
}

TEST_F(OpenGLChannelReports, ChannelInfo)
{
    checkChannelInfo(backEnd());
}

}  // namespace
