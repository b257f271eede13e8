#include "config/mask_image.h"
#include "core/messages.h"
#include "opengl/opengl_records.h"

namespace {

// The host may have left a pixel-unpack buffer bound or unpack parameters
// set; the upload reads client memory with default unpacking and puts the
// host's state back afterwards.
class DefaultUnpackState {
public:
    DefaultUnpackState()
    {
        glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &buffer_);
        for (int i = 0; i < kCount; ++i)
            glGetIntegerv(kNames[i], &values_[i]);
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
        for (int i = 0; i < kCount; ++i)
            glPixelStorei(kNames[i], kDefaults[i]);
    }
    ~DefaultUnpackState()
    {
        for (int i = 0; i < kCount; ++i)
            glPixelStorei(kNames[i], values_[i]);
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, GLuint(buffer_));
    }

private:
    static constexpr int kCount = 4;
    static constexpr GLenum kNames[kCount] = {GL_UNPACK_ALIGNMENT, GL_UNPACK_ROW_LENGTH,
                                              GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS};
    // Rows of one-byte grey pixels are packed, so byte alignment.
    static constexpr GLint kDefaults[kCount] = {1, 0, 0, 0};
    GLint buffer_ = 0;
    GLint values_[kCount] = {};
};

// An image larger than the GL implementation accepts would leave an
// incomplete texture behind; it is refused like an undecodable one.
bool fitsTextureLimits(const calib::MaskPixels& pixels)
{
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (pixels.width() <= maxSize && pixels.height() <= maxSize)
        return true;
    kzLogMessage(KZ_MESSAGE_ERROR, "mask image of %d x %d pixels: OpenGL textures here take at most %d a side",
                 pixels.width(), pixels.height(), maxSize);
    return false;
}

kzOpenGLTexture* uploadTexture(const calib::MaskPixels& pixels)
{
    GLuint id = 0;
    glGenTextures(1, &id);
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    const bool grey = pixels.channels() == 1;
    if (grey) {
        // One byte a texel, read back as (grey, grey, grey, 1).
        const GLint swizzle[4] = {GL_RED, GL_RED, GL_RED, GL_ONE};
        glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
    }
    {
        DefaultUnpackState unpack;
        glTexImage2D(GL_TEXTURE_2D, 0, grey ? GL_R8 : GL_RGBA8, pixels.width(), pixels.height(), 0,
                     grey ? GL_RED : GL_RGBA, GL_UNSIGNED_BYTE, pixels.pixels());
    }
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
    return new kzOpenGLTexture{id, pixels.width(), pixels.height(), pixels.storedWidth(),
                               pixels.storedHeight()};
}

}  // namespace

bool kzOpenGLCreateTextureFromFile(const char* path, kzOpenGLTexture** texture, calib::MaskFit fit)
{
    if (!texture)
        return false;
    calib::MaskPixels pixels;
    if (!pixels.decodeFile(path, fit) || !fitsTextureLimits(pixels)) {
        kzPrintMessage(KZ_MESSAGE_ERROR, "texture failed to load at path:%s", path ? path : "");
        return false;
    }
    *texture = uploadTexture(pixels);
    return true;
}

bool kzOpenGLCreateTextureFromMemory(const unsigned char* data, int size, kzOpenGLTexture** texture,
                                     calib::MaskFit fit)
{
    if (!texture)
        return false;
    calib::MaskPixels pixels;
    if (!pixels.decodeMemory(data, size, fit) || !fitsTextureLimits(pixels)) {
        kzPrintMessage(KZ_MESSAGE_ERROR, "texture failed to load from memory :%p of size %d",
                       static_cast<const void*>(data), size);
        return false;
    }
    *texture = uploadTexture(pixels);
    return true;
}

void kzOpenGLFreeTexture(kzOpenGLTexture* texture)
{
    if (!texture)
        return;
    if (kzOpenGLContextIsCurrent())
        glDeleteTextures(1, &texture->id);
    delete texture;
}
