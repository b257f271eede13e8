// The XML configuration file and the channel table it fills.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string>

#include <tinyxml.h>

#include "config/c_locale_number.h"
#include "config/xml_depth.h"
#include "core/context_header.h"
#include "core/error_text.h"
#include "kzLib/configuration.h"

namespace {

// Deeper documents are refused before parsing: the XML parser recurses once
// per level, and a configuration needs two.
constexpr size_t kMaxElementDepth = 64;

using PathField = char (kzConfigurationData::*)[KZ_PATH_SIZE];

struct PathAttribute {
    const char* name;
    PathField field;
};

// Both shading attributes share one field; the later one in the element wins.
constexpr PathAttribute kPathAttributes[] = {
    {"warpmap", &kzConfigurationData::warpmap},
    {"blending", &kzConfigurationData::blending},
    {"secondary-blending", &kzConfigurationData::secondaryBlending},
    {"blacklevel", &kzConfigurationData::blacklevel},
    {"shape", &kzConfigurationData::shape},
    {"frustum", &kzConfigurationData::frustum},
    {"target", &kzConfigurationData::target},
    {"directional-shading", &kzConfigurationData::directionalShading},
    {"color-correction", &kzConfigurationData::directionalShading},
};

// Order in which kzGetConfigurationFileNames lists a channel's files.
constexpr PathField kListedFiles[] = {
    &kzConfigurationData::blacklevel, &kzConfigurationData::blending,
    &kzConfigurationData::frustum,    &kzConfigurationData::shape,
    &kzConfigurationData::secondaryBlending, &kzConfigurationData::target,
    &kzConfigurationData::directionalShading,
};

// Values that apply to every channel of one file.
struct FileWideValues {
    int32_t type = KZ_CORRECTION_STATIC;
    float gamma = 2.2f;
    float inputGamma = 1.0f;
    float outputGamma = 1.0f;
};

// Text of an element's first child node; an element without text reads as "".
const char* elementText(const TiXmlElement& element)
{
    const TiXmlNode* child = element.FirstChild();
    return child && child->ToText() ? child->Value() : "";
}

float readFloat(const char* text)
{
    return static_cast<float>(kzStrtodC(text, nullptr));
}

// Stores `value` as an absolute path: rooted values as they are, others
// joined to the configuration directory. A path that does not fit leaves the
// field empty (not configured) and returns false.
bool storePath(char (&field)[KZ_PATH_SIZE], const char* value, const std::string& directory)
{
    std::memset(field, 0, sizeof field);
    bool rooted = false;
    kzIsPathRooted(value, &rooted);
    if (rooted) {
        if (std::strlen(value) >= sizeof field)
            return false;
        std::strcpy(field, value);
        return true;
    }
    if (directory.empty())
        return false;  // the configuration's own directory did not fit
    const std::string joined = directory + value;
    if (joined.size() >= sizeof field)
        return false;
    return kzGetFullPath(joined.c_str(), field, sizeof field) == KZ_OK;
}

// Reads one <channel> element into `table`, replacing any earlier record of
// the same channel number. Paths that did not fit are named in the error text.
void readChannel(const TiXmlElement& element, const std::string& directory,
                 kzChannelTable& table, kzContextHeader* header)
{
    kzConfigurationData record{};
    uint32_t channel = 0;
    std::string oversized;

    for (const TiXmlAttribute* attribute = element.FirstAttribute(); attribute;
         attribute = attribute->Next()) {
        const char* name = attribute->Name();
        const char* value = attribute->Value();
        if (std::strcmp(name, "id") == 0) {
            int id = 0;  // non-numeric text reads as 0
            attribute->QueryIntValue(&id);
            channel = static_cast<uint32_t>(id);
        } else if (std::strcmp(name, "input-gamma") == 0) {
            record.inputGamma = readFloat(value);
        } else if (std::strcmp(name, "output-gamma") == 0) {
            record.outputGamma = readFloat(value);
        } else {
            for (const PathAttribute& path : kPathAttributes) {
                if (std::strcmp(name, path.name) != 0)
                    continue;
                if (!storePath(record.*path.field, value, directory))
                    oversized += (oversized.empty() ? "" : ", ") + std::string(name);
                break;
            }
        }
    }
    table[channel] = record;

    if (!oversized.empty()) {
        kzSetErrorText(header, kzErrorLimitOpenGL,
                       "Channel %u: path of %s does not fit in %d bytes and is not configured",
                       channel, oversized.c_str(), KZ_PATH_SIZE);
    }
}

// Reads the whole file as the XML parser should see it: cut at the first NUL
// byte, line ends normalised to '\n' as the parser's own file reader does,
// and padded with NUL bytes. The parser steps over a multi-byte UTF-8
// character whole, so a lead byte at the very end of the text would carry it
// past a single terminator and out of the buffer; the padding stops it there.
bool readXmlText(FILE* file, std::string& text)
{
    constexpr size_t kPadding = 8;  // longer than any UTF-8 sequence
    char block[8192];
    size_t count;
    while ((count = std::fread(block, 1, sizeof block, file)) > 0)
        text.append(block, count);
    if (std::ferror(file))
        return false;

    text.resize(std::strlen(text.c_str()));
    size_t kept = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            text[kept++] = '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            text[kept++] = text[i];
        }
    }
    text.resize(kept);
    text.append(kPadding, '\0');
    return true;
}

// Parses with the encoding detected from the document (UTF-8 by default).
bool parseXml(TiXmlDocument& document, const std::string& text)
{
    document.Parse(text.c_str(), nullptr, TIXML_DEFAULT_ENCODING);
    return !document.Error();
}

// Argument checks shared by the channel-table queries: the context first,
// then the count, then the context's kind.
kzResult checkQuery(void* context, const size_t* count, const kzContextHeader*& header)
{
    if (!context)
        return KZ_ERROR_INVALID_CONTEXT;
    if (!count)
        return KZ_ERROR_INVALID_ARGUMENT;
    header = kzGetContextHeader(context);
    return header ? KZ_OK : KZ_ERROR_INVALID_CONTEXT;
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// Parses the file and merges its channels into the header's table; the table
// is touched only once the whole file has been read.
kzResult loadConfiguration(kzContextHeader* header, const char* path)
{
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file) {
        kzSetErrorText(header, kzErrorLimitOpenGL, "File %s not found", path);
        return KZ_ERROR_FILE;
    }

    char directoryBuffer[KZ_PATH_SIZE];
    const std::string directory =
        kzGetDirectoryName(path, directoryBuffer, sizeof directoryBuffer) == KZ_OK
            ? directoryBuffer
            : std::string();

    std::string text;
    const bool read = readXmlText(file.get(), text);
    file.reset();
    TiXmlDocument document;
    if (!read || kzXmlElementDepth(text) > kMaxElementDepth || !parseXml(document, text)) {
        kzSetErrorText(header, kzErrorLimitOpenGL, "Failed to load xml");
        return KZ_ERROR_INVALID_DATA;
    }
    const TiXmlElement* root = document.FirstChildElement("kzCorrection");
    if (!root) {
        kzSetErrorText(header, kzErrorLimitOpenGL,
                       "Invalid xml. Missing root tag <kzCorrection>");
        return KZ_ERROR_INVALID_DATA;
    }

    FileWideValues fileWide;
    kzChannelTable channels;
    for (const TiXmlElement* element = root->FirstChildElement(); element;
         element = element->NextSiblingElement()) {
        const std::string name = element->Value();
        if (name == "type")
            fileWide.type = static_cast<int32_t>(kzStrtolC(elementText(*element), nullptr, 10));
        else if (name == "gamma")
            fileWide.gamma = readFloat(elementText(*element));
        else if (name == "input-gamma")
            fileWide.inputGamma = readFloat(elementText(*element));
        else if (name == "output-gamma")
            fileWide.outputGamma = readFloat(elementText(*element));
        else if (name == "channel")
            readChannel(*element, directory, channels, header);
    }

    // File-wide values apply wherever they stand in the file; a per-channel
    // gamma of 0 counts as not given.
    for (auto& [channel, record] : channels) {
        record.type = fileWide.type;
        record.gamma = fileWide.gamma;
        if (record.inputGamma == 0.0f)
            record.inputGamma = fileWide.inputGamma;
        if (record.outputGamma == 0.0f)
            record.outputGamma = fileWide.outputGamma;
    }
    channels.merge(header->configurations);  // keeps this file's record where both have one
    header->configurations.swap(channels);
    return KZ_OK;
}

}  // namespace

KZ_API kzResult kzLoadConfigurationFromFile(void* context, const char* path)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    auto* header = static_cast<kzContextHeader*>(context);
    if (!path) {
        kzSetErrorText(header, kzErrorLimitOpenGL, "No filename specified");
        return KZ_ERROR_INVALID_ARGUMENT;
    }
    try {
        return loadConfiguration(header, path);
    } catch (const std::bad_alloc&) {
        kzSetErrorText(header, kzErrorLimitOpenGL, "Out of memory while loading %s", path);
        return KZ_ERROR_INVALID_DATA;
    }
}

KZ_API kzResult kzGetChannels(void* context, unsigned* channels, size_t* count)
{
    const kzContextHeader* header = nullptr;
    if (kzResult result = checkQuery(context, count, header); result != KZ_OK)
        return result;

    if (channels) {
        size_t copied = 0;
        for (auto it = header->configurations.begin();
             it != header->configurations.end() && copied < *count; ++it)
            channels[copied++] = it->first;
    }
    *count = header->configurations.size();
    return KZ_OK;
}

KZ_API kzResult kzGetConfigurationFileNames(void* context, unsigned channel, char** names,
                                            size_t* count)
{
    const kzContextHeader* header = nullptr;
    if (kzResult result = checkQuery(context, count, header); result != KZ_OK)
        return result;
    const auto found = header->configurations.find(channel);
    if (found == header->configurations.end())
        return KZ_ERROR_INVALID_DATA;

    const char* listed[std::size(kListedFiles)];
    size_t length = 0;
    for (PathField field : kListedFiles) {
        const char* path = found->second.*field;
        if (path[0] != '\0')
            listed[length++] = path;
    }

    if (names) {
        const size_t copied = std::min(*count, length);
        for (size_t i = 0; i < copied; ++i) {
            if (!names[i])
                return KZ_ERROR_INVALID_ARGUMENT;
        }
        for (size_t i = 0; i < copied; ++i)
            std::strcpy(names[i], listed[i]);
    }
    *count = length;
    return KZ_OK;
}
