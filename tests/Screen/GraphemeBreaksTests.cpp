// Characters (extended grapheme clusters) of UTF-8 text.
#include "GraphemeBreaks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Tessaline;

TEST(GraphemeBreaks, CountsCharacters) {
    struct Case {
        const char* name;
        std::string text;
        int64_t expected;
    };
    const Case cases[] = {
        {"empty", "", 0},
        {"ascii", "abc", 3},
        {"CR LF is one character", "a\r\nb", 3},
        {"a CR past the first eight bytes", "0123456789\r\nabc", 14},
        {"a long ASCII run", "the quick brown fox jumps", 25},
        {"a character of two bytes past the first eight", "abcdefgh\xC3\xA9", 9},
        {"a letter and its mark", "e\xCC\x81x", 2},
        {"a flag", "\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA", 1},
        {"wide characters", "\xE4\xB8\xAD\xE6\x96\x87", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GraphemeBreaks::count(c.text), c.expected);
        EXPECT_EQ(GraphemeBreaks::isSimple(c.text),
                  int64_t(c.text.size()) == c.expected && c.text.find('\r') == std::string::npos);
        std::vector<int32_t> starts;
        GraphemeBreaks::starts(c.text, starts);
        EXPECT_EQ(int64_t(starts.size()) - 1, c.expected);
        EXPECT_EQ(starts.back(), int32_t(c.text.size()));
    }
}
