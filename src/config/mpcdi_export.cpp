#include "config/mpcdi_export.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include <zip.h>

#include "config/channel_warpmap.h"
#include "config/pfm_file.h"
#include "config/text_fields.h"
#include "config/text_lines.h"
#include "config/xml_text.h"
#include "core/context_header.h"
#include "core/messages.h"
#include "kzLib/configuration.h"

namespace mpcdi {
namespace {

constexpr double kDegreesPerRadian = 57.295779513082321;

using xml_text::escaped;
using xml_text::number;

std::string precise(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}


// The numbers of a camera file's data line, as its loader reads them.
bool cameraFields(const char* path, std::vector<float>& fields)
{
    calib::LineReader reader;
    calib::Line header, line;
    if (reader.open(path) != KZ_OK || !reader.next(header) || !reader.next(line))
        return false;
    calib::FieldCursor cursor(line);
    float value;
    while (cursor.nextFloat(value))
        fields.push_back(value);
    return fields.size() >= 16;
}

// Components and bits per component of a PNG, from its header chunk.
bool pngFormat(const char* path, int& components, int& bits)
{
    unsigned char head[26];
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "rb"), &std::fclose);
    if (!file || std::fread(head, 1, sizeof head, file.get()) != sizeof head ||
        std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) != 0 || std::memcmp(head + 12, "IHDR", 4) != 0)
        return false;
    bits = head[24];
    components = head[25] == 0 || head[25] == 4 ? 1 : 3;  // grey (with alpha) or colour
    return true;
}

// A channel's warp map as the PFM of its lookups, if its points lie on the
// regular output grid that a PFM implies.
bool writeWarp(const kzContextHeader& header, uint32_t channel, const char* path, const std::string& pfm,
               uint32_t& width, uint32_t& height, std::string& problem)
{
    kzMesh mesh;
    if (kzLoadChannelWarpmap(header, channel, path, &mesh) != KZ_OK) {
        problem = std::string("warp map ") + path + " does not load";
        return false;
    }
    width = mesh.width;
    height = mesh.height;
    if (width < 2 || height < 2) {
        problem = std::string("warp map ") + path + " covers no area";
        return false;
    }
    std::vector<float> samples(size_t(width) * height * 3);
    for (uint32_t row = 0; row < height; ++row) {
        for (uint32_t column = 0; column < width; ++column) {
            const size_t i = size_t(row) * width + column;
            const kzVec3f p = mesh.vertices[i];
            if (p.x != float(column) / float(width - 1) || p.y != float(row) / float(height - 1) || p.z != 0) {
                problem = std::string("warp map ") + path +
                          " is not on a regular output grid, which MPCDI warp files are";
                return false;
            }
            samples[i * 3] = mesh.texcoords[i].x;
            samples[i * 3 + 1] = mesh.texcoords[i].y;
            samples[i * 3 + 2] = 0.0f;
        }
    }
    if (!calib::writePfm(pfm.c_str(), width, height, samples.data())) {
        problem = "cannot write " + pfm;
        return false;
    }
    return true;
}

struct Member {
    std::string name;
    std::string path;
};

struct ScratchFolder {
    std::string path;
    ~ScratchFolder()
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
};

bool writeArchive(const char* destination, const std::string& document, const std::vector<Member>& members,
                  std::string& problem)
{
    int error = 0;
    zip_t* archive = zip_open(destination, ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) {
        problem = std::string("cannot create ") + destination;
        return false;
    }
    bool added = true;
    zip_source_t* xml = zip_source_buffer(archive, document.data(), document.size(), 0);
    added = xml && zip_file_add(archive, "mpcdi.xml", xml, ZIP_FL_ENC_UTF_8) >= 0;
    if (!added && xml)
        zip_source_free(xml);
    for (const Member& member : members) {
        if (!added)
            break;
        zip_source_t* file = zip_source_file(archive, member.path.c_str(), 0, -1);
        added = file && zip_file_add(archive, member.name.c_str(), file, ZIP_FL_ENC_UTF_8) >= 0;
        if (!added && file)
            zip_source_free(file);
    }
    if (!added) {
        problem = std::string("cannot add to the archive: ") + zip_strerror(archive);
        zip_discard(archive);
        return false;
    }
    if (zip_close(archive) != 0) {
        problem = std::string("cannot write ") + destination + ": " + zip_strerror(archive);
        zip_discard(archive);
        return false;
    }
    return true;
}

}  // namespace

kzResult exportConfiguration(const char* configuration, const char* destination, ExportProfile profile,
                             std::string& problem)
{
    kzContextHeader header(KZ_CONTEXT_D3D9);
    if (kzResult loaded = kzLoadConfigurationFromFile(&header, configuration); loaded != KZ_OK) {
        problem = header.errorString;
        return loaded;
    }
    if (header.configurations.empty()) {
        problem = "the configuration has no channels";
        return KZ_ERROR_INVALID_DATA;
    }
    bool threeD = profile != ExportProfile::TwoD;
    for (const auto& [channel, record] : header.configurations) {
        if (record.type != KZ_CORRECTION_STATIC) {
            problem = "channel " + std::to_string(channel) +
                      " is not static; only warp maps (static channels) are exported";
            return KZ_ERROR_INVALID_DATA;
        }
        if (record.frustum[0] == '\0') {
            if (profile == ExportProfile::ThreeD) {
                problem = "channel " + std::to_string(channel) + " has no camera file for profile 3d";
                return KZ_ERROR_INVALID_DATA;
            }
            threeD = false;
        }
    }

    ScratchFolder scratch;
    std::error_code error;
    std::string pattern = std::filesystem::temp_directory_path(error).string() + "/kzLib-export-XXXXXX";
    if (error || !mkdtemp(pattern.data())) {
        problem = "no scratch folder";
        return KZ_ERROR_FILE;
    }
    scratch.path = pattern + "/";

    std::string regions, filesets, gammas;
    std::vector<Member> members;
    for (const auto& [channel, record] : header.configurations) {
        const auto origin = header.origins.find(channel);
        const std::string id = origin != header.origins.end() && !origin->second.regionId.empty()
                                   ? origin->second.regionId
                                   : "channel" + std::to_string(channel);
        const std::string prefix = std::to_string(channel) + "_";
        uint32_t width = 0, height = 0;
        Member warp{prefix + "warp.pfm", scratch.path + prefix + "warp.pfm"};
        if (!writeWarp(header, channel, record.warpmap, warp.path, width, height, problem)) {
            problem = "channel " + std::to_string(channel) + ": " + problem;
            return KZ_ERROR_INVALID_DATA;
        }
        members.push_back(warp);

        regions += "      <region id=\"" + escaped(id) + "\" xResolution=\"" + std::to_string(width) +
                   "\" yResolution=\"" + std::to_string(height) + "\" x=\"0\" y=\"0\" xsize=\"1\" ysize=\"1\">\n";
        if (threeD) {
            std::vector<float> camera;
            if (!cameraFields(record.frustum, camera)) {
                problem = "channel " + std::to_string(channel) + ": camera file " + record.frustum +
                          " does not load";
                return KZ_ERROR_INVALID_DATA;
            }
            if (camera[0] != 0 || camera[1] != 0 || camera[2] != 0)
                kzLogMessage(KZ_MESSAGE_WARNING,
                             "channel %u: the camera's eye offset is not part of an MPCDI frustum and is dropped",
                             channel);
            regions += "        <frustum>\n          <yaw>" + number(camera[3]) + "</yaw>\n          <pitch>" +
                       number(camera[4]) + "</pitch>\n          <roll>" + number(camera[5]) +
                       "</roll>\n          <rightAngle>" + precise(std::atan(double(camera[11])) * kDegreesPerRadian) +
                       "</rightAngle>\n          <leftAngle>" +
                       precise(std::atan(double(camera[10])) * kDegreesPerRadian) +
                       "</leftAngle>\n          <upAngle>" +
                       precise(std::atan(double(camera[13])) * kDegreesPerRadian) +
                       "</upAngle>\n          <downAngle>" +
                       precise(std::atan(double(camera[12])) * kDegreesPerRadian) + "</downAngle>\n        </frustum>\n";
        }
        regions += "      </region>\n";

        filesets += "    <fileset region=\"" + escaped(id) + "\">\n      <geometryWarpFile>\n        <path>" +
                    warp.name + "</path>\n        <interpolation>linear</interpolation>\n      </geometryWarpFile>\n";
        const struct {
            const char* path;
            const char* element;
            const char* name;
        } masks[] = {{record.blending, "alphaMap", "alpha.png"}, {record.blacklevel, "betaMap", "beta.png"}};
        for (const auto& mask : masks) {
            if (mask.path[0] == '\0')
                continue;
            int components = 0, bits = 0;
            if (!pngFormat(mask.path, components, bits)) {
                problem = "channel " + std::to_string(channel) + ": mask " + mask.path +
                          " is not a PNG, the only image format of MPCDI maps";
                return KZ_ERROR_INVALID_DATA;
            }
            members.push_back({prefix + mask.name, mask.path});
            filesets += std::string("      <") + mask.element + ">\n        <path>" + prefix + mask.name +
                        "</path>\n        <componentDepth>" + std::to_string(components) +
                        "</componentDepth>\n        <bitDepth>" + std::to_string(bits) + "</bitDepth>\n";
            if (std::strcmp(mask.element, "alphaMap") == 0)
                filesets += "        <gammaEmbedded>" + number(record.gamma) + "</gammaEmbedded>\n";
            filesets += std::string("      </") + mask.element + ">\n";
        }
        filesets += "    </fileset>\n";
        for (const char* dropped : {record.secondaryBlending, record.directionalShading}) {
            if (dropped[0] != '\0')
                kzLogMessage(KZ_MESSAGE_WARNING, "channel %u: %s has no MPCDI counterpart and is not exported",
                             channel, dropped);
        }
        gammas += "      <region id=\"" + escaped(id) + "\" inputGamma=\"" + number(record.inputGamma) +
                  "\" outputGamma=\"" + number(record.outputGamma) + "\"/>\n";
    }
    const std::string document =
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<MPCDI profile=\"") + (threeD ? "3d" : "2d") +
        "\" geometry=\"1\" color=\"1\" version=\"2.0\">\n  <display>\n    <buffer id=\"display\">\n" + regions +
        "    </buffer>\n  </display>\n  <files>\n" + filesets +
        "  </files>\n  <extensionSet>\n    <extension Name=\"doVavGamma\" hasExternalFiles=\"false\">\n" + gammas +
        "    </extension>\n  </extensionSet>\n</MPCDI>\n";
    return writeArchive(destination, document, members, problem) ? KZ_OK : KZ_ERROR_FILE;
}

}  // namespace mpcdi
