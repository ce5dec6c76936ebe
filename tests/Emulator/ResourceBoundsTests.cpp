// What one hostile request can make the engine do or hold: huge parameters and counts, a string of
// 100 MiB, a million distinct characters, pushes without end. Each must finish quickly and leave the
// engine's own stores within their bounds (their sizes are read directly: process memory says little
// under a sanitizer). The time limit below is a guard against work that grows with a count, far above
// what any of these takes; speed itself is measured in the benchmarks.
#include "TerminalHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

constexpr auto timeLimit = std::chrono::seconds(60);

// The screen is whole: cursor, display origin and rows inside their bounds.
void expectWholeScreen(Terminal& t) {
    const Buffer& b = t.buffer();
    EXPECT_GE(b.x(), 0);
    EXPECT_LE(b.x(), t.cols());
    EXPECT_GE(b.y(), 0);
    EXPECT_LT(b.y(), t.rows());
    EXPECT_EQ(b.yBase() + t.rows(), b.lines().count());
    EXPECT_LE(b.lines().count(), b.lines().maxLength());
    EXPECT_LE(b.yDisp(), b.yBase());
    for (int row = 0; row < t.rows(); ++row)
        EXPECT_GE(t.getLine(row)->count(), t.cols());
}

// Feeds the bytes and answers how long that took.
std::chrono::steady_clock::duration timedFeed(TerminalHarness& h, std::string_view bytes) {
    const auto start = std::chrono::steady_clock::now();
    h.feed(bytes);
    return std::chrono::steady_clock::now() - start;
}

const std::string huge = "2147483647";
const std::string hugest = "9223372036854775807";

} // namespace

TEST(ResourceBounds, HugeParametersAndCounts) {
    struct Case {
        const char* name;
        std::string input;
        std::string expected;
    };
    const Case cases[] = {
        {"a parameter of a hundred thousand digits", "ab\x1b[" + std::string(100000, '9') + "@", "ab"},
        {"huge cursor moves stop at the edges", "\x1b[" + hugest + ";" + hugest + "Hx\x1b[" + huge + "Dy", ""},
        {"REP", "a\x1b[" + huge + "b", ""},
        {"REP of a wide character", "\xe4\xb8\x80\x1b[" + huge + "b", ""},
        {"IL", "a\r\nb\x1b[H\x1b[" + huge + "L", ""},
        {"DL", "a\r\nb\x1b[H\x1b[" + huge + "M", ""},
        {"SU", "a\r\nb\x1b[" + huge + "S", ""},
        {"SD", "a\r\nb\x1b[" + huge + "T", ""},
        {"ICH, DCH, ECH", "abcdef\x1b[3G\x1b[" + huge + "@x\x1b[" + huge + "P\x1b[1G\x1b[" + huge + "X", ""},
        {"tab stops forward and back", "\x1b[" + huge + "I\x1b[" + huge + "Z!", "!"},
        {"DECIC and DECDC", "abc\x1b[2G\x1b[" + huge + "'}\x1b[" + huge + "'~", ""},
        {"rectangles past the screen",
         "abc\x1b[1;1;" + huge + ";" + huge + ";" + huge + ";" + huge + ";1;1$v\x1b[88;1;1;" + huge + ";" + huge +
             "$x\x1b[1;1;" + hugest + ";" + hugest + "$z",
         ""},
        {"regions and margins past the screen", "\x1b[" + huge + ";" + hugest + "r\x1b[?69h\x1b[2;" + huge + "s", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(80, 24, 100);
        EXPECT_LT(timedFeed(h, c.input), timeLimit);
        if (!c.expected.empty()) {
            EXPECT_EQ(h.dump().substr(0, c.expected.size()), c.expected);
        }
        expectWholeScreen(h.terminal());
        EXPECT_LE(h.buffer().yBase(), 100) << "the scroll-back holds what it may, however many rows moved";
    }
}

TEST(ResourceBounds, HundredMebibyteStrings) {
    struct Case {
        const char* name;
        std::string open;
        std::string close;
    };
    const Case cases[] = {
        {"OSC title", "\x1b]0;", "\x07"},
        {"OSC clipboard", "\x1b]52;c;", "\x1b\\"},
        {"APC Kitty graphics", "\x1b_Ga=T,f=100;", "\x1b\\"},
        {"DCS Sixel", "\x1bPq", "\x1b\\"},
    };
    const std::string mebibyte(size_t(1) << 20, 'A');
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(80, 24, 100);
        Terminal& t = h.terminal();
        const size_t limit = t.parser().maxStringLength;
        auto duration = timedFeed(h, c.open);
        size_t held = 0;
        for (int i = 0; i < 100; ++i) {
            duration += timedFeed(h, mebibyte);
            held = std::max({held, t.parser().osc().size(), t.parser().apc().size()});
        }
        duration += timedFeed(h, c.close);
        EXPECT_LT(duration, timeLimit);
        EXPECT_LE(held, limit);
        EXPECT_TRUE(t.parser().osc().empty());
        EXPECT_TRUE(t.parser().apc().empty());
        EXPECT_TRUE(t.kittyGraphicsState.imagesById.empty());
        EXPECT_EQ(t.kittyGraphicsState.pendingHeldBytes(), 0u);
        EXPECT_EQ(t.terminalTitle, "");
        h.log();
        h.feed("\x1b]0;after\x07ok");
        EXPECT_EQ(t.terminalTitle, "after") << "the parser is back in ground";
        EXPECT_EQ(h.dump(), "ok");
    }
}

// Every cluster a letter with five of sixteen combining marks: 16^5 distinct characters.
TEST(ResourceBounds, MillionDistinctGraphemes) {
    TerminalHarness h(80, 24, 100);
    Terminal& t = h.terminal();
    std::string chunk;
    auto duration = std::chrono::steady_clock::duration::zero();
    for (uint32_t i = 0; i < (1u << 20); ++i) {
        chunk += 'a';
        for (int k = 0; k < 5; ++k) {
            const uint32_t mark = 0x300 + ((i >> (4 * k)) & 15);
            chunk += char(0xC0 | (mark >> 6));
            chunk += char(0x80 | (mark & 0x3F));
        }
        if (chunk.size() > 60000) {
            duration += timedFeed(h, chunk);
            chunk.clear();
        }
    }
    duration += timedFeed(h, chunk);
    EXPECT_LT(duration, timeLimit);
    EXPECT_LE(t.graphemes().count(), GraphemeTable::maxCount) << "the table stays within its bound";
    const BufferLine& line = *t.getLine(t.buffer().y());
    EXPECT_NE(line[t.buffer().x() - 1].code, 0xFFFD) << "codes nothing shows any more are handed out again";
    expectWholeScreen(t);
}

TEST(ResourceBounds, PushesWithoutEnd) {
    TerminalHarness h(80, 24, 100);
    Terminal& t = h.terminal();
    std::string pushes;
    for (int i = 0; i < 100000; ++i)
        pushes += "\x1b]0;t" + std::to_string(i) + "\x07\x1b[22;0t\x1b[>1u\x1b[?1049h\x1b[?1049l\x1b" "7";
    EXPECT_LT(timedFeed(h, pushes), timeLimit);
    EXPECT_EQ(t.terminalTitleStack.size(), Terminal::titleStackLimit);
    EXPECT_EQ(t.terminalIconStack.size(), Terminal::titleStackLimit);
    EXPECT_EQ(t.terminalTitleStack.back(), "t99999") << "a full stack drops its oldest entry";
    EXPECT_EQ(t.keyboardModeNormal().stack.size(), 16u);

    std::string pops;
    for (int i = 0; i < 100000; ++i)
        pops += "\x1b[23;0t\x1b[<1u\x1b" "8";
    EXPECT_LT(timedFeed(h, pops), timeLimit);
    EXPECT_TRUE(t.terminalTitleStack.empty());
    EXPECT_TRUE(t.keyboardModeNormal().stack.empty());
    expectWholeScreen(t);
}
