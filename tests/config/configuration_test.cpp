// Loading XML configurations into the channel table, and querying it.

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/context_header.h"
#include "kzLib.h"
#include "support/temp_dir.h"

namespace {

using dovav::test::TempDir;

std::string document(const std::string& body)
{
    return "<?xml version=\"1.0\"?>\n<kzCorrection>\n" + body + "\n</kzCorrection>\n";
}

class ConfigurationTest : public ::testing::Test {
public:  // the case tables below reach these from lambdas
    // Writes `xml` as display.xml in the scratch directory and loads it.
    kzResult load(const std::string& xml, const std::string& name = "display.xml")
    {
        return kzLoadConfigurationFromFile(&context, dir.write(name, xml).c_str());
    }

    const kzConfigurationData& channel(uint32_t number)
    {
        const auto found = context.configurations.find(number);
        if (found == context.configurations.end())
            throw std::runtime_error("channel " + std::to_string(number) + " not in the table");
        return found->second;
    }

    // Absolute form of a path relative to the scratch directory.
    std::string inDir(const std::string& relative) const { return dir.path() + "/" + relative; }

    TempDir dir;
    kzContextHeader context{KZ_CONTEXT_OPENGL};
};

struct LoadCase {
    const char* name;
    std::string body;  // children of <kzCorrection>
    std::function<void(ConfigurationTest&)> check;
};

TEST_F(ConfigurationTest, ElementsAttributesAndDefaults)
{
    const LoadCase cases[] = {
        {"defaults", "<channel id=\"3\"/>",
         [](ConfigurationTest& t) {
             const auto& c = t.channel(3);
             EXPECT_EQ(KZ_CORRECTION_STATIC, c.type);
             EXPECT_EQ(2.2f, c.gamma);
             EXPECT_EQ(1.0f, c.inputGamma);
             EXPECT_EQ(1.0f, c.outputGamma);
             EXPECT_EQ('\0', c.warpmap[0]);
             EXPECT_EQ('\0', c.directionalShading[0]);
         }},
        {"file-wide values apply wherever they stand",
         "<channel id=\"1\"/><type>1</type><gamma>1.8</gamma>"
         "<input-gamma>0.9</input-gamma><output-gamma>1.25</output-gamma><channel id=\"2\"/>",
         [](ConfigurationTest& t) {
             for (uint32_t n : {1u, 2u}) {
                 EXPECT_EQ(KZ_CORRECTION_DYNAMIC, t.channel(n).type);
                 EXPECT_EQ(1.8f, t.channel(n).gamma);
                 EXPECT_EQ(0.9f, t.channel(n).inputGamma);
                 EXPECT_EQ(1.25f, t.channel(n).outputGamma);
             }
         }},
        {"channel gammas override, zero means not given",
         "<input-gamma>0.8</input-gamma><channel id=\"1\" input-gamma=\"1.5\" output-gamma=\"0\"/>"
         "<channel id=\"2\" input-gamma=\"0\" output-gamma=\"2.5\"/>",
         [](ConfigurationTest& t) {
             EXPECT_EQ(1.5f, t.channel(1).inputGamma);
             EXPECT_EQ(1.0f, t.channel(1).outputGamma);
             EXPECT_EQ(0.8f, t.channel(2).inputGamma);
             EXPECT_EQ(2.5f, t.channel(2).outputGamma);
         }},
        {"a repeated channel replaces the earlier one whole",
         "<channel id=\"2\" warpmap=\"a.csv\" blending=\"a.png\"/>"
         "<channel id=\"2\" blending=\"b.png\"/>",
         [](ConfigurationTest& t) {
             EXPECT_EQ(1u, t.context.configurations.size());
             EXPECT_EQ('\0', t.channel(2).warpmap[0]);
             EXPECT_EQ(t.inDir("b.png"), t.channel(2).blending);
         }},
        {"channel numbers as integers",
         "<channel id=\"-1\"/><channel id=\"abc\" warpmap=\"zero.csv\"/><channel id=\"7x\"/>",
         [](ConfigurationTest& t) {
             EXPECT_EQ(3u, t.context.configurations.size());
             t.channel(4294967295u);
             EXPECT_EQ(t.inDir("zero.csv"), t.channel(0).warpmap);
             t.channel(7);
         }},
        {"a channel without id is channel 0", "<channel shape=\"s.csv\"/>",
         [](ConfigurationTest& t) { EXPECT_EQ(t.inDir("s.csv"), t.channel(0).shape); }},
        {"elements without text and malformed numbers read as 0",
         "<type/><gamma>abc</gamma><input-gamma></input-gamma><channel id=\"1\" output-gamma=\"x\"/>",
         [](ConfigurationTest& t) {
             EXPECT_EQ(0, t.channel(1).type);
             EXPECT_EQ(0.0f, t.channel(1).gamma);
             EXPECT_EQ(0.0f, t.channel(1).inputGamma);
             EXPECT_EQ(1.0f, t.channel(1).outputGamma);
         }},
        {"unknown types are kept as read", "<type>7</type><channel id=\"1\"/>",
         [](ConfigurationTest& t) { EXPECT_EQ(7, t.channel(1).type); }},
        {"every path attribute reaches its field",
         "<channel id=\"1\" warpmap=\"w\" blending=\"b\" secondary-blending=\"sb\" blacklevel=\"bl\""
         " shape=\"sh\" frustum=\"f\" target=\"t\" directional-shading=\"ds\" unknown=\"u\"/>",
         [](ConfigurationTest& t) {
             const auto& c = t.channel(1);
             EXPECT_EQ(t.inDir("w"), c.warpmap);
             EXPECT_EQ(t.inDir("b"), c.blending);
             EXPECT_EQ(t.inDir("sb"), c.secondaryBlending);
             EXPECT_EQ(t.inDir("bl"), c.blacklevel);
             EXPECT_EQ(t.inDir("sh"), c.shape);
             EXPECT_EQ(t.inDir("f"), c.frustum);
             EXPECT_EQ(t.inDir("t"), c.target);
             EXPECT_EQ(t.inDir("ds"), c.directionalShading);
         }},
        {"the later of the two shading attributes wins",
         "<channel id=\"1\" directional-shading=\"first.png\" color-correction=\"second.png\"/>"
         "<channel id=\"2\" color-correction=\"first.png\" directional-shading=\"second.png\"/>",
         [](ConfigurationTest& t) {
             EXPECT_EQ(t.inDir("second.png"), t.channel(1).directionalShading);
             EXPECT_EQ(t.inDir("second.png"), t.channel(2).directionalShading);
         }},
        {"relative, absolute, dotted and empty paths",
         "<channel id=\"1\" warpmap=\"masks/w.csv\" blending=\"/abs/b.png\""
         " blacklevel=\"../up/bl.png\" frustum=\"\"/>",
         [](ConfigurationTest& t) {
             const auto& c = t.channel(1);
             EXPECT_EQ(t.inDir("masks/w.csv"), c.warpmap);
             EXPECT_STREQ("/abs/b.png", c.blending);
             EXPECT_EQ(t.inDir("../up/bl.png"), c.blacklevel);
             EXPECT_EQ(t.dir.path() + "/", c.frustum) << "empty value is the directory itself";
         }},
        {"no channels leaves the table empty", "<gamma>3</gamma><other/>",
         [](ConfigurationTest& t) { EXPECT_TRUE(t.context.configurations.empty()); }},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        context.configurations.clear();
        ASSERT_EQ(KZ_OK, load(document(c.body)));
        c.check(*this);
    }
}

// Details of how text and values read, held across changes of the XML parser.
TEST_F(ConfigurationTest, TextAndValuesAsWritten)
{
    const struct {
        const char* name;
        std::string xml;
        float gamma;
        std::string warpmap;  // relative to the directory
    } cases[] = {
        {"a comment before the text: no text", document("<gamma><!-- c -->1.5</gamma><channel id=\"1\"/>"), 0.0f, ""},
        {"CDATA text", document("<gamma><![CDATA[1.5]]></gamma><channel id=\"1\"/>"), 1.5f, ""},
        {"entities in values", document("<channel id=\"1\" warpmap=\"a&amp;b&#46;csv\"/>"), 2.2f, "a&b.csv"},
        {"bytes of another encoding kept as written",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><kzCorrection><channel id=\"1\" warpmap=\"caf\xe9.csv\"/></kzCorrection>",
         2.2f, "caf\xe9.csv"},
        {"UTF-8 byte order mark", "\xef\xbb\xbf" + document("<channel id=\"1\" warpmap=\"w.csv\"/>"), 2.2f, "w.csv"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        context.configurations.clear();
        ASSERT_EQ(KZ_OK, load(c.xml));
        EXPECT_EQ(c.gamma, channel(1).gamma);
        EXPECT_EQ(c.warpmap.empty() ? "" : inDir(c.warpmap), channel(1).warpmap);
    }
}

TEST_F(ConfigurationTest, DeclarationsCommentsAndOtherNodesBeforeTheRoot)
{
    ASSERT_EQ(KZ_OK, load("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- written by hand -->\n"
                          "<kzCorrection><!-- note --><channel id=\"5\"/></kzCorrection>"));
    EXPECT_EQ(1u, context.configurations.count(5));
}

TEST_F(ConfigurationTest, FailuresLeaveTheTableAndReportTheCause)
{
    ASSERT_EQ(KZ_OK, load(document("<channel id=\"9\" warpmap=\"kept.csv\"/>"), "first.xml"));
    std::string nested;
    for (int i = 0; i < 100000; ++i)
        nested += "<a>";

    const struct {
        const char* name;
        std::function<kzResult(ConfigurationTest&)> load;
        kzResult code;
        std::string message;  // empty: the error text stays as it was
    } cases[] = {
        {"null path", [](ConfigurationTest& t) { return kzLoadConfigurationFromFile(&t.context, nullptr); },
         KZ_ERROR_INVALID_ARGUMENT, "No filename specified"},
        {"missing file",
         [](ConfigurationTest& t) {
             return kzLoadConfigurationFromFile(&t.context, (t.dir.path() + "/none.xml").c_str());
         },
         KZ_ERROR_FILE, "File " + dir.path() + "/none.xml not found"},
        {"not well-formed", [](ConfigurationTest& t) { return t.load("<kzCorrection><channel"); },
         KZ_ERROR_INVALID_DATA, "Failed to load xml"},
        {"empty file", [](ConfigurationTest& t) { return t.load(""); }, KZ_ERROR_INVALID_DATA,
         "Failed to load xml"},
        {"attribute given twice",
         [](ConfigurationTest& t) { return t.load(document("<channel id=\"1\" id=\"2\"/>")); },
         KZ_ERROR_INVALID_DATA, "Failed to load xml"},
        {"wrong root", [](ConfigurationTest& t) { return t.load("<correction><channel id=\"1\"/></correction>"); },
         KZ_ERROR_INVALID_DATA, "Invalid xml. Missing root tag <kzCorrection>"},
        {"root name is case-sensitive", [](ConfigurationTest& t) { return t.load("<kzcorrection/>"); },
         KZ_ERROR_INVALID_DATA, "Invalid xml. Missing root tag <kzCorrection>"},
        {"nesting deep enough to exhaust the parser's stack",
         [nested](ConfigurationTest& t) { return t.load(document(nested)); }, KZ_ERROR_INVALID_DATA,
         "Failed to load xml"},
        {"multi-byte character cut off by the end of the file",
         [](ConfigurationTest& t) { return t.load("<kzCorrection><channel id=\"1\" warpmap=\"a\xe5"); },
         KZ_ERROR_INVALID_DATA, "Failed to load xml"},
        {"multi-byte character cut off in a name",
         [](ConfigurationTest& t) { return t.load("<kzCorrection><channel \xf0"); },
         KZ_ERROR_INVALID_DATA, "Failed to load xml"},
        {"a directory", [](ConfigurationTest& t) { return kzLoadConfigurationFromFile(&t.context, t.dir.path().c_str()); },
         KZ_ERROR_INVALID_DATA, "Failed to load xml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::strcpy(context.errorString, "previous");
        EXPECT_EQ(c.code, c.load(*this));
        EXPECT_EQ(c.message, context.errorString);
        ASSERT_EQ(1u, context.configurations.size());
        EXPECT_EQ(inDir("kept.csv"), channel(9).warpmap);
    }
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzLoadConfigurationFromFile(nullptr, "display.xml"));
}

// Documents far outside the grammar are refused by a linear scan before the
// parser sees them: a 1 MB configuration of any shape takes well under a
// second (the bound here is generous for a loaded machine; the benchmark
// calibration_files_bench has the figure).
TEST_F(ConfigurationTest, DocumentsFarOutsideTheGrammarAreRefusedQuickly)
{
    auto attributes = [](int count, const char* pattern) {
        std::string text;
        char name[32];
        for (int i = 0; i < count; ++i) {
            std::snprintf(name, sizeof name, pattern, i);
            text += name;
        }
        return text;
    };
    std::string manyElements;
    for (int i = 0; i < 70000; ++i)
        manyElements += "<x/>";
    const struct {
        const char* name;
        std::string body;
        kzResult expected;
    } cases[] = {
        {"100 000 distinct attributes on one element",
         "<channel id=\"1\"" + attributes(100000, " a%d=\"\"") + "/>", KZ_ERROR_INVALID_DATA},
        {"100 000 repeats of one attribute", "<channel" + attributes(100000, " id=\"%d\"") + "/>",
         KZ_ERROR_INVALID_DATA},
        {"64 attributes on one element", "<channel id=\"1\"" + attributes(63, " a%d=\"\"") + "/>", KZ_OK},
        {"70 000 elements", manyElements, KZ_ERROR_INVALID_DATA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(c.expected, load(document(c.body)));
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
        if (c.expected != KZ_OK) {
            EXPECT_STREQ("Failed to load xml", context.errorString);
        }
    }
}

TEST_F(ConfigurationTest, FilesLargerThanAnyConfigurationAreNotRead)
{
    // 16 MiB is accepted as far as size goes (this one is not XML); one byte more is refused unread.
    const size_t limit = size_t(16) << 20;
    EXPECT_EQ(KZ_ERROR_INVALID_DATA, kzLoadConfigurationFromFile(&context, dir.writeSparse("a.xml", "", limit).c_str()));
    EXPECT_STREQ("Failed to load xml", context.errorString);
    const std::string big = dir.writeSparse("b.xml", document("<channel id=\"1\"/>"), limit + 1);
    EXPECT_EQ(KZ_ERROR_INVALID_DATA, kzLoadConfigurationFromFile(&context, big.c_str()));
    EXPECT_NE(std::string::npos, std::string(context.errorString).find("larger than 16777216 bytes"))
        << context.errorString;
}

TEST_F(ConfigurationTest, LineEndsAndBytesAfterANulAsTheParserReadsThem)
{
    const std::string crlf = "<kzCorrection>\r\n<gamma>1.5\r\n</gamma>\r<channel\r\nid=\"4\"/>\r\n</kzCorrection>\r\n";
    ASSERT_EQ(KZ_OK, load(crlf));
    EXPECT_EQ(1.5f, channel(4).gamma);

    context.configurations.clear();
    const std::string withNul = document("<channel id=\"6\"/>") + std::string(1, '\0') + "<broken";
    ASSERT_EQ(KZ_OK, load(withNul)) << "the text ends at the first NUL byte";
    EXPECT_EQ(1u, context.configurations.count(6));
}

TEST_F(ConfigurationTest, LoadsMergeIntoTheTable)
{
    ASSERT_EQ(KZ_OK, load(document("<channel id=\"1\" warpmap=\"one.csv\"/>"
                                   "<channel id=\"2\" warpmap=\"two-old.csv\" blending=\"b.png\"/>"),
                          "first.xml"));
    ASSERT_EQ(KZ_OK, load(document("<gamma>1.5</gamma><channel id=\"2\" warpmap=\"two-new.csv\"/>"
                                   "<channel id=\"3\"/>"),
                          "second.xml"));
    ASSERT_EQ(3u, context.configurations.size());
    EXPECT_EQ(inDir("one.csv"), channel(1).warpmap);
    EXPECT_EQ(2.2f, channel(1).gamma) << "untouched by the second file";
    EXPECT_EQ(inDir("two-new.csv"), channel(2).warpmap);
    EXPECT_EQ('\0', channel(2).blending[0]) << "record replaced whole";
    EXPECT_EQ(1.5f, channel(2).gamma);
    EXPECT_EQ(1.5f, channel(3).gamma);
}

TEST_F(ConfigurationTest, RelativePathsFollowTheConfigurationNotTheWorkingDirectory)
{
    const std::string path = dir.write("cfg/display.xml", document("<channel id=\"1\" warpmap=\"w.csv\"/>"));
    dovav::test::ScopedWorkingDirectory cwd(dir.path());
    ASSERT_EQ(KZ_OK, kzLoadConfigurationFromFile(&context, "cfg/display.xml"));
    EXPECT_EQ(inDir("cfg/w.csv"), channel(1).warpmap);
}

TEST_F(ConfigurationTest, NumbersIgnoreTheHostLocale)
{
    const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"};
    std::string previous = std::setlocale(LC_ALL, nullptr);
    const char* chosen = nullptr;
    for (const char* name : commaLocales) {
        if (std::setlocale(LC_ALL, name) && std::localeconv()->decimal_point[0] == ',') {
            chosen = name;
            break;
        }
    }
    if (!chosen) {
        std::setlocale(LC_ALL, previous.c_str());
        GTEST_SKIP() << "no locale with a decimal comma is installed (scripts/install-deps.sh makes de_DE.UTF-8)";
    }
    const kzResult result = load(document("<gamma>2.4</gamma><input-gamma>0.75</input-gamma>"
                                          "<channel id=\"1\" output-gamma=\"1.5\"/>"));
    std::setlocale(LC_ALL, previous.c_str());
    ASSERT_EQ(KZ_OK, result);
    EXPECT_EQ(2.4f, channel(1).gamma) << "read under " << chosen;
    EXPECT_EQ(0.75f, channel(1).inputGamma);
    EXPECT_EQ(1.5f, channel(1).outputGamma);
}

// Paths that do not fit the 260-byte fields are left unconfigured, named in
// the error text, and do not fail the load.
TEST_F(ConfigurationTest, PathsThatDoNotFitAreLeftEmpty)
{
    const std::string fits = "/" + std::string(258, 'a');     // 259 characters
    const std::string tooLong = "/" + std::string(259, 'b');  // 260 characters
    const std::string relativeTooLong(260 - dir.path().size() - 1, 'c');  // joins to 260

    ASSERT_EQ(KZ_OK, load(document("<channel warpmap=\"" + fits + "\" blending=\"" + tooLong +
                                   "\" blacklevel=\"" + relativeTooLong + "\" id=\"4\"/>")));
    const auto& c = channel(4);
    EXPECT_EQ(fits, c.warpmap);
    EXPECT_EQ('\0', c.blending[0]);
    EXPECT_EQ('\0', c.blacklevel[0]);
    const std::string message = context.errorString;
    EXPECT_NE(std::string::npos, message.find("Channel 4")) << message;
    EXPECT_NE(std::string::npos, message.find("blending")) << message;
    EXPECT_NE(std::string::npos, message.find("blacklevel")) << message;

    // One character less joins to 259 and fits.
    context.errorString[0] = '\0';
    ASSERT_EQ(KZ_OK, load(document("<channel id=\"5\" blacklevel=\"" + relativeTooLong.substr(1) + "\"/>")));
    EXPECT_EQ(259u, std::strlen(channel(5).blacklevel));
    EXPECT_EQ('\0', context.errorString[0]);
}

TEST_F(ConfigurationTest, ConfigurationInADirectoryTooLongForPaths)
{
    std::string deepDir;
    while (dir.path().size() + deepDir.size() < 300)
        deepDir += std::string(40, 'd') + "/";
    ASSERT_EQ(KZ_OK, load(document("<channel id=\"1\" warpmap=\"w.csv\" frustum=\"/abs/f.csv\"/>"),
                          deepDir + "display.xml"));
    EXPECT_EQ('\0', channel(1).warpmap[0]);
    EXPECT_STREQ("/abs/f.csv", channel(1).frustum);
    EXPECT_NE(std::string::npos, std::string(context.errorString).find("warpmap"));
}

class ChannelQueryTest : public ConfigurationTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(KZ_OK, load(document(
                             "<channel id=\"30\" warpmap=\"w.csv\"/>"
                             "<channel id=\"10\" directional-shading=\"ds.png\" target=\"t.csv\""
                             " secondary-blending=\"sb.png\" shape=\"s.csv\" frustum=\"f.csv\""
                             " blending=\"b.png\" blacklevel=\"bl.png\" warpmap=\"w.csv\"/>"
                             "<channel id=\"20\" blending=\"b.png\"/>")));
    }
};

TEST_F(ChannelQueryTest, ChannelsInAscendingOrder)
{
    size_t count = 0;
    ASSERT_EQ(KZ_OK, kzGetChannels(&context, nullptr, &count));
    EXPECT_EQ(3u, count);

    const struct {
        size_t capacity;
        std::vector<unsigned> expected;  // what lands in a buffer of 5 zeros
    } cases[] = {
        {0, {0, 0, 0, 0, 0}},
        {1, {10, 0, 0, 0, 0}},
        {3, {10, 20, 30, 0, 0}},
        {5, {10, 20, 30, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capacity);
        std::vector<unsigned> channels(5, 0);
        count = c.capacity;
        ASSERT_EQ(KZ_OK, kzGetChannels(&context, channels.data(), &count));
        EXPECT_EQ(3u, count) << "the total, whatever was copied";
        EXPECT_EQ(c.expected, channels);
    }
}

TEST_F(ChannelQueryTest, FileNamesInFixedOrderWithoutTheWarpMap)
{
    const std::vector<std::string> expected = {inDir("bl.png"), inDir("b.png"),  inDir("f.csv"),
                                               inDir("s.csv"),  inDir("sb.png"), inDir("t.csv"),
                                               inDir("ds.png")};
    size_t count = 0;
    ASSERT_EQ(KZ_OK, kzGetConfigurationFileNames(&context, 10, nullptr, &count));
    EXPECT_EQ(expected.size(), count);

    for (size_t capacity : {size_t{0}, size_t{2}, expected.size()}) {
        SCOPED_TRACE(capacity);
        std::vector<std::vector<char>> storage(expected.size(), std::vector<char>(KZ_PATH_SIZE, '#'));
        std::vector<char*> names;
        for (auto& buffer : storage)
            names.push_back(buffer.data());
        count = capacity;
        ASSERT_EQ(KZ_OK, kzGetConfigurationFileNames(&context, 10, names.data(), &count));
        EXPECT_EQ(expected.size(), count);
        for (size_t i = 0; i < expected.size(); ++i) {
            if (i < capacity)
                EXPECT_EQ(expected[i], names[i]);
            else
                EXPECT_EQ('#', names[i][0]) << "buffer " << i << " beyond the capacity";
        }
    }

    count = 5;
    ASSERT_EQ(KZ_OK, kzGetConfigurationFileNames(&context, 30, nullptr, &count));
    EXPECT_EQ(0u, count) << "a warp map alone lists nothing";
    ASSERT_EQ(KZ_OK, kzGetConfigurationFileNames(&context, 20, nullptr, &count));
    EXPECT_EQ(1u, count);
}

TEST_F(ChannelQueryTest, BadArgumentsAndContexts)
{
    size_t count = 0;
    unsigned channels[4];
    char name[KZ_PATH_SIZE];
    char* names[1] = {name};
    char* nullNames[1] = {nullptr};
    kzContextHeader unknownKind(7);
    kzContextHeader negativeKind(-1);
    kzContextHeader reservedKind(KZ_CONTEXT_D3D11);

    const struct {
        const char* name;
        kzResult result;
        kzResult expected;
    } cases[] = {
        {"channels: null context", kzGetChannels(nullptr, channels, &count), KZ_ERROR_INVALID_CONTEXT},
        {"channels: null count", kzGetChannels(&context, channels, nullptr), KZ_ERROR_INVALID_ARGUMENT},
        {"channels: kind 7", kzGetChannels(&unknownKind, channels, &count), KZ_ERROR_INVALID_CONTEXT},
        {"channels: kind -1", kzGetChannels(&negativeKind, channels, &count), KZ_ERROR_INVALID_CONTEXT},
        {"channels: reserved kind", kzGetChannels(&reservedKind, channels, &count), KZ_OK},
        {"names: null context", kzGetConfigurationFileNames(nullptr, 10, names, &count), KZ_ERROR_INVALID_CONTEXT},
        {"names: null count", kzGetConfigurationFileNames(&context, 10, names, nullptr), KZ_ERROR_INVALID_ARGUMENT},
        {"names: kind 7", kzGetConfigurationFileNames(&unknownKind, 10, names, &count), KZ_ERROR_INVALID_CONTEXT},
        {"names: unknown channel", kzGetConfigurationFileNames(&context, 11, nullptr, &count), KZ_ERROR_INVALID_DATA},
        {"names: null buffer", (count = 1, kzGetConfigurationFileNames(&context, 10, nullNames, &count)),
         KZ_ERROR_INVALID_ARGUMENT},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, c.result) << c.name;
}

}  // namespace
