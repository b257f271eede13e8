// The nesting scan that guards the XML parser against deep documents.

#include <string>

#include <gtest/gtest.h>

#include "config/xml_depth.h"

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

TEST(XmlDepth, DeepDocumentsAreMeasuredWithoutRecursion)
{
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += "<a>";
    EXPECT_EQ(200000u, kzXmlElementDepth(text));
}

}  // namespace
