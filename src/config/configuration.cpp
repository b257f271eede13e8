// The XML configuration file and the channel table it fills.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string>

#include <sys/stat.h>

#include <pugixml.hpp>

#include "config/c_locale_number.h"
#include "config/mpcdi_import.h"
#include "config/xml_shape.h"
#include "core/context_header.h"
#include "core/error_text.h"
#include "core/messages.h"
#include "kzLib/configuration.h"

namespace {

// A configuration is two levels deep, has a handful of elements per channel
// and at most a dozen attributes on one. Documents far beyond that are
// refused before they are parsed, and files larger than any configuration
// before they are read.
constexpr size_t kMaxElementDepth = 64;
constexpr size_t kMaxElements = 65536;
constexpr size_t kMaxAttributesPerElement = 64;
constexpr size_t kMaxConfigurationBytes = size_t(16) << 20;

// The parser keeps comments and processing instructions as nodes, so that an
// element whose first child is one reads as having no text; attribute values
// keep their white space as written.
constexpr unsigned kParseOptions = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol |
                                   pugi::parse_comments | pugi::parse_pi;

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
const char* elementText(const pugi::xml_node& element)
{
    const pugi::xml_node child = element.first_child();
    const bool text = child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata;
    return text ? child.value() : "";
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
void readChannel(const pugi::xml_node& element, const std::string& directory,
                 kzChannelTable& table, std::map<uint32_t, kzChannelOrigin>& origins,
                 kzContextHeader* header)
{
    kzChannelOrigin origin;
    kzConfigurationData record{};
    uint32_t channel = 0;
    std::string oversized;

    for (const pugi::xml_attribute& attribute : element.attributes()) {
        const char* name = attribute.name();
        const char* value = attribute.value();
        if (std::strcmp(name, "id") == 0) {
            // Non-numeric text reads as 0.
            channel = static_cast<uint32_t>(static_cast<int>(kzStrtolC(value, nullptr, 10)));
        } else if (std::strcmp(name, "input-gamma") == 0) {
            record.inputGamma = readFloat(value);
        } else if (std::strcmp(name, "output-gamma") == 0) {
            record.outputGamma = readFloat(value);
        } else if (std::strcmp(name, "gamma") == 0) {
            record.gamma = readFloat(value);  // 0: the file-wide gamma
        } else if (std::strcmp(name, "region") == 0) {
            origin.regionId = value;
        } else if (std::strcmp(name, "warpmap-rows") == 0) {
            origin.warpBottomRowFirst = std::strcmp(value, "bottom-first") == 0;
            if (!origin.warpBottomRowFirst && std::strcmp(value, "top-first") != 0)
                kzLogMessage(KZ_MESSAGE_WARNING,
                             "warpmap-rows=\"%s\" is neither top-first nor bottom-first; top-first is used",
                             value);
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
    origins[channel] = origin;

    if (!oversized.empty()) {
        kzSetErrorText(header, kzErrorLimitOpenGL,
                       "Channel %u: path of %s does not fit in %d bytes and is not configured",
                       channel, oversized.c_str(), KZ_PATH_SIZE);
    }
}

// Reads the whole file, cut at the first NUL byte as the parser would stop
// there; `bytesRead` counts the bytes before the cut. False on a read error
// or a file (a pipe, say) larger than any configuration.
bool readXmlText(FILE* file, std::string& text, size_t& bytesRead)
{
    char block[8192];
    size_t count;
    while ((count = std::fread(block, 1, sizeof block, file)) > 0) {
        if (text.size() + count > kMaxConfigurationBytes)
            return false;
        text.append(block, count);
    }
    if (std::ferror(file))
        return false;
    bytesRead = text.size();
    text.resize(std::strlen(text.c_str()));
    return true;
}

// Whether a regular file still has the size and modification time it had
// before it was read, and that many bytes were read.
bool unchangedWhileRead(FILE* file, const struct stat& before, size_t bytesRead)
{
    if (!S_ISREG(before.st_mode))
        return true;
    struct stat after;
    return ::fstat(fileno(file), &after) == 0 && after.st_size == before.st_size &&
           after.st_mtim.tv_sec == before.st_mtim.tv_sec &&
           after.st_mtim.tv_nsec == before.st_mtim.tv_nsec && bytesRead == size_t(before.st_size);
}

// Whether the text keeps within the limits above.
bool withinGrammarLimits(const std::string& text)
{
    const kzXmlShape shape = kzMeasureXml(text);
    return shape.depth <= kMaxElementDepth && shape.elements <= kMaxElements &&
           shape.mostAttributes <= kMaxAttributesPerElement;
}

// Whether no element carries an attribute twice; the scan has bounded the
// attributes of an element, so comparing each with the ones before is cheap.
bool attributesUnique(const pugi::xml_node& root)
{
    for (pugi::xml_node node = root; node;) {
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
            for (pugi::xml_attribute b = node.first_attribute(); b != a; b = b.next_attribute()) {
                if (std::strcmp(a.name(), b.name()) == 0)
                    return false;
            }
        }
        // Depth-first, without recursion.
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && !node.next_sibling())
            node = node.parent();
        if (node)
            node = node.next_sibling();
    }
    return true;
}

// Parses the text in place (the document points into it) as UTF-8 without
// conversion, so path bytes reach the table as written.
bool parseXml(pugi::xml_document& document, std::string& text)
{
    const pugi::xml_parse_result parsed =
        document.load_buffer_inplace(text.data(), text.size(), kParseOptions, pugi::encoding_utf8);
    return parsed && attributesUnique(document);
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

    struct stat status;
    if (::fstat(fileno(file.get()), &status) != 0)
        status.st_mode = 0;  // read as not a regular file
    if (S_ISREG(status.st_mode) && uint64_t(status.st_size) > kMaxConfigurationBytes) {
        kzLogMessage(KZ_MESSAGE_ERROR, "Configuration %s: %llu bytes, more than the %zu a configuration may have",
                     path, static_cast<unsigned long long>(status.st_size), kMaxConfigurationBytes);
        kzSetErrorText(header, kzErrorLimitOpenGL, "Failed to load xml: %s is larger than %zu bytes",
                       path, kMaxConfigurationBytes);
        return KZ_ERROR_INVALID_DATA;
    }

    std::string text;
    size_t bytesRead = 0;
    const bool read = readXmlText(file.get(), text, bytesRead);
    if (read && !unchangedWhileRead(file.get(), status, bytesRead)) {
        kzLogMessage(KZ_MESSAGE_ERROR,
                     "Configuration %s changed while being read (its size or modification time moved)",
                     path);
        kzSetErrorText(header, kzErrorLimitOpenGL, "Failed to load xml: %s changed while being read", path);
        return KZ_ERROR_FILE;
    }
    file.reset();
    if (read && !withinGrammarLimits(text)) {
        kzLogMessage(KZ_MESSAGE_ERROR,
                     "Configuration %s: more than %zu levels, %zu elements or %zu attributes on "
                     "one element; not a configuration",
                     path, kMaxElementDepth, kMaxElements, kMaxAttributesPerElement);
        kzSetErrorText(header, kzErrorLimitOpenGL, "Failed to load xml");
        return KZ_ERROR_INVALID_DATA;
    }
    pugi::xml_document document;
    if (!read || !parseXml(document, text)) {
        kzLogMessage(KZ_MESSAGE_ERROR, "Configuration %s: %s", path,
                     read ? "not well-formed XML, or an attribute given twice" : "cannot be read");
        kzSetErrorText(header, kzErrorLimitOpenGL, "Failed to load xml");
        return KZ_ERROR_INVALID_DATA;
    }
    const pugi::xml_node root = document.child("kzCorrection");
    if (!root) {
        kzSetErrorText(header, kzErrorLimitOpenGL,
                       "Invalid xml. Missing root tag <kzCorrection>");
        return KZ_ERROR_INVALID_DATA;
    }

    FileWideValues fileWide;
    kzChannelTable channels;
    std::map<uint32_t, kzChannelOrigin> origins;
    for (const pugi::xml_node& element : root.children()) {
        if (element.type() != pugi::node_element)
            continue;
        const std::string name = element.name();
        if (name == "type")
            fileWide.type = static_cast<int32_t>(kzStrtolC(elementText(element), nullptr, 10));
        else if (name == "gamma")
            fileWide.gamma = readFloat(elementText(element));
        else if (name == "input-gamma")
            fileWide.inputGamma = readFloat(elementText(element));
        else if (name == "output-gamma")
            fileWide.outputGamma = readFloat(elementText(element));
        else if (name == "channel")
            readChannel(element, directory, channels, origins, header);
    }

    // File-wide values apply wherever they stand in the file; a per-channel
    // gamma of 0 counts as not given.
    for (auto& [channel, record] : channels) {
        record.type = fileWide.type;
        if (record.gamma == 0.0f)
            record.gamma = fileWide.gamma;
        if (record.inputGamma == 0.0f)
            record.inputGamma = fileWide.inputGamma;
        if (record.outputGamma == 0.0f)
            record.outputGamma = fileWide.outputGamma;
    }
    channels.merge(header->configurations);  // keeps this file's record where both have one
    header->configurations.swap(channels);
    origins.merge(header->origins);
    header->origins.swap(origins);
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
        const kzResult result =
            kzIsMpcdiSource(path) ? kzLoadMpcdiConfiguration(header, path) : loadConfiguration(header, path);
        if (result == KZ_OK)
            kzReleaseUnusedFolders(*header);
        return result;
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
