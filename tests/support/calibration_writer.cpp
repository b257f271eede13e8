#include "support/calibration_writer.h"

#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace dovav::test {

namespace {

std::string number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(value));
    return text;
}

// Library axes (x, y up, z) to the files' z-up axes: (x, -z, y).
std::string fileAxes(kzVec3f v)
{
    return number(v.x) + ";" + number(-v.z) + ";" + number(v.y);
}

}  // namespace

Image Image::filled(int width, int height, uint8_t r, uint8_t g, uint8_t b)
{
    return generated(width, height, [&](int, int, uint8_t rgb[3]) {
        rgb[0] = r;
        rgb[1] = g;
        rgb[2] = b;
    });
}

Image Image::generated(int width, int height,
                       const std::function<void(int column, int row, uint8_t rgb[3])>& f)
{
    Image image;
    image.width = width;
    image.height = height;
    image.rgba.resize(size_t(width) * size_t(height) * 4);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            uint8_t* p = &image.rgba[(size_t(row) * width + column) * 4];
            f(column, row, p);
            p[3] = 255;
        }
    }
    return image;
}

std::string pngBytes(const Image& image)
{
    std::string bytes;
    stbi_write_png_to_func(
        [](void* context, void* data, int size) {
            static_cast<std::string*>(context)->append(static_cast<const char*>(data), size_t(size));
        },
        &bytes, image.width, image.height, 4, image.rgba.data(), image.width * 4);
    return bytes;
}

namespace {

void appendToString(void* context, void* data, int size)
{
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), size_t(size));
}

void appendBigEndian(std::string& bytes, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(char(uint8_t(value >> shift)));
}

// A PNG chunk: length, type, data and the CRC of type and data.
void appendChunk(std::string& png, const char* type, const std::string& data)
{
    appendBigEndian(png, uint32_t(data.size()));
    const std::string typed = std::string(type, 4) + data;
    png += typed;
    appendBigEndian(png, stbiw__crc32(reinterpret_cast<unsigned char*>(const_cast<char*>(typed.data())),
                                      int(typed.size())));
}

}  // namespace

std::string greyPngBytes(int width, int height, const std::function<uint8_t(int column, int row)>& level)
{
    std::vector<uint8_t> grey(size_t(width) * size_t(height));
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            grey[size_t(row) * size_t(width) + size_t(column)] = level(column, row);
    std::string bytes;
    stbi_write_png_to_func(appendToString, &bytes, width, height, 1, grey.data(), width);
    return bytes;
}

std::string packedGreyPngBytes(int width, int height, int depth,
                               const std::function<unsigned(int column, int row)>& sample)
{
    const size_t rowBytes = (size_t(width) * size_t(depth) + 7) / 8;
    std::string raw((rowBytes + 1) * size_t(height), '\0');  // filter byte 0: none
    for (int row = 0; row < height; ++row) {
        char* packed = &raw[size_t(row) * (rowBytes + 1) + 1];
        for (int column = 0; column < width; ++column) {
            const int bit = column * depth;
            packed[bit / 8] = char(packed[bit / 8] | char(sample(column, row) << (8 - depth - bit % 8)));
        }
    }
    return greyPngFromScanlines(width, height, depth, false, raw);
}

std::string greyPngFromScanlines(int width, int height, int depth, bool interlaced, const std::string& scanlines)
{
    std::string raw = scanlines;
    int compressedSize = 0;
    unsigned char* compressed = stbi_zlib_compress(reinterpret_cast<unsigned char*>(raw.data()),
                                                   int(raw.size()), &compressedSize, 9);
    std::string header;
    appendBigEndian(header, uint32_t(width));
    appendBigEndian(header, uint32_t(height));
    header += char(depth);
    header += std::string("\x00\x00\x00", 3);  // grey, deflate, adaptive filters
    header += char(interlaced ? 1 : 0);
    std::string png = "\x89PNG\r\n\x1a\n";
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", std::string(reinterpret_cast<char*>(compressed), size_t(compressedSize)));
    appendChunk(png, "IEND", "");
    STBIW_FREE(compressed);
    return png;
}

std::string uniformBitPngBytes(int width, int height, bool set)
{
    return packedGreyPngBytes(width, height, 1, [set](int, int) { return unsigned(set); });
}

std::string pfmBytes(uint32_t width, uint32_t height,
                     const std::function<PfmSample(uint32_t column, uint32_t row)>& sample,
                     bool bigEndian, bool bottomRowFirst)
{
    std::string bytes = "PF\n" + std::to_string(width) + " " + std::to_string(height) +
                        (bigEndian ? "\n1.0\n" : "\n-1.0\n");
    for (uint32_t stored = 0; stored < height; ++stored) {
        const uint32_t row = bottomRowFirst ? height - 1 - stored : stored;
        for (uint32_t column = 0; column < width; ++column) {
            for (float value : sample(column, row)) {
                uint32_t bits;
                std::memcpy(&bits, &value, 4);
                if (bigEndian)
                    bits = __builtin_bswap32(bits);
                bytes.append(reinterpret_cast<const char*>(&bits), 4);
            }
        }
    }
    return bytes;
}

std::string warpMapText(uint32_t width, uint32_t height,
                        const std::function<kzVec2f(float x, float y)>& lookup,
                        const std::function<kzVec2f(float x, float y)>& place)
{
    std::ostringstream text;
    text << "x;y;u;v;column;row\n";
    for (uint32_t row = 0; row < height; ++row) {
        for (uint32_t column = 0; column < width; ++column) {
            const float x = width > 1 ? float(column) / float(width - 1) : 0.0f;
            const float y = height > 1 ? float(row) / float(height - 1) : 0.0f;
            const kzVec2f uv = lookup(x, y);
            const kzVec2f at = place ? place(x, y) : kzVec2f{x, y};
            text << number(at.x) << ';' << number(at.y) << ';' << number(uv.x) << ';' << number(uv.y)
                 << ';' << column << ';' << row << '\n';
        }
    }
    return text.str();
}

std::string screenShapeText(uint32_t width, uint32_t height,
                            const std::function<ShapePoint(uint32_t column, uint32_t row)>& point)
{
    std::ostringstream text;
    text << "x;y;z;u;v;nx;ny;nz;tx;ty;tz;column;row\n";
    for (uint32_t row = 0; row < height; ++row) {
        for (uint32_t column = 0; column < width; ++column) {
            const ShapePoint p = point(column, row);
            text << fileAxes(p.position) << ';' << number(p.texcoord.x) << ';'
                 << number(p.texcoord.y) << ';' << fileAxes(p.normal) << ';' << fileAxes(p.tangent)
                 << ';' << column << ';' << row << '\n';
        }
    }
    return text.str();
}

std::string cameraText(kzVec3f eye, kzVec3f angles, float left, float right, float bottom, float top)
{
    // The file's pitch is negated on reading.
    return "camera\n" + fileAxes(eye) + ";" + number(angles.x) + ";" + number(-angles.y) + ";" +
           number(angles.z) + ";0;0;0;0;" + number(left) + ";" + number(right) + ";" +
           number(bottom) + ";" + number(top) + ";0;0\n";
}

std::string targetRectText(kzVec3f upperLeft, kzVec3f upperRight, kzVec3f lowerRight,
                           kzVec3f lowerLeft)
{
    return "target\n0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;" + fileAxes(upperLeft) + ";" +
           fileAxes(upperRight) + ";" + fileAxes(lowerRight) + ";" + fileAxes(lowerLeft) + "\n";
}

std::string channelElement(unsigned id, const std::vector<std::pair<std::string, std::string>>& attributes)
{
    std::string element = "  <channel id=\"" + std::to_string(id) + "\"";
    for (const auto& [name, value] : attributes)
        element += " " + name + "=\"" + value + "\"";
    return element + "/>\n";
}

std::string configurationText(int type, float gamma, float inputGamma, float outputGamma,
                              const std::string& channels)
{
    return "<?xml version=\"1.0\"?>\n<kzCorrection>\n  <type>" + std::to_string(type) +
           "</type>\n  <gamma>" + number(gamma) + "</gamma>\n  <input-gamma>" + number(inputGamma) +
           "</input-gamma>\n  <output-gamma>" + number(outputGamma) + "</output-gamma>\n" +
           channels + "</kzCorrection>\n";
}

}  // namespace dovav::test
