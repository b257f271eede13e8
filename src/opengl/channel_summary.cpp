// The OpenGL back-end's part of the channel query.

#include "opengl/opengl_records.h"

namespace {

const kzCamera* channelCamera(const kzContextHeader& header, uint32_t channel)
{
    const auto& context = static_cast<const kzContextOpenGL&>(header);
    const auto found = context.corrections.find(channel);
    return found == context.corrections.end() ? nullptr : found->second.camera;
}

}  // namespace

void kzOpenGLNoteSetUp(kzContextOpenGL& context, uint32_t channel, bool kept,
                       const kzCorrectionDataOpenGL& data)
{
    context.channelCamera = channelCamera;
    kzNoteChannelSetUp(context, channel, kept, data.grid);
}
