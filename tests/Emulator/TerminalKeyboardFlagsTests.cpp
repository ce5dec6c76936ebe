// Kitty keyboard flags: query, push, pop and set on each screen, the stack bound and CSI u's other forms.
#include "TerminalHarness.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

std::string query(TerminalHarness& h) {
    h.replies();
    h.feed("\x1b[?u");
    return h.replies();
}

} // namespace

TEST(TerminalKeyboardFlags, Requests) {
    struct Case {
        const char* name;
        std::string input;
        int flags;
        size_t stackSize;
    };
    const std::vector<Case> cases = {
        {"new terminal", "", 0, 0},
        {"push", "\x1b[>1u", 1, 1},
        {"push without a value", "\x1b[>1u\x1b[>u", 0, 2},
        {"push then pop", "\x1b[>1u\x1b[<u", 0, 0},
        {"pop 0 pops one", "\x1b[>1u\x1b[>2u\x1b[<0u", 1, 1},
        {"push cuts unknown bits", "\x1b[>255u", 31, 1},
        {"pop two", "\x1b[>1u\x1b[>2u\x1b[>4u\x1b[<2u", 1, 1},
        {"pop past the stack", "\x1b[>1u\x1b[>2u\x1b[<3u", 0, 0},
        {"pop on an empty stack", "\x1b[=5u\x1b[<u", 0, 0},
        {"set", "\x1b[=5u", 5, 0},
        {"set cuts unknown bits", "\x1b[=37u", 5, 0},
        {"set explicitly", "\x1b[=5;1u", 5, 0},
        {"remove bits", "\x1b[=5u\x1b[=1;3u", 4, 0},
        {"add bits", "\x1b[=5u\x1b[=1;3u\x1b[=2;2u", 6, 0},
        {"unknown way changes nothing", "\x1b[=6u\x1b[=1;4u", 6, 0},
        {"empty way changes nothing", "\x1b[=6u\x1b[=1;u", 6, 0},
        {"push keeps the set flags", "\x1b[=3u\x1b[>8u\x1b[<u", 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        h.feed(c.input);
        EXPECT_EQ(query(h), "\x1b[?" + std::to_string(c.flags) + "u");
        EXPECT_EQ(h.terminal().keyboardEnhancementFlags().rawValue, c.flags);
        EXPECT_EQ(h.terminal().keyboardModeNormal().stack.size(), c.stackSize);
    }
}

TEST(TerminalKeyboardFlags, SeventeenPushesAndPops) {
    TerminalHarness h;
    const Terminal& t = h.terminal();
    for (int i = 1; i <= 17; ++i)
        h.feed("\x1b[>" + std::to_string(i) + "u");
    EXPECT_EQ(t.keyboardModeNormal().stack.size(), 16u) << "the oldest entry (0) was dropped";
    EXPECT_EQ(t.keyboardModeNormal().stack.front().rawValue, 1);
    EXPECT_EQ(t.keyboardEnhancementFlags().rawValue, 17);
    for (int i = 16; i >= 1; --i) {
        h.feed("\x1b[<u");
        EXPECT_EQ(t.keyboardEnhancementFlags().rawValue, i) << "the flags of push " << i;
    }
    EXPECT_TRUE(t.keyboardModeNormal().stack.empty());
    h.feed("\x1b[=7u\x1b[<u");
    EXPECT_EQ(t.keyboardEnhancementFlags().rawValue, 0) << "the seventeenth pop finds nothing";

    for (int i = 0; i < 1000; ++i)
        h.feed("\x1b[>1u");
    EXPECT_EQ(t.keyboardModeNormal().stack.size(), 16u);
}

TEST(TerminalKeyboardFlags, EachScreenKeepsItsOwn) {
    TerminalHarness h;
    const Terminal& t = h.terminal();
    h.feed("\x1b[>1u");
    h.feed("\x1b[?1049h");
    EXPECT_EQ(query(h), "\x1b[?0u") << "the alternate screen starts with none";
    h.feed("\x1b[>3u\x1b[>8u");
    EXPECT_EQ(t.keyboardModeAlt().flags.rawValue, 8);
    EXPECT_EQ(t.keyboardModeAlt().stack.size(), 2u);
    h.feed("\x1b[?1049l");
    EXPECT_EQ(query(h), "\x1b[?1u");
    h.feed("\x1b[<u");
    EXPECT_EQ(query(h), "\x1b[?0u");
    h.feed("\x1b[?1049h");
    EXPECT_EQ(query(h), "\x1b[?8u") << "the alternate flags come back, though its screen was cleared";
    h.feed("\x1b[<u");
    EXPECT_EQ(query(h), "\x1b[?3u");
    EXPECT_EQ(t.keyboardModeNormal().flags.rawValue, 0);

    // The set-up of a full reset clears both.
    h.feed("\x1b[?47l\x1b[=2u\x1b"
           "c");
    EXPECT_EQ(t.keyboardModeNormal(), Terminal::KeyboardModeState{});
    EXPECT_EQ(t.keyboardModeAlt(), Terminal::KeyboardModeState{});
}

TEST(TerminalKeyboardFlags, OtherFormsOfCsiU) {
    struct Case {
        const char* name;
        std::string input;
        std::pair<int, int> cursor;
        std::string replies;
    };
    const std::vector<Case> cases = {
        {"CSI u restores the cursor", "ab\x1b[?1048h\r\ncd\x1b[u", {2, 0}, ""},
        {"CSI $ u does nothing", "ab\x1b[?1048h\r\ncd\x1b[$u", {2, 1}, ""},
        {"CSI ? u never restores", "ab\x1b[?1048h\r\ncd\x1b[?u", {2, 1}, "\x1b[?0u"},
        {"two intermediates do nothing", "ab\x1b[?1048h\r\ncd\x1b[?$u", {2, 1}, ""},
        {"8-bit reply", "\x1b G\x1b[?u", {0, 0}, "\x9b?0u"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { h.feed(c.input); }),
                  std::vector<DiagnosticKind>{})
            << "no fallback";
        EXPECT_EQ(h.cursor(), c.cursor);
        EXPECT_EQ(h.replies(), c.replies);
        EXPECT_EQ(h.terminal().keyboardEnhancementFlags(), KittyKeyboardFlags());
    }
}
