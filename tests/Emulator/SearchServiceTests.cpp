// Find in scroll-back: next and previous with wrap-around, wrapped rows, wide characters, case, whole
// words, regular expressions, the line cache.
#include "ManualExecutor.h"
#include "SearchService.h"
#include "TerminalHarness.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

// "none", or "term col,row size".
std::string describe(const std::optional<SearchResult>& r) {
    if (!r) return "none";
    return r->term + " " + std::to_string(r->col) + "," + std::to_string(r->row) + " " +
           std::to_string(r->size);
}

std::string describe(const std::optional<SearchSelection>& s) {
    if (!s) return "none";
    return s->start.debugDescription() + " - " + s->end.debugDescription();
}

// Fourteen rows of "row N"; rows 3 and 10 hold the needle.
std::string fourteenRows() {
    std::string text;
    for (int row = 0; row < 14; ++row) {
        if (row > 0) text += "\r\n";
        text += "row " + std::to_string(row) + (row == 3 || row == 10 ? " needle" : "");
    }
    return text;
}

const SearchOptions plain;
const SearchOptions regex(false, true, false);
const SearchOptions wholeWord(false, false, true);
const SearchOptions caseSensitive(true, false, false);

} // namespace

TEST(SearchService, NextAndPreviousWrapAround) {
    TerminalHarness h(20, 5);
    h.feed(fourteenRows());
    SearchService s(h.terminal());
    std::vector<std::string> found;
    for (int i = 0; i < 3; ++i)
        found.push_back(describe(s.findNext("needle", plain)));
    EXPECT_EQ(found, (std::vector<std::string>{"needle 6,3 6", "needle 7,10 6", "needle 6,3 6"}));
    EXPECT_EQ(describe(s.lastSelection), "col=6 row=3 - col=12 row=3");

    s.reset();
    found.clear();
    for (int i = 0; i < 3; ++i)
        found.push_back(describe(s.findPrevious("needle", plain)));
    EXPECT_EQ(found, (std::vector<std::string>{"needle 7,10 6", "needle 6,3 6", "needle 7,10 6"}));

    // A new term starts at the selection's start, so the selected text itself can match.
    s.lastSelection = SearchSelection{{6, 3}, {12, 3}};
    EXPECT_EQ(describe(s.findNext("needle", plain)), "needle 7,10 6");
    s.lastSelection = SearchSelection{{6, 3}, {12, 3}};
    EXPECT_EQ(describe(s.findNext("need", plain)), "need 6,3 4");
    s.lastSelection = SearchSelection{{6, 3}, {12, 3}};
    EXPECT_EQ(describe(s.findPrevious("eedl", plain)), "eedl 7,3 4");
}

TEST(SearchService, Matches) {
    struct Case {
        const char* name;
        std::string feed;
        std::string term;
        SearchOptions options;
        std::string next;     // findNext without a selection
        std::string previous; // findPrevious without a selection
        int cols = 10;
    };
    const Case cases[] = {
        // Columns 8 and 9 of row 2, then row 3, which continues it.
        {"a match over a wrapped row", "a\r\nb\r\n01234567HELLO", "hello", plain, "hello 8,2 5",
         "hello 8,2 5"},
        {"a match ending on a row's last column", "0123456789\r\n", "56789", plain, "56789 5,0 5",
         "56789 5,0 5"},
        {"wide characters move the column by 2",
         "\xE4\xB8\xAD\xE6\x96\x87"
         "ab x",
         "x", plain, "x 7,0 1", "x 7,0 1"},
        {"a wide character that did not fit", "123456789\xE4\xB8\xADx", "9\xE4\xB8\xAD", plain,
         "9\xE4\xB8\xAD 8,0 4", "9\xE4\xB8\xAD 8,0 4"},
        {"a wide character at the start of a continuation row", "123456789\xE4\xB8\xADx", "\xE4\xB8\xADx",
         plain, "\xE4\xB8\xADx 0,1 3", "\xE4\xB8\xADx 0,1 3"},
        {"case-insensitive by default", "a NeedLe", "nEEDle", plain, "nEEDle 2,0 6", "nEEDle 2,0 6", 20},
        {"case-sensitive", "a NeedLe", "needle", caseSensitive, "none", "none", 20},
        {"canonically equivalent forms match", "caf\xC3\xA9!", "cafe\xCC\x81", plain, "cafe\xCC\x81 0,0 4",
         "cafe\xCC\x81 0,0 4"},
        {"case folding beyond ASCII", "\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89", plain,
         "\xC3\xA9T\xC3\x89 0,0 3", "\xC3\xA9T\xC3\x89 0,0 3"},
        {"a term inside a combined character is no match", "e\xCC\x81", "e", caseSensitive, "none", "none"},
        {"whole word after a rejected occurrence", "concatenate cat", "cat", wholeWord, "cat 12,0 3",
         "cat 12,0 3", 20},
        {"whole word on the row that continues a rejected occurrence", "concatenate cat", "cat", wholeWord,
         "cat 2,1 3", "cat 2,1 3"},
        {"whole word before a rejected occurrence", "cat concatenate", "cat", wholeWord, "cat 0,0 3",
         "cat 0,0 3", 20},
        {"whole word: underscore and letters join words", "cat_ cats xcat", "cat", wholeWord, "none", "none",
         20},
        {"whole word: full stop, space and the end end words", "(cat.", "cat", wholeWord, "cat 1,0 3",
         "cat 1,0 3", 20},
        {"a regular expression gives the matched text", "id=4711;", "[0-9]+", regex, "4711 3,0 4",
         "4711 3,0 4", 20},
        {"a regular expression over a wrapped row", "a\r\nb\r\n01234567HELLO", "HEL+O", regex, "HELLO 8,2 5",
         "HELLO 8,2 5"},
        {"a regular expression is case-insensitive by default", "say HELLO", "hel+o", regex, "HELLO 4,0 5",
         "HELLO 4,0 5", 20},
        {"an empty match is passed over", "abc xx", "x*", regex, "xx 4,0 2", "xx 4,0 2", 20},
        {"anchors see the whole line", "ab ab", "^ab", regex, "ab 0,0 2", "ab 0,0 2", 20},
        {"an unbalanced parenthesis finds nothing", "(abc", "(abc", regex, "none", "none", 20},
        {"a term that is not UTF-8 finds nothing, not part of a character", "\xC2\xA2 \xEF\xBF\xBD", "\xC2",
         plain, "none", "none", 20},
        {"nor does it as a regular expression", "\xC2\xA2", "\xC2", regex, "none", "none", 20},
        {"whole-word regular expression", "cats cat", "c[a-z]+", SearchOptions(false, true, true),
         "cats 0,0 4", "cat 5,0 3", 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(c.cols, 5);
        h.feed(c.feed);
        SearchService next(h.terminal());
        EXPECT_EQ(describe(next.findNext(c.term, c.options)), c.next);
        SearchService previous(h.terminal());
        EXPECT_EQ(describe(previous.findPrevious(c.term, c.options)), c.previous);
    }
}

TEST(SearchService, SelectionAfterAMatch) {
    // The selection's end runs along the joined rows: a match from (8, 2) of five cells ends at (3, 3).
    TerminalHarness h(10, 5);
    h.feed("a\r\nb\r\n01234567HELLO");
    SearchService s(h.terminal());
    EXPECT_EQ(describe(s.findNext("hello", plain)), "hello 8,2 5");
    EXPECT_EQ(describe(s.lastSelection), "col=8 row=2 - col=3 row=3");
    EXPECT_EQ(s.state.cachedSearchTerm, "hello");
    EXPECT_EQ(s.state.lastSearchOptions, plain);
    // The only match is found again from behind itself.
    EXPECT_EQ(describe(s.findNext("hello", plain)), "hello 8,2 5");
    EXPECT_EQ(describe(s.findPrevious("hello", plain)), "hello 8,2 5");
}

TEST(SearchService, RepeatedRegexAnchorsAtTheLineStart) {
    // After the match at the start, the next search starts inside the line: "^" does not match there.
    TerminalHarness h(20, 3);
    h.feed("abab");
    SearchService s(h.terminal());
    EXPECT_EQ(describe(s.findNext("^ab", regex)), "ab 0,0 2");
    EXPECT_EQ(describe(s.findNext("^ab", regex)), "ab 0,0 2");
    EXPECT_EQ(describe(s.findNext("ab$", regex)), "ab 2,0 2");
    EXPECT_EQ(describe(s.findPrevious("ab$", regex)), "ab 2,0 2");
}

TEST(SearchService, EmptyTermClearsTheState) {
    TerminalHarness h(20, 5);
    h.feed(fourteenRows());
    SearchService s(h.terminal());
    ASSERT_TRUE(s.findNext("needle", plain));
    EXPECT_EQ(describe(s.findNext("", plain)), "none");
    EXPECT_EQ(describe(s.findPrevious("", plain)), "none");
    EXPECT_FALSE(s.lastSelection);
    EXPECT_FALSE(s.lastResult);
    EXPECT_FALSE(s.state.cachedSearchTerm);
    EXPECT_FALSE(s.state.lastSearchOptions);

    // Nothing found: the selection is gone, the term stays.
    EXPECT_EQ(describe(s.findNext("absent", plain)), "none");
    EXPECT_FALSE(s.lastSelection);
    EXPECT_EQ(s.state.cachedSearchTerm, "absent");
    // invalidate keeps the term, reset forgets it.
    ASSERT_TRUE(s.findNext("needle", plain));
    s.invalidate();
    EXPECT_FALSE(s.lastSelection);
    EXPECT_FALSE(s.lastResult);
    EXPECT_FALSE(s.lineCache.linesCache);
    EXPECT_EQ(s.state.cachedSearchTerm, "needle");
    s.reset();
    EXPECT_FALSE(s.state.cachedSearchTerm);
    EXPECT_FALSE(s.state.lastSearchOptions);
}

TEST(SearchService, TimedOutRegexFindsNothing) {
    // Row 0 makes the pattern backtrack without end; row 1 would match it.
    TerminalHarness h(80, 3);
    h.feed(std::string(40, 'a') + "b\r\naaa");
    SearchService s(h.terminal());
    EXPECT_EQ(describe(s.findNext("(a+)+$", regex)), "none");
    EXPECT_EQ(describe(s.findNext("(a)+$", regex)), "aaa 0,1 3");
    TerminalHarness alone(80, 3);
    alone.feed("aaa");
    EXPECT_EQ(describe(SearchService(alone.terminal()).findNext("(a+)+$", regex)), "aaa 0,0 3");
}

TEST(SearchService, LineCache) {
    TerminalHarness h(10, 4);
    ManualExecutor clock;
    h.terminal().executor = &clock;
    h.feed("abcdefghijKL\r\nold");
    SearchService s(h.terminal());
    ASSERT_EQ(describe(s.findNext("old", plain)), "old 0,2 3");
    // Entries only for rows that start a logical line; row 1 continues row 0.
    ASSERT_EQ(s.lineCache.linesCache->size(), 4u);
    const auto* first = s.lineCache.lineFromCache(0);
    ASSERT_TRUE(first && s.lineCache.lineFromCache(2));
    EXPECT_FALSE(s.lineCache.lineFromCache(1));
    EXPECT_EQ(first->lineAsString, "abcdefghijKL");
    EXPECT_EQ(std::vector<int32_t>(first->lineOffsets.begin(), first->lineOffsets.end()),
              (std::vector<int32_t>{0, 10}));

    // Output the view did not report: within 15 seconds the strings are kept.
    h.feed("\rnew");
    EXPECT_EQ(describe(s.findNext("new", plain)), "none");
    clock.advanceClock(std::chrono::seconds(14));
    EXPECT_EQ(describe(s.findNext("new", plain)), "none");
    clock.advanceClock(std::chrono::seconds(15));
    EXPECT_EQ(describe(s.findNext("new", plain)), "new 0,2 3");
    // invalidate() drops them at once; so does a change of the line count.
    h.feed("\rold");
    s.invalidate();
    EXPECT_EQ(describe(s.findNext("old", plain)), "old 0,2 3");
    h.feed("\r\n\r\nmore");
    EXPECT_EQ(describe(s.findNext("more", plain)), "more 0,4 4");
    EXPECT_EQ(s.lineCache.linesCache->size(), 5u);

    EXPECT_EQ(s.lineCache.translateBufferLineToStringWithWrap(0, false).lineAsString, "abcdefghijKL        ");
    EXPECT_EQ(s.lineCache.translateBufferLineToStringWithWrap(9, true).lineOffsets, std::vector<int32_t>{0});
    h.terminal().executor = nullptr;
}

TEST(SearchService, ContinuationWhoseStartScrolledAway) {
    // Ten columns, two rows and one row of scroll-back: the first row of the wrapped line drops out.
    TerminalHarness h(10, 2, 1);
    h.feed("aaaaaaaaaabbbbbbbbbbccccccccccddd");
    ASSERT_TRUE(h.buffer().lines()[0]->isWrapped);
    SearchService s(h.terminal());
    EXPECT_EQ(describe(s.findNext("bc", plain)), "bc 9,0 2");
    SearchService back(h.terminal());
    EXPECT_EQ(describe(back.findPrevious("bc", plain)), "bc 9,0 2");
}

TEST(SearchService, ColumnsAndOffsets) {
    TerminalHarness h(10, 3);
    h.feed("\xE4\xB8\xAD"
           "a\xE6\x96\x87"
           "bcdefg\r\nxy");
    SearchService s(h.terminal());
    // Row 0 is 中 a 文 b c d e f and continues on row 1 with g.
    EXPECT_EQ(s.engine.bufferColsToStringOffset(0, 3), 2);
    EXPECT_EQ(s.engine.bufferColsToStringOffset(0, 10), 8);
    // Past the row the count goes on in the row that continues it; empty cells count.
    EXPECT_EQ(s.engine.bufferColsToStringOffset(0, 12), 10);
    EXPECT_EQ(s.engine.bufferColsToStringOffset(2, 40), 10);
    EXPECT_EQ(s.engine.stringLengthToBufferSize(0, 2), 3);
    EXPECT_EQ(s.engine.stringLengthToBufferSize(0, 3), 5);
    EXPECT_EQ(s.engine.stringLengthToBufferSize(0, 0), 0);
    EXPECT_EQ(s.engine.stringLengthToBufferSize(0, -2), -2);
    EXPECT_EQ(s.engine.stringLengthToBufferSize(7, 3), 0);
}
