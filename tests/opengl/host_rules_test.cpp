// What a host may rely on beyond single calls, on OpenGL: contexts on several
// threads at once, and a window resize answered by setting the channel active
// again at the new size.
#include <gtest/gtest.h>

#include "support/example_drawing.h"

namespace {

using namespace dovav::test;

TEST(OpenGLHostRules, ContextsOnSeveralThreadsDrawWhatOneThreadDraws)
{
    expectParallelHostsDrawAlike(drawExampleOpenGL);
}

TEST(OpenGLHostRules, ResizedChannelDrawsAtTheNewSize)
{
    expectResizedChannelDrawsAtTheNewSize(drawExampleOpenGL);
}

}  // namespace
