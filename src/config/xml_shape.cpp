#include "config/xml_shape.h"

#include <algorithm>

namespace {

constexpr std::string_view::size_type npos = std::string_view::npos;

// Index just past `terminator` at or after `from`, or the end of the text.
size_t skipPast(std::string_view text, size_t from, std::string_view terminator)
{
    const size_t at = text.find(terminator, from);
    return at == npos ? text.size() : at + terminator.size();
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Scans a start tag from just after its '<'. Returns the index past its '>',
// whether it closes itself ("/>") and how many attributes it has (one per
// '=' outside quotes). A quote opens a value only right after '=' (and
// blanks), as in the parser, which rejects stray quotes.
size_t scanStartTag(std::string_view text, size_t at, bool& selfClosing, size_t& attributes)
{
    bool afterEquals = false;
    char last = '\0';
    attributes = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c == '>') {
            selfClosing = last == '/';
            return at + 1;
        }
        if (afterEquals && (c == '"' || c == '\'')) {
            at = skipPast(text, at + 1, std::string_view(&c, 1));
            afterEquals = false;
            last = c;
            continue;
        }
        if (c == '=') {
            afterEquals = true;
            ++attributes;
        } else if (!isSpace(c)) {
            afterEquals = false;
        }
        last = c;
        ++at;
    }
    selfClosing = false;
    return at;
}

}  // namespace

kzXmlShape kzMeasureXml(std::string_view text)
{
    kzXmlShape shape;
    size_t depth = 0;
    size_t at = 0;
    while ((at = text.find('<', at)) != npos) {
        const std::string_view rest = text.substr(at);
        if (rest.substr(0, 4) == "<!--") {
            at = skipPast(text, at + 4, "-->");
        } else if (rest.substr(0, 9) == "<![CDATA[") {
            at = skipPast(text, at + 9, "]]>");
        } else if (rest.substr(0, 2) == "<!" || rest.substr(0, 2) == "<?") {
            // Ends at the first '>': skipping less than the parser only adds tags.
            at = skipPast(text, at + 2, ">");
        } else if (rest.substr(0, 2) == "</") {
            depth -= depth > 0 ? 1 : 0;
            at = skipPast(text, at + 2, ">");
        } else {
            bool selfClosing = false;
            size_t attributes = 0;
            at = scanStartTag(text, at + 1, selfClosing, attributes);
            ++shape.elements;
            shape.mostAttributes = std::max(shape.mostAttributes, attributes);
            if (!selfClosing)
                shape.depth = std::max(shape.depth, ++depth);
        }
    }
    return shape;
}

size_t kzXmlElementDepth(std::string_view text)
{
    return kzMeasureXml(text).depth;
}
