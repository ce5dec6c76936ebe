#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace Tessaline {

// Characters (extended grapheme clusters) of UTF-8 text, for the readers that count text in characters:
// text extraction, find. Most rows are ASCII, where every byte is a character; only other text reaches
// the break iterator.
struct GraphemeBreaks {
    GraphemeBreaks() = delete;

    // True when every byte is a character of its own: ASCII without CR (CR LF is one character).
    static bool isSimple(std::string_view text);
    // The number of characters.
    static int64_t count(std::string_view text);
    // The byte offset at which each character starts, then the text's size; replaces out.
    static void starts(std::string_view text, std::vector<int32_t>& out);
};

} // namespace Tessaline
