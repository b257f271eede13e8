// A pre-parse scan of XML text for the deepest nesting of elements, so that
// a hostile document cannot drive the recursive parser into the stack limit.
#pragma once

#include <cstddef>
#include <string_view>

// Greatest number of elements open at once. Comments, CDATA sections,
// declarations and quoted attribute values are skipped as the parser skips
// them; on malformed text the count errs on the high side.
size_t kzXmlElementDepth(std::string_view text);
