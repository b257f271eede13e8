#include "config/mpcdi_document.h"

#include <cmath>
#include <cstring>
#include <map>

#include <pugixml.hpp>

#include "config/c_locale_number.h"
#include "config/xml_shape.h"

namespace mpcdi {
namespace {

constexpr size_t kMaxElementDepth = 32;

// A number element's text; `fallback` when it is absent, false if it is
// present but not a finite number.
bool readNumber(const pugi::xml_node& parent, const char* name, double& value, std::string& problem)
{
    const pugi::xml_node node = parent.child(name);
    if (!node)
        return true;
    const char* text = node.child_value();
    char* end = nullptr;
    const double read = kzStrtodC(text, &end);
    while (end && (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r'))
        ++end;
    if (end == text || !end || *end != '\0' || !std::isfinite(read)) {
        problem = std::string("<") + name + "> is not a number: \"" + std::string(text).substr(0, 40) + "\"";
        return false;
    }
    value = read;
    return true;
}

bool readDepth(const pugi::xml_node& map, const char* name, int& value, const int allowed[2],
               std::string& problem)
{
    double read = value;
    if (!readNumber(map, name, read, problem))
        return false;
    if (read != allowed[0] && read != allowed[1]) {
        problem = std::string("<") + map.name() + "> has " + name + " " + map.child(name).child_value() +
                  "; " + std::to_string(allowed[0]) + " or " + std::to_string(allowed[1]) + " is read";
        return false;
    }
    value = int(read);
    return true;
}

bool readMap(const pugi::xml_node& node, MapFile& map, std::string& problem)
{
    map.path = node.child("path").child_value();
    static const int kComponents[2] = {1, 3};
    static const int kBits[2] = {8, 16};
    return readDepth(node, "componentDepth", map.componentDepth, kComponents, problem) &&
           readDepth(node, "bitDepth", map.bitDepth, kBits, problem) &&
           readNumber(node, "gammaEmbedded", map.gammaEmbedded, problem);
}

bool readFrustum(const pugi::xml_node& node, Frustum& frustum, std::string& problem)
{
    if (!node)
        return true;
    frustum.present = true;
    return readNumber(node, "yaw", frustum.yaw, problem) && readNumber(node, "pitch", frustum.pitch, problem) &&
           readNumber(node, "roll", frustum.roll, problem) &&
           readNumber(node, "rightAngle", frustum.rightAngle, problem) &&
           readNumber(node, "leftAngle", frustum.leftAngle, problem) &&
           readNumber(node, "upAngle", frustum.upAngle, problem) &&
           readNumber(node, "downAngle", frustum.downAngle, problem);
}

uint32_t readResolution(const pugi::xml_node& region, const char* lower, const char* upper)
{
    pugi::xml_attribute attribute = region.attribute(lower);
    if (!attribute)
        attribute = region.attribute(upper);
    return attribute.as_uint(0);
}

bool containsCaseless(const char* text, const char* part)
{
    std::string lowered(text);
    for (char& c : lowered)
        c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lowered.find(part) != std::string::npos;
}

// Elements the correction cannot honour, anywhere outside the extensions.
bool refuseUnsupported(const pugi::xml_node& node, std::string& problem)
{
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() != pugi::node_element || std::strcmp(child.name(), "extensionSet") == 0)
            continue;
        if (std::strcmp(child.name(), "distortionMap") == 0 && child.child("path").child_value()[0]) {
            problem = "<distortionMap> (shader-lamp distortion) is not supported";
            return false;
        }
        if (containsCaseless(child.name(), "lut")) {
            problem = std::string("<") + child.name() + "> (colour look-up table) is not supported";
            return false;
        }
        if (!refuseUnsupported(child, problem))
            return false;
    }
    return true;
}

bool readVersion(const pugi::xml_node& root, Document& document, std::string& problem)
{
    document.version = root.attribute("version").as_string("");
    char* end = nullptr;
    const double version = kzStrtodC(document.version.c_str(), &end);
    if (document.version.empty() || *end != '\0' || !(version >= 1.0 && version <= 2.0)) {
        problem = "MPCDI version \"" + document.version.substr(0, 20) + "\" is not one of 1.0 to 2.0";
        return false;
    }
    return true;
}

bool readProfile(const pugi::xml_node& root, Document& document, std::string& problem)
{
    const std::string profile = root.attribute("profile").as_string("");
    if (profile == "2d")
        document.profile = Profile::TwoD;
    else if (profile == "3d")
        document.profile = Profile::ThreeD;
    else if (profile == "a3")
        document.profile = Profile::Advanced3D;
    else if (profile == "sl") {
        problem = "profile sl (shader lamp) is not supported";
        return false;
    } else {
        problem = "unknown profile \"" + profile.substr(0, 20) + "\" (2d, 3d, a3 and sl are defined)";
        return false;
    }
    return true;
}

// Filesets by region id (the first one of each); they stand in <files>, or
// (as some writers put them) beside it.
std::map<std::string, pugi::xml_node> filesetsByRegion(const pugi::xml_node& root)
{
    std::map<std::string, pugi::xml_node> filesets;
    for (const pugi::xml_node& parent : {root.child("files"), root}) {
        for (const pugi::xml_node& fileset : parent.children("fileset"))
            filesets.emplace(fileset.attribute("region").as_string(), fileset);
    }
    return filesets;
}

struct Gammas {
    double input = 0, output = 0;
};

// This library's extension: input and output gamma by region id.
std::map<std::string, Gammas> gammaExtension(const pugi::xml_node& root)
{
    std::map<std::string, Gammas> gammas;
    for (const pugi::xml_node& extension : root.child("extensionSet").children("extension")) {
        if (std::strcmp(extension.attribute("Name").as_string(), "doVavGamma") != 0)
            continue;
        for (const pugi::xml_node& entry : extension.children("region")) {
            Gammas read{kzStrtodC(entry.attribute("inputGamma").as_string("0"), nullptr),
                        kzStrtodC(entry.attribute("outputGamma").as_string("0"), nullptr)};
            if (std::isfinite(read.input) && std::isfinite(read.output))
                gammas.emplace(entry.attribute("id").as_string(), read);
        }
    }
    return gammas;
}

}  // namespace

const char* profileName(Profile profile)
{
    switch (profile) {
    case Profile::TwoD: return "2d";
    case Profile::ThreeD: return "3d";
    case Profile::Advanced3D: return "a3";
    }
    return "?";
}

bool parseDocument(const std::string& text, Document& document, std::string& problem)
{
    if (kzXmlElementDepth(text) > kMaxElementDepth) {
        problem = "the document nests more than " + std::to_string(kMaxElementDepth) + " elements deep";
        return false;
    }
    pugi::xml_document xml;
    const pugi::xml_parse_result parsed = xml.load_buffer(text.data(), text.size());
    if (!parsed) {
        problem = std::string("not well-formed XML: ") + parsed.description() + " at byte " +
                  std::to_string(parsed.offset);
        return false;
    }
    const pugi::xml_node root = xml.child("MPCDI");
    if (!root) {
        problem = "no <MPCDI> root element";
        return false;
    }
    if (!readVersion(root, document, problem) || !readProfile(root, document, problem) ||
        !refuseUnsupported(root, problem))
        return false;

    const std::map<std::string, pugi::xml_node> filesets = filesetsByRegion(root);
    const std::map<std::string, Gammas> gammas = gammaExtension(root);
    for (const pugi::xml_node& buffer : root.child("display").children("buffer")) {
        for (const pugi::xml_node& node : buffer.children("region")) {
            if (document.regions.size() == kMaxRegions) {
                problem = "more than " + std::to_string(kMaxRegions) + " regions";
                return false;
            }
            Region region;
            region.id = node.attribute("id").as_string("");
            region.xResolution = readResolution(node, "xResolution", "Xresolution");
            region.yResolution = readResolution(node, "yResolution", "Yresolution");
            if (!readFrustum(node.child("frustum"), region.frustum, problem)) {
                problem = "region " + region.id + ": " + problem;
                return false;
            }
            const auto found = filesets.find(region.id);
            const pugi::xml_node fileset = found != filesets.end() ? found->second : pugi::xml_node();
            if (!readMap(fileset.child("geometryWarpFile"), region.warp, problem) ||
                !readMap(fileset.child("alphaMap"), region.alpha, problem) ||
                !readMap(fileset.child("betaMap"), region.beta, problem)) {
                problem = "region " + region.id + ": " + problem;
                return false;
            }
            region.geometricUnit = fileset.child("geometryWarpFile").child("geometricUnit").child_value();
            if (const auto gamma = gammas.find(region.id); gamma != gammas.end()) {
                region.inputGamma = gamma->second.input;
                region.outputGamma = gamma->second.output;
            }
            document.regions.push_back(std::move(region));
        }
    }
    if (document.regions.empty()) {
        problem = "the display has no regions";
        return false;
    }
    return true;
}

}  // namespace mpcdi
