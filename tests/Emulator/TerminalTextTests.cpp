// Text extraction: the text between two positions, row text, a buffer as encoded bytes.
#include "TerminalHarness.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

std::string bytesOf(const std::optional<std::vector<uint8_t>>& data) {
    return data ? std::string(data->begin(), data->end()) : std::string("<none>");
}

} // namespace

TEST(TerminalText, GetText) {
    struct Case {
        const char* name;
        std::string feed;
        Position start, end;
        std::string expected;
    };
    // A 10 x 5 screen; positions are (column, row).
    const Case cases[] = {
        {"end column is exclusive", "hello", {0, 0}, {3, 0}, "hel"},
        {"positions in either order", "0123456789", {5, 0}, {2, 0}, "234"},
        {"equal positions", "hello", {2, 0}, {2, 0}, ""},
        {"trailing empty cells are dropped", "ab", {0, 0}, {10, 0}, "ab"},
        {"spaces the host wrote stay", "ab   ", {0, 0}, {10, 0}, "ab   "},
        {"an empty cell inside the text is a space", "a\tb", {0, 0}, {10, 0}, "a       b"},
        {"a column left of the row reads from its start", "hello", {-5, 0}, {3, 0}, "hel"},
        {"a blank row is an empty line", "one\r\n\r\ntwo", {0, 0}, {3, 2}, "one\n\ntwo"},
        {"two blank rows are two empty lines", "one\r\n\r\n\r\ntwo", {0, 0}, {3, 3}, "one\n\n\ntwo"},
        {"trailing blank rows vanish", "one\r\n\r\n\r\n", {0, 0}, {3, 2}, "one"},
        {"a blank first row still breaks before the next line", "\r\ntwo", {0, 0}, {3, 1}, "\ntwo"},
        {"a wrapped row joins without a break", "abcdefghijKLM", {0, 0}, {10, 1}, "abcdefghijKLM"},
        {"a wrapped row from the middle", "abcdefghijKLM\r\nx", {8, 0}, {1, 2}, "ijKLM\nx"},
        {"an end at column 0 adds only the break", "one\r\ntwo", {0, 0}, {0, 1}, "one\n"},
        {"partial rows at both ends", "first\r\nsecond", {2, 0}, {3, 1}, "rst\nsec"},
        {"an end row beyond the buffer is the last row",
         "a\r\nb\r\nc\r\nd\r\nefgh",
         {0, 0},
         {2, 1000},
         "a\nb\nc\nd\nef"},
        {"a start row at the line count", "hello", {0, 5}, {3, 6}, ""},
        {"a negative start row", "hello", {0, -1}, {3, 0}, ""},
        {"a wide character is one character", "\xE4\xB8\xADx", {0, 0}, {3, 0}, "\xE4\xB8\xADx"},
        {"a start on the right half of a wide character", "\xE4\xB8\xADx", {1, 0}, {3, 0}, "x"},
        {"a combined character", "e\xCC\x81x", {0, 0}, {2, 0}, "e\xCC\x81x"},
        {"an emoji grapheme",
         "a\xF0\x9F\x91\x8D"
         "b",
         {0, 0},
         {4, 0},
         "a\xF0\x9F\x91\x8D"
         "b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 5);
        h.feed(c.feed);
        EXPECT_EQ(h.terminal().getText(c.start, c.end), c.expected);
        EXPECT_EQ(h.terminal().getDisplayText(c.start, c.end), c.expected);
    }
}

TEST(TerminalText, SelectedLinesAreFragments) {
    TerminalHarness h(10, 5);
    h.feed("one\r\n\r\ntwo");
    Terminal& t = h.terminal();
    std::vector<std::string> lines;
    for (const Line& line : t._getSelectedLines({0, 0}, {3, 2}, t.buffer()))
        lines.push_back(line.debugDescription());
    EXPECT_EQ(lines, (std::vector<std::string>{"2/4: [one][\\n]", "2/1: [][\\n]", "1/3: [two]"}));

    // Lengths count characters: the wide character and the combined one are one each.
    h.feed("\r\n\xE4\xB8\xAD"
           "e\xCC\x81");
    const auto wide = t._getSelectedLines({0, 3}, {4, 3}, t.buffer());
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(wide[0].length, 2);
    EXPECT_EQ(wide[0].fragments[0].line, 3);
}

TEST(TerminalText, RowText) {
    TerminalHarness h(10, 3);
    h.feed("ab\xE4\xB8\xAD"
           "c");
    Terminal& t = h.terminal();
    const Buffer& b = t.buffer();
    EXPECT_EQ(t.translateBufferLineToString(b, 0, 0, -1), "ab\xE4\xB8\xAD"
                                                          "c");
    EXPECT_EQ(t.translateBufferLineToString(b, 0, 1, 3), "b\xE4\xB8\xAD");
    EXPECT_EQ(t.translateBufferLineToString(b, 0, 3, -1), "c");
    EXPECT_EQ(t.translateBufferLineToString(b, 0, 4, 2), "");
    EXPECT_EQ(t.translateBufferLineToString(b, 1, 0, -1), "");
    EXPECT_EQ(t.translateBufferLineToString(b, 7, 0, -1), "");
    EXPECT_EQ(t.translateBufferLineToString(b, -1, 0, -1), "");
}

TEST(TerminalText, DisplayTextReadsTheSnapshot) {
    TerminalHarness h(10, 3);
    h.feed("live");
    Terminal& t = h.terminal();
    auto snapshot = std::make_unique<Buffer>(10, 3, 8, 100);
    snapshot->fillViewportRows();
    for (int c = 0; c < 4; ++c)
        snapshot->lines()[0]->set(c, CharData(Attribute::defaultAttribute(), int32_t("snap"[c]), 1));
    t.synchronizedOutputBuffer = std::move(snapshot);
    EXPECT_EQ(t.getDisplayText({0, 0}, {10, 0}), "snap");
    EXPECT_EQ(t.getText({0, 0}, {10, 0}), "live");
}

TEST(TerminalText, BufferAsData) {
    struct Case {
        const char* name;
        std::string feed;
        std::string encoding;
        std::string expected;
    };
    const Case cases[] = {
        {"each row ends with a line feed", "ab\r\n\r\ncd", "UTF-8", "ab\n\ncd\n\n"},
        {"utf-8 of a wide character: its right half is U+0000", "\xE4\xB8\xAD", "utf8",
         std::string("\xE4\xB8\xAD\0\n\n\n\n", 8)},
        {"graphemes read as spaces", "e\xCC\x81", "UTF-8", " \n\n\n\n"},
        {"latin-1 maps what it can", "\xC3\xA9t\xC3\xA9", "ISO-8859-1", "\xE9t\xE9\n\n\n\n"},
        {"a row that latin-1 cannot hold is left out", "ok\r\n\xE4\xB8\xAD\r\nok", "ISO-8859-1",
         "ok\nok\n\n"},
        {"ascii leaves out what is not ascii", "caf\xC3\xA9\r\nplain", "US-ASCII", "plain\n\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 4);
        h.feed(c.feed);
        EXPECT_EQ(bytesOf(h.terminal().getBufferAsData(Terminal::BufferKind::active, c.encoding)),
                  c.expected);
    }

    TerminalHarness h(10, 2);
    h.feed("main");
    Terminal& t = h.terminal();
    // The alternate buffer holds no lines until it is first shown.
    EXPECT_EQ(bytesOf(t.getBufferAsData(Terminal::BufferKind::alt)), "");
    t.activateAltBuffer(std::nullopt);
    h.feed("\ralt");
    EXPECT_EQ(&t.bufferFromKind(Terminal::BufferKind::active), &t.buffer());
    EXPECT_EQ(&t.bufferFromKind(Terminal::BufferKind::normal), &t.normalBuffer());
    EXPECT_EQ(&t.bufferFromKind(Terminal::BufferKind::alt), &t.altBuffer());
    EXPECT_EQ(bytesOf(t.getBufferAsData(Terminal::BufferKind::normal)), "main\n\n");
    EXPECT_EQ(bytesOf(t.getBufferAsData(Terminal::BufferKind::alt)), "alt\n\n");
    EXPECT_EQ(bytesOf(t.getBufferAsData(Terminal::BufferKind::active)), "alt\n\n");
    EXPECT_EQ(bytesOf(t.getBufferAsData(Terminal::BufferKind::active, "no-such-encoding")), "<none>");
}
