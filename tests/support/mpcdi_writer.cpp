#include "support/mpcdi_writer.h"

#include <cmath>
#include <stdexcept>

#include <zip.h>
#include <zlib.h>

namespace dovav::test {
namespace {

std::string number(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string mapElement(const char* element, const MpcdiMap& map, const std::string& inner = "")
{
    if (map.path.empty())
        return "";
    std::string text = std::string("      <") + element + ">\n        <path>" + map.path + "</path>\n" + inner;
    if (std::string(element) != "geometryWarpFile") {
        text += "        <componentDepth>" + std::to_string(map.componentDepth) + "</componentDepth>\n" +
                "        <bitDepth>" + std::to_string(map.bitDepth) + "</bitDepth>\n";
    }
    if (map.gammaEmbedded)
        text += "        <gammaEmbedded>" + number(*map.gammaEmbedded) + "</gammaEmbedded>\n";
    return text + "      </" + element + ">\n";
}

void appendChunk(std::string& png, const char* type, const std::string& data)
{
    const uint32_t length = uint32_t(data.size());
    const char lengthBytes[4] = {char(length >> 24), char(length >> 16), char(length >> 8), char(length)};
    png.append(lengthBytes, 4);
    const std::string body = std::string(type, 4) + data;
    png += body;
    const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size())));
    const char crcBytes[4] = {char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)};
    png.append(crcBytes, 4);
}

}  // namespace

std::string mpcdiDocument(const std::string& profile, const std::string& version,
                          const std::vector<MpcdiRegion>& regions)
{
    std::string display, files;
    for (const MpcdiRegion& region : regions) {
        display += "      <region id=\"" + region.id +
                   "\" xResolution=\"64\" yResolution=\"48\" x=\"0\" y=\"0\" xsize=\"1\" ysize=\"1\">\n";
        if (region.frustum) {
            const MpcdiFrustum& f = *region.frustum;
            display += "        <frustum><yaw>" + number(f.yaw) + "</yaw><pitch>" + number(f.pitch) +
                       "</pitch><roll>" + number(f.roll) + "</roll><rightAngle>" + number(f.rightAngle) +
                       "</rightAngle><leftAngle>" + number(f.leftAngle) + "</leftAngle><upAngle>" +
                       number(f.upAngle) + "</upAngle><downAngle>" + number(f.downAngle) +
                       "</downAngle></frustum>\n";
        }
        display += "      </region>\n";
        const std::string unit =
            region.geometricUnit.empty() ? "" : "        <geometricUnit>" + region.geometricUnit + "</geometricUnit>\n";
        files += "    <fileset region=\"" + region.id + "\">\n" + mapElement("geometryWarpFile", region.warp, unit) +
                 mapElement("alphaMap", region.alpha) + mapElement("betaMap", region.beta) + region.extra +
                 "    </fileset>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<MPCDI profile=\"" + profile +
           "\" geometry=\"1\" color=\"1\" version=\"" + version + "\">\n  <display>\n    <buffer id=\"b\">\n" +
           display + "    </buffer>\n  </display>\n  <files>\n" + files + "  </files>\n</MPCDI>\n";
}

std::string pngSamples(int width, int height, int components, int bits,
                       double (*sample)(int column, int row, int component))
{
    std::string raw;
    const double full = bits == 16 ? 65535.0 : 255.0;
    for (int row = 0; row < height; ++row) {
        raw += '\0';  // no filter
        for (int column = 0; column < width; ++column) {
            for (int k = 0; k < components; ++k) {
                const unsigned value = unsigned(std::lround(sample(column, row, k) * full));
                if (bits == 16)
                    raw += char(value >> 8);
                raw += char(value & 0xff);
            }
        }
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                  uLong(raw.size()), 9) != Z_OK)
        throw std::runtime_error("compress2 failed");
    packed.resize(packedSize);

    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    for (int value : {width, height})
        header += std::string{char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    header += char(bits);
    header += char(components == 1 ? 0 : 2);  // grey or RGB
    header += std::string(3, '\0');           // deflate, adaptive filters, no interlace
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", packed);
    appendChunk(png, "IEND", "");
    return png;
}

void writeZip(const std::string& path, const std::map<std::string, std::string>& members)
{
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        throw std::runtime_error("cannot create " + path);
    for (const auto& [name, bytes] : members) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        if (!source || zip_file_add(archive, name.c_str(), source, 0) < 0)
            throw std::runtime_error("cannot add " + name);
    }
    if (zip_close(archive) != 0)
        throw std::runtime_error("cannot write " + path);
}

}  // namespace dovav::test
