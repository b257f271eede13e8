// Decoding mask images: accepted formats, and headers that would make the
// decoder allocate far more than the file could hold.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/mask_image.h"
#include "support/calibration_writer.h"
#include "support/capped_child.h"
#include "support/temp_dir.h"

namespace {

using namespace dovav::test;

std::vector<unsigned char> bytesOf(const std::string& text)
{
    return std::vector<unsigned char>(text.begin(), text.end());
}

// A PNG signature and IHDR announcing width x height 8-bit RGBA, and nothing else.
std::vector<unsigned char> pngHeader(uint32_t width, uint32_t height)
{
    std::vector<unsigned char> bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(uint8_t(value >> shift));
    bytes.insert(bytes.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0});
    return bytes;
}

// An uncompressed 32-bit TGA header announcing width x height, and no pixels.
std::vector<unsigned char> tgaHeader(uint16_t width, uint16_t height)
{
    return {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8),
            uint8_t(height), uint8_t(height >> 8), 32, 8};
}

TEST(MaskImage, DecodesLosslessFormatsTopRowFirst)
{
    const Image image = Image::generated(3, 2, [](int column, int row, uint8_t rgb[3]) {
        rgb[0] = uint8_t(50 * column);
        rgb[1] = uint8_t(200 * row);
        rgb[2] = 7;
    });
    const std::vector<unsigned char> png = bytesOf(pngBytes(image));
    calib::MaskPixels pixels;
    ASSERT_TRUE(pixels.decodeMemory(png.data(), int(png.size())));
    EXPECT_EQ(pixels.width(), 3);
    EXPECT_EQ(pixels.height(), 2);
    EXPECT_EQ(std::vector<uint8_t>(pixels.pixels(), pixels.pixels() + 24), image.rgba);

    // A 1 x 1 24-bit BMP (rows bottom up, BGR).
    std::vector<unsigned char> bmp = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0,
                                      1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 4, 0, 0, 0,
                                      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 8, 7, 0};
    ASSERT_TRUE(pixels.decodeMemory(bmp.data(), int(bmp.size())));
    EXPECT_EQ(std::vector<uint8_t>(pixels.pixels(), pixels.pixels() + 4), (std::vector<uint8_t>{7, 8, 9, 255}));

    // A 2 x 1 uncompressed 24-bit TGA stored top row first.
    std::vector<unsigned char> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0x20,
                                      3, 2, 1, 6, 5, 4};
    ASSERT_TRUE(pixels.decodeMemory(tga.data(), int(tga.size())));
    EXPECT_EQ(std::vector<uint8_t>(pixels.pixels(), pixels.pixels() + 8),
              (std::vector<uint8_t>{1, 2, 3, 255, 4, 5, 6, 255}));
}

// Headers claiming sizes no file of that length could hold, and formats the
// packaged decoder mishandles: refused without decoding.
TEST(MaskImage, RefusesImplausibleAndUnsupportedImages)
{
    const struct {
        const char* label;
        std::vector<unsigned char> bytes;
    } cases[] = {
        {"PNG header of 8192 x 8192 in 33 bytes", pngHeader(8192, 8192)},
        {"PNG wider than any mask", pngHeader(8193, 1)},
        {"PNG of zero width", pngHeader(0, 4)},
        {"PNG chunk longer than the file", [] {
             std::vector<unsigned char> bytes = pngHeader(2, 2);
             bytes.insert(bytes.end(), {0x40, 0, 0, 0, 'I', 'D', 'A', 'T', 0x78, 0x9c});
             return bytes;
         }()},
        {"TGA header of 4096 x 4096 in 18 bytes", tgaHeader(4096, 4096)},
        // A JPEG whose Huffman table counts exceed 256 codes.
        {"PNG with an empty image data chunk", [] {
             std::vector<unsigned char> bytes = pngHeader(2, 2);
             bytes.insert(bytes.end(), {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0, 0, 0, 0});
             return bytes;
         }()},
        {"JPEG", {0xff, 0xd8, 0xff, 0xc4, 0xa2, 0x00, 0x00, 0x3a, 0xff}},
        // A binary PPM with a 16-bit maximum and short pixel data.
        {"16-bit PPM", bytesOf("P6\n2 2\n552\n\xff\x23\x26\x00\x00\x20\x61\x00\x00\xff\xff\xff")},
        {"text", bytesOf("x;y;u;v\n")},
        // A 4-bit BMP whose pixels index palette entries the file lacks.
        {"paletted BMP", {0x42, 0x4d, 0x8a, 0, 0, 0, 0, 0x7a, 0, 1, 0, 0, 0, 0, 0x6c, 0, 0, 0,
                          2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 4, 0}},
    };
    const std::vector<unsigned char> good = bytesOf(pngBytes(Image::filled(2, 2, 1, 2, 3)));
    for (const auto& c : cases) {
        calib::MaskPixels pixels;
        EXPECT_FALSE(pixels.decodeMemory(c.bytes.data(), int(c.bytes.size()))) << c.label;
        EXPECT_EQ(pixels.pixels(), nullptr) << c.label;
        // A failure after a success drops what the object held.
        ASSERT_TRUE(pixels.decodeMemory(good.data(), int(good.size())));
        EXPECT_FALSE(pixels.decodeMemory(c.bytes.data(), int(c.bytes.size()))) << c.label;
        EXPECT_EQ(pixels.pixels(), nullptr) << c.label;
        EXPECT_EQ(pixels.width(), 0) << c.label;
    }
}

TEST(MaskImage, PlausibleSizeGrowsWithTheFile)
{
    const std::vector<unsigned char> png = pngHeader(1, 1);
    // The header followed by one chunk that fills 8192 bytes.
    std::vector<unsigned char> largePng = png;
    const uint32_t length = 8192 - 33 - 12;
    largePng.insert(largePng.end(), {uint8_t(length >> 24), uint8_t(length >> 16), uint8_t(length >> 8),
                                     uint8_t(length), 'I', 'D', 'A', 'T'});
    largePng.resize(8192, 0);
    const std::vector<unsigned char> other(1 << 20, 0);
    const struct {
        const std::vector<unsigned char>& bytes;
        int size, width, height;
        bool plausible;
    } cases[] = {
        {png, 33, 1, 1, true},
        {png, 33, 2048, 4096, true},      // a uniform PNG compresses this far
        {png, 33, 8192, 8192, false},
        {largePng, 8192, 8192, 8192, true},
        {largePng, 8191, 1, 1, true},  // its last chunk cut short: the PNG decoder refuses that
        {other, 16, 100, 100, true},
        {other, 16, 1000, 1000, false},
        {other, 1 << 20, 8192, 8192, true},
        {other, 1 << 20, 8193, 1, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(calib::plausibleImageSize(c.bytes.data(), c.size, c.width, c.height), c.plausible)
            << c.size << " bytes, " << c.width << "x" << c.height;
    }
}

// Grey masks take one byte a pixel, colour ones four; a mask larger than the
// output is reduced to it, each side on its own.
TEST(MaskImage, GreyMasksTakeOneChannelAndLargeOnesAreReduced)
{
    const Image colour = Image::generated(6, 4, [](int column, int row, uint8_t rgb[3]) {
        rgb[0] = uint8_t(40 * column);
        rgb[1] = uint8_t(60 * row);
        rgb[2] = 9;
    });
    const Image greyInColour = Image::generated(6, 4, [](int column, int row, uint8_t rgb[3]) {
        rgb[0] = rgb[1] = rgb[2] = uint8_t(40 * column + row);
    });
    const std::string grey = greyPngBytes(6, 4, [](int column, int row) { return uint8_t(40 * column + row); });
    const struct {
        const char* name;
        std::string bytes;
        calib::MaskFit fit;
        int channels, width, height;
    } cases[] = {
        {"grey PNG", grey, {}, 1, 6, 4},
        {"colour PNG whose pixels are all grey", pngBytes(greyInColour), {}, 1, 6, 4},
        {"colour PNG", pngBytes(colour), {}, 4, 6, 4},
        {"fit larger than the image", grey, {1920, 1080}, 1, 6, 4},
        {"reduced to the fit", grey, {3, 2}, 1, 3, 2},
        {"only the wider side reduced", pngBytes(colour), {2, 0}, 4, 2, 4},
        {"only the taller side reduced", pngBytes(colour), {100, 1}, 4, 6, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<unsigned char> bytes = bytesOf(c.bytes);
        calib::MaskPixels pixels;
        ASSERT_TRUE(pixels.decodeMemory(bytes.data(), int(bytes.size()), c.fit));
        EXPECT_EQ(c.channels, pixels.channels());
        EXPECT_EQ(c.width, pixels.width());
        EXPECT_EQ(c.height, pixels.height());
        EXPECT_EQ(6, pixels.storedWidth());
        EXPECT_EQ(4, pixels.storedHeight());
    }

    // The grey values as stored, and their 2x2 averages when reduced.
    const std::vector<unsigned char> bytes = bytesOf(grey);
    calib::MaskPixels pixels;
    ASSERT_TRUE(pixels.decodeMemory(bytes.data(), int(bytes.size())));
    EXPECT_EQ(std::vector<uint8_t>(pixels.pixels(), pixels.pixels() + 6),
              (std::vector<uint8_t>{0, 40, 80, 120, 160, 200}));
    ASSERT_TRUE(pixels.decodeMemory(bytes.data(), int(bytes.size()), {3, 2}));
    EXPECT_EQ(std::vector<uint8_t>(pixels.pixels(), pixels.pixels() + 6),
              (std::vector<uint8_t>{21, 101, 181, 23, 103, 183}));
}

// Grey PNGs of fewer than 8 bits are spread to one byte a pixel, scaled to
// 0..255, whatever the row's last byte holds beyond the width.
TEST(MaskImage, PackedGreyPngsSpreadToBytes)
{
    for (int depth : {1, 2, 4}) {
        SCOPED_TRACE(depth);
        const unsigned top = (1u << depth) - 1;
        auto sample = [top](int column, int row) { return unsigned(column * 3 + row) % (top + 1); };
        const std::vector<unsigned char> bytes = bytesOf(packedGreyPngBytes(7, 3, depth, sample));
        calib::MaskPixels pixels;
        ASSERT_TRUE(pixels.decodeMemory(bytes.data(), int(bytes.size())));
        ASSERT_EQ(1, pixels.channels());
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 7; ++column)
                EXPECT_EQ(sample(column, row) * (255 / top), pixels.pixels()[row * 7 + column])
                    << column << "," << row;
    }
}

// An interlaced PNG is decoded whole, then reduced like any other. In a 2 x 2
// grey image Adam7 puts (0,0) in pass 1, (1,0) in pass 6 and row 1 in pass 7.
TEST(MaskImage, InterlacedPngRowsInImageOrder)
{
    const std::string passes = std::string("\0\x0a", 2) + std::string("\0\x14", 2) +
                               std::string("\0\x1e\x28", 3);
    const std::vector<unsigned char> bytes = bytesOf(greyPngFromScanlines(2, 2, 8, true, passes));
    calib::MaskPixels pixels;
    ASSERT_TRUE(pixels.decodeMemory(bytes.data(), int(bytes.size())));
    ASSERT_EQ(1, pixels.channels());
    EXPECT_EQ(std::vector<uint8_t>(pixels.pixels(), pixels.pixels() + 4), (std::vector<uint8_t>{10, 20, 30, 40}));
    ASSERT_TRUE(pixels.decodeMemory(bytes.data(), int(bytes.size()), {1, 1}));
    EXPECT_EQ(25, pixels.pixels()[0]);
}

// The case that took 1.36 GB: a small 1-bit 8192 x 8192 PNG as the four masks
// of one channel drawn at 1920 x 1080. Decoded one at a time to one byte a
// pixel and reduced to the output, the four stay far below 512 MB at the peak
// (measured as the peak resident size of a child process).
TEST(MaskImage, LargestMaskAtFullHdStaysWithinBudget)
{
    TempDir dir;
    const std::string path = dir.write("bits.png", uniformBitPngBytes(8192, 8192, true));
    const ChildOutcome outcome = runInMeasuredChild(size_t(2) << 30, [&] {
        calib::MaskPixels masks[4];
        for (calib::MaskPixels& mask : masks) {
            if (!mask.decodeFile(path.c_str(), calib::maskFitForOutput(1920, 1080)) ||
                mask.width() != 1920 || mask.height() != 1080 || mask.channels() != 1 ||
                mask.pixels()[1920 * 1080 - 1] != 255)
                return 1;
        }
        return 0;
    });
    ASSERT_TRUE(outcome.exited);
    EXPECT_EQ(0, outcome.status);
    EXPECT_LT(outcome.peakBytes, size_t(512) << 20);
    RecordProperty("peak_megabytes", int(outcome.peakBytes >> 20));
}

}  // namespace
