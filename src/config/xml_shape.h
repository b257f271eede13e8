// A pre-parse scan of XML text for how deep, how many and how wide its
// elements are, so that a document far outside the configuration grammar is
// refused in one linear pass before the parser and the loader see it.
#pragma once

#include <cstddef>
#include <string_view>

struct kzXmlShape {
    size_t depth = 0;           // greatest number of elements open at once
    size_t elements = 0;        // start tags
    size_t mostAttributes = 0;  // attributes of the widest start tag
};

// Comments, CDATA sections, declarations and quoted attribute values are
// skipped as the parser skips them; on malformed text the counts err on the
// high side.
kzXmlShape kzMeasureXml(std::string_view text);

// kzMeasureXml(text).depth.
size_t kzXmlElementDepth(std::string_view text);
