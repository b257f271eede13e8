// Mask textures from image files and from memory.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "opengl/opengl_records.h"
#include "support/calibration_writer.h"
#include "support/gl_fixture.h"
#include "support/temp_dir.h"

namespace {

using namespace dovav::test;

// A 3 x 2 image whose every pixel differs, so a flip or a transposition shows.
Image distinctPixels()
{
    return Image::generated(3, 2, [](int column, int row, uint8_t rgb[3]) {
        rgb[0] = uint8_t(40 * column + 10);
        rgb[1] = uint8_t(100 * row + 20);
        rgb[2] = uint8_t(7 * (column + 3 * row));
    });
}

std::vector<uint8_t> textureContents(GLuint texture, int width, int height)
{
    std::vector<uint8_t> pixels(size_t(width) * height * 4);
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
    return pixels;
}

class MaskTextureTest : public OpenGLTest {
protected:
    TempDir dir;
};

// The texture holds the image's rows in file order (v = 0 is the top row),
// with clamp-to-edge and linear filtering, and the caller's binding survives.
TEST_F(MaskTextureTest, FileUploadKeepsRowOrderAndBinding)
{
    const Image image = distinctPixels();
    const std::string path = dir.write("mask.png", pngBytes(image));
    GLuint hostTexture = 0;
    glGenTextures(1, &hostTexture);
    glActiveTexture(GL_TEXTURE2);
    glBindTexture(GL_TEXTURE_2D, hostTexture);

    kzOpenGLTexture* texture = nullptr;
    ASSERT_TRUE(kzOpenGLCreateTextureFromFile(path.c_str(), &texture));
    GLint binding = 0, unit = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &binding);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    EXPECT_EQ(GLuint(binding), hostTexture);
    EXPECT_EQ(unit, GL_TEXTURE2);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTexture(GL_TEXTURE0);
    glDeleteTextures(1, &hostTexture);

    EXPECT_EQ(texture->width, 3);
    EXPECT_EQ(texture->height, 2);
    EXPECT_EQ(textureContents(texture->id, 3, 2), image.rgba);
    glBindTexture(GL_TEXTURE_2D, texture->id);
    const struct {
        GLenum name;
        GLint value;
    } parameters[] = {{GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE}, {GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE},
                      {GL_TEXTURE_MIN_FILTER, GL_LINEAR}, {GL_TEXTURE_MAG_FILTER, GL_LINEAR}};
    for (const auto& p : parameters) {
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, p.name, &value);
        EXPECT_EQ(value, p.value) << std::hex << p.name;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    const GLuint id = texture->id;
    kzOpenGLFreeTexture(texture);
    EXPECT_FALSE(glIsTexture(id));
    kzOpenGLFreeTexture(nullptr);
}

// A pixel-unpack buffer or unpack parameters left by the host do not change
// what is uploaded, and are still there afterwards.
TEST_F(MaskTextureTest, UploadIgnoresHostUnpackState)
{
    const Image image = distinctPixels();
    const std::string bytes = pngBytes(image);
    GLuint unpackBuffer = 0;
    glGenBuffers(1, &unpackBuffer);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, unpackBuffer);
    glBufferData(GL_PIXEL_UNPACK_BUFFER, 4096, nullptr, GL_STREAM_DRAW);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 7);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);

    kzOpenGLTexture* texture = nullptr;
    ASSERT_TRUE(kzOpenGLCreateTextureFromMemory(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                int(bytes.size()), &texture));
    GLint value = 0;
    glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &value);
    EXPECT_EQ(GLuint(value), unpackBuffer);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &value);
    EXPECT_EQ(value, 7);
    glGetIntegerv(GL_UNPACK_SKIP_ROWS, &value);
    EXPECT_EQ(value, 1);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
    EXPECT_EQ(value, 8);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glDeleteBuffers(1, &unpackBuffer);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);

    EXPECT_EQ(textureContents(texture->id, 3, 2), image.rgba);
    kzOpenGLFreeTexture(texture);
}

TEST_F(MaskTextureTest, SinglePixelImage)
{
    const std::string path = dir.write("one.png", pngBytes(Image::filled(1, 1, 9, 8, 7)));
    kzOpenGLTexture* texture = nullptr;
    ASSERT_TRUE(kzOpenGLCreateTextureFromFile(path.c_str(), &texture));
    EXPECT_EQ(texture->width, 1);
    EXPECT_EQ(texture->height, 1);
    EXPECT_EQ(textureContents(texture->id, 1, 1), (std::vector<uint8_t>{9, 8, 7, 255}));
    kzOpenGLFreeTexture(texture);
}

// A grey mask is one byte a texel that samples as (grey, grey, grey, 1); a
// mask larger than the fit is stored at the fit.
TEST_F(MaskTextureTest, GreyMasksAreOneChannelAndLargeOnesAreReduced)
{
    const struct {
        const char* label;
        std::string png;
        calib::MaskFit fit;
        GLint internalFormat;
        int width, height;
    } cases[] = {
        {"grey", greyPngBytes(5, 3, [](int column, int row) { return uint8_t(50 * column + row); }), {},
         GL_R8, 5, 3},
        {"colour", pngBytes(distinctPixels()), {}, GL_RGBA8, 3, 2},
        {"grey, reduced", greyPngBytes(64, 48, [](int, int) { return uint8_t(90); }), {16, 12}, GL_R8, 16, 12},
        {"colour, reduced", pngBytes(Image::filled(64, 48, 1, 2, 3)), {32, 0}, GL_RGBA8, 32, 48},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        kzOpenGLTexture* texture = nullptr;
        ASSERT_TRUE(kzOpenGLCreateTextureFromFile(dir.write("mask.png", c.png).c_str(), &texture, c.fit));
        EXPECT_EQ(texture->width, c.width);
        EXPECT_EQ(texture->height, c.height);
        glBindTexture(GL_TEXTURE_2D, texture->id);
        GLint format = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
        EXPECT_EQ(format, c.internalFormat);
        GLint swizzle[4] = {};
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
        const bool grey = c.internalFormat == GL_R8;
        EXPECT_EQ(swizzle[0], GL_RED);
        EXPECT_EQ(swizzle[1], grey ? GL_RED : GL_GREEN);
        EXPECT_EQ(swizzle[2], grey ? GL_RED : GL_BLUE);
        EXPECT_EQ(swizzle[3], grey ? GL_ONE : GL_ALPHA);
        glBindTexture(GL_TEXTURE_2D, 0);
        kzOpenGLFreeTexture(texture);
    }

    // The stored bytes of a grey mask with an odd row length (byte-aligned rows).
    kzOpenGLTexture* texture = nullptr;
    const std::string png = greyPngBytes(5, 3, [](int column, int row) { return uint8_t(50 * column + row); });
    ASSERT_TRUE(kzOpenGLCreateTextureFromFile(dir.write("grey.png", png).c_str(), &texture));
    std::vector<uint8_t> stored(15);
    glBindTexture(GL_TEXTURE_2D, texture->id);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RED, GL_UNSIGNED_BYTE, stored.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(stored, (std::vector<uint8_t>{0, 50, 100, 150, 200, 1, 51, 101, 151, 201, 2, 52, 102, 152, 202}));
    kzOpenGLFreeTexture(texture);
}

// Files that cannot be turned into a texture: one line on standard output,
// false, and the output pointer untouched.
TEST_F(MaskTextureTest, UnloadableFiles)
{
    const std::string png = pngBytes(distinctPixels());
    const struct {
        const char* label;
        std::string path;
    } cases[] = {
        {"missing", dir.path() + "/missing.png"},
        {"empty path", ""},
        {"directory", dir.path()},
        {"empty file", dir.write("empty.png", "")},
        {"not an image", dir.write("text.png", "x;y;u;v\n0;0;0;0\n")},
        {"truncated", dir.write("cut.png", png.substr(0, png.size() / 2))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto* sentinel = reinterpret_cast<kzOpenGLTexture*>(0x30);
        kzOpenGLTexture* texture = sentinel;
        testing::internal::CaptureStdout();
        EXPECT_FALSE(kzOpenGLCreateTextureFromFile(c.path.c_str(), &texture));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "texture failed to load at path:" + c.path + "\n");
        EXPECT_EQ(texture, sentinel);
    }
    testing::internal::CaptureStdout();
    EXPECT_FALSE(kzOpenGLCreateTextureFromFile(cases[0].path.c_str(), nullptr));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(MaskTextureTest, UnloadableMemory)
{
    const std::string png = pngBytes(distinctPixels());
    const auto* bytes = reinterpret_cast<const unsigned char*>(png.data());
    const struct {
        const char* label;
        const unsigned char* data;
        int size;
    } cases[] = {
        {"null data", nullptr, 100},
        {"zero size", bytes, 0},
        {"negative size", bytes, -5},
        {"truncated", bytes, int(png.size() / 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        kzOpenGLTexture* texture = nullptr;
        char expected[96];
        std::snprintf(expected, sizeof expected, "texture failed to load from memory :%p of size %d\n",
                      static_cast<const void*>(c.data), c.size);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(kzOpenGLCreateTextureFromMemory(c.data, c.size, &texture));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
        EXPECT_EQ(texture, nullptr);
    }
    EXPECT_FALSE(kzOpenGLCreateTextureFromMemory(bytes, int(png.size()), nullptr));
}

}  // namespace
