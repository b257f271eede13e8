// Text for the XML documents the MPCDI conversion writes.
#pragma once

#include <cstdio>
#include <string>

namespace xml_text {

// A number that reads back to the same float (nine significant digits).
inline std::string number(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

// Text with the five XML special characters as entities, for attribute values and element text.
inline std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

}  // namespace xml_text
