// What a host may rely on beyond single calls, on Vulkan: contexts on several
// threads at once (each with its own device, queue and pool), and a swap chain
// made again at a new size answered by setting the channel active again. Every
// device has the validation layer on; a message fails the test.
#include <gtest/gtest.h>

#include "support/example_drawing.h"

namespace {

using namespace dovav::test;

TEST(VulkanHostRules, ContextsOnSeveralThreadsDrawWhatOneThreadDraws)
{
    expectParallelHostsDrawAlike(drawExampleVulkan);
}

TEST(VulkanHostRules, ResizedChannelDrawsAtTheNewSize)
{
    expectResizedChannelDrawsAtTheNewSize(drawExampleVulkan);
}

}  // namespace
