// The pre-parse scan that keeps documents far outside the configuration
// grammar (deep, many elements, wide elements) away from the parser.

#include <string>

#include <gtest/gtest.h>

#include "config/xml_shape.h"

namespace {

TEST(XmlDepth, CountsOpenElementsAsTheParserSeesThem)
{
    const struct {
        const char* text;
        size_t depth;
    } cases[] = {
        {"", 0},
        {"<?xml version=\"1.0\"?><root/>", 0},
        {"<root></root>", 1},
        {"<root><channel id=\"1\"/><channel id=\"2\"/></root>", 1},
        {"<a><b><c></c></b><d></d></a>", 3},
        {"<a x=\"<b><c>\" y='>'><d/></a>", 1},           // markup inside quoted values
        {"<a x = \"/>\"><b></b></a>", 2},                 // "/>" inside a value does not close
        {"<a><!-- <b><c><d> --></a>", 1},                 // comments
        {"<a><![CDATA[<b><c>]]></a>", 1},                 // CDATA sections
        {"<!DOCTYPE a><a><b/></a>", 1},
        {"<a><b><c>", 3},                                  // unterminated: still counted
        {"<a x=\"unterminated", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.depth, kzXmlElementDepth(c.text)) << c.text;
}

TEST(XmlShape, CountsElementsAndTheWidestStartTag)
{
    const struct {
        const char* text;
        size_t elements, mostAttributes;
    } cases[] = {
        {"", 0, 0},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><root/>", 1, 0},
        {"<root><channel id=\"1\" warpmap=\"w\"/><channel id=\"2\"/></root>", 3, 2},
        {"<a x = \"1\" y='2' z=\"a=b\"></a>", 1, 3},       // '=' inside a value is no attribute
        {"<a><!-- <b c=\"1\"> --><![CDATA[<d e=\"1\">]]></a>", 1, 0},
        {"<a x=\"1\"></a><b></b><c/>", 3, 1},               // end tags are not counted
        {"<a x=y z=w>", 1, 2},                              // unquoted values still counted
    };
    for (const auto& c : cases) {
        const kzXmlShape shape = kzMeasureXml(c.text);
        EXPECT_EQ(c.elements, shape.elements) << c.text;
        EXPECT_EQ(c.mostAttributes, shape.mostAttributes) << c.text;
    }
}

TEST(XmlDepth, DeepDocumentsAreMeasuredWithoutRecursion)
{
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += "<a>";
    EXPECT_EQ(200000u, kzXmlElementDepth(text));
}

}  // namespace
