// The core scroll and cursor primitives: restrictCursor, setCursor, scroll and index.
#include "RgbaImageStrip.h"
#include "TerminalHarness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

// Rows "0" to "<rows - 1>" on a fresh screen, cursor on the last one.
void numberRows(TerminalHarness& h) {
    const int rows = h.terminal().rows();
    for (int r = 0; r < rows; ++r)
        h.feed((r > 0 ? "\r\n" : "") + std::to_string(r));
}

void setRegion(Terminal& t, int top, int bottom) {
    t.buffer().setScrollTop(top);
    t.buffer().setScrollBottom(bottom);
}

} // namespace

TEST(TerminalScroll, RestrictCursor) {
    TerminalHarness h(10, 5);
    Terminal& t = h.terminal();
    Buffer& b = t.buffer();
    b.setX(10);
    t.restrictCursor(false);
    EXPECT_EQ(b.x(), 10) << "the pending-wrap column stays";
    t.restrictCursor(true);
    EXPECT_EQ(b.x(), 9);
    b.setY(30);
    t.clearUpdateRange();
    t.restrictCursor();
    EXPECT_EQ(b.y(), 4);
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{4, 4}));
    setRegion(t, 1, 2);
    t.originMode = true;
    t.restrictCursor();
    EXPECT_EQ(b.y(), 2);
}

TEST(TerminalScroll, SetCursorHonoursOriginMode) {
    TerminalHarness h(10, 12);
    Terminal& t = h.terminal();
    setRegion(t, 4, 9);
    t.setCursor(3, 20);
    EXPECT_EQ(h.cursor(), (std::pair{3, 11}));
    t.originMode = true;
    t.setCursor(0, 20);
    EXPECT_EQ(h.cursor(), (std::pair{0, 9}));
    t.marginMode = true;
    t.buffer().setMarginLeft(2);
    t.setCursor(30, 1);
    EXPECT_EQ(h.cursor(), (std::pair{9, 5})) << "the column is held to the screen, not to the margins";
    t.setCursor(1, 0);
    EXPECT_EQ(h.cursor(), (std::pair{3, 4}));
}

struct RegionCase {
    const char* name;
    int top;
    int bottom;
    std::string screen;     // after one IND on the region's bottom row
    std::string scrollback; // rows above the screen
};

TEST(TerminalScroll, RegionScrolls) {
    const std::vector<RegionCase> cases = {
        {"whole screen", 0, 4, "1\n2\n3\n4", "0"},
        {"region inside the screen", 1, 3, "0\n2\n3\n\n4", ""},
        {"region at the top, above the bottom", 0, 2, "1\n2\n\n3\n4", "0"},
        {"region at the bottom", 2, 4, "0\n1\n3\n4", ""},
    };
    for (const RegionCase& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 5);
        Terminal& t = h.terminal();
        numberRows(h);
        setRegion(t, c.top, c.bottom);
        t.buffer().setY(c.bottom);
        t.buffer().setX(7);
        t.clearUpdateRange();
        h.feed("\x1b"
               "D");
        EXPECT_EQ(h.dump(), c.screen);
        const Buffer& b = t.buffer();
        std::string scrollback;
        for (int r = 0; r < b.yBase(); ++r)
            scrollback += (r > 0 ? "\n" : "") + h.row(*b.lines().peek(r));
        EXPECT_EQ(scrollback, c.scrollback);
        EXPECT_EQ(h.cursor(), (std::pair{7, c.bottom})) << "the cursor does not move";
        EXPECT_EQ(t.getUpdateRange()->startY, std::min(c.top, 4));
        EXPECT_EQ(b.yDisp(), b.yBase());
    }
}

TEST(TerminalScroll, RegionAtTheTopWithAFullRing) {
    TerminalHarness h(10, 4, 2); // capacity 6
    Terminal& t = h.terminal();
    h.feed("a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh");
    EXPECT_EQ(h.dumpAll(), "c\nd\ne\nf\ng\nh");
    setRegion(t, 0, 1);
    t.buffer().setY(1);
    h.feed("\n");
    EXPECT_EQ(h.dumpAll(), "d\ne\nf\n\ng\nh")
        << "the region's top enters the scroll-back, the oldest row goes";
    EXPECT_EQ(t.buffer().linesTop, 3);
    EXPECT_EQ(t.buffer().yBase(), 2);
}

// The rows below a region at the top move in the ring, not on the screen: only the region is marked.
TEST(TerminalScroll, RegionAtTheTopMarksOnlyTheRegion) {
    for (int scrollback : {63, 1}) {
        SCOPED_TRACE(scrollback);
        TerminalHarness h(18, 9, scrollback);
        Terminal& t = h.terminal();
        h.feed("\x1b[;2r");
        t.clearUpdateRange();
        h.feed("\n\n\n");
        EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{0, 1}));
    }
}

TEST(TerminalScroll, PartialWidthScrollMovesOnlyTheMarginColumns) {
    TerminalHarness h(6, 3);
    Terminal& t = h.terminal();
    h.feed("abcdef\r\nghijkl\r\nmnopqr");
    Buffer& b = t.buffer();
    t.marginMode = true;
    b.marginMode = true;
    b.setMarginLeft(1);
    b.setMarginRight(3);
    b.setX(2);
    h.feed("\n");
    EXPECT_EQ(h.dump(true), "|ahijef\n|gnopkl\n|m...qr");
    EXPECT_EQ(b.yBase(), 0) << "nothing enters the scroll-back";
}

TEST(TerminalScroll, UserScrollingKeepsTheView) {
    TerminalHarness h(10, 2, 2); // capacity 4
    Terminal& t = h.terminal();
    Buffer& b = t.buffer();
    t.userScrolling = true;
    h.feed("\n\n");
    EXPECT_EQ(b.yBase(), 1);
    EXPECT_EQ(b.yDisp(), 0) << "the ring is not full: the view stays";
    h.feed("\n");
    EXPECT_EQ(b.yBase(), 2);
    b.setYDisp(1);
    h.feed("\n");
    EXPECT_EQ(b.yBase(), 2) << "full ring: the rows move under the view";
    EXPECT_EQ(b.yDisp(), 0);
    h.feed("\n");
    EXPECT_EQ(b.yDisp(), 0);
    t.userScrolling = false;
    h.feed("\n");
    EXPECT_EQ(b.yDisp(), b.yBase());
}

TEST(TerminalScroll, WrapAtTheBottomRecyclesAWrappedSingleRow) {
    TerminalHarness h(4, 2, 1); // capacity 3
    Terminal& t = h.terminal();
    h.feed("a\r\nb\r\nc");
    t.buffer().lines()[0]->renderMode = BufferLine::RenderLineMode::doubleWidth;
    t.buffer().lines()[0]->isWrapped = false;
    h.feed("defgh");
    const BufferLine& last = *t.buffer().lines()[2];
    EXPECT_TRUE(last.isWrapped);
    EXPECT_EQ(last.renderMode, BufferLine::RenderLineMode::single);
    EXPECT_EQ(h.dumpAll(true), "|b\n|cdef\n~gh");
}

TEST(TerminalScroll, TellsTheDelegateAndMarksTheRegion) {
    TerminalHarness h(10, 25);
    Terminal& t = h.terminal();
    h.delegate().ignored.clear();
    setRegion(t, 1, 3);
    t.buffer().setY(3);
    t.clearUpdateRange();
    t.scroll(false);
    EXPECT_EQ(h.log(), std::vector<std::string>{"scrolled 0"});
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{1, 3}));
    EXPECT_FALSE(t.getScrollInvariantUpdateRange()) << "with scroll-back only the screen range widens";

    t.activateAltBuffer(std::nullopt);
    setRegion(t, 1, 3);
    t.clearUpdateRange();
    t.scroll(false);
    EXPECT_EQ(t.getScrollInvariantUpdateRange(), (Terminal::UpdateRange{1, 3}));
}

TEST(TerminalScroll, RegionBeyondTheRingIsAbandoned) {
    TerminalHarness h(10, 5);
    Terminal& t = h.terminal();
    setRegion(t, 2, 7);
    EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { t.scroll(false); }),
              std::vector{DiagnosticKind::invariant});
}

TEST(TerminalScroll, Index) {
    TerminalHarness h(10, 5);
    Terminal& t = h.terminal();
    Buffer& b = t.buffer();
    setRegion(t, 0, 2);
    b.setX(10);
    h.feed("\x1b"
           "D");
    EXPECT_EQ(h.cursor(), (std::pair{9, 1})) << "the pending-wrap column is pulled back";
    b.setY(3);
    h.feed("\x1b"
           "D\x1b"
           "D");
    EXPECT_EQ(h.cursor(), (std::pair{9, 4})) << "below the region it goes to the bottom and stays";
    EXPECT_EQ(b.yBase(), 0);
    t.originMode = true;
    t.marginMode = true;
    b.setMarginLeft(3);
    h.feed("\x1b"
           "E");
    EXPECT_EQ(h.cursor(), (std::pair{3, 2})) << "NEL to the left margin in origin and margin mode";
}

// Rows move by handle through the ring, whose slots wrap round its end once it is full: line feeds and
// reverse indexes in changing regions must leave the rows a plain list of rows would hold.
TEST(TerminalScroll, RegionScrollsMatchAListOfRows) {
    struct Step {
        int top;
        int bottom;
        int feeds;   // line feeds on the region's bottom row
        int reverse; // reverse indexes on its top row
    };
    struct Case {
        const char* name;
        int rows;
        int scrollback;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases = {
        {"top region fills the ring, then turns it",
         6,
         3,
         {{0, 3, 2, 0}, {0, 2, 5, 1}, {0, 4, 7, 2}, {0, 5, 4, 0}}},
        {"inner regions", 6, 3, {{1, 4, 3, 2}, {2, 5, 6, 1}, {1, 2, 2, 3}}},
        {"mixed, ring wrapping",
         7,
         5,
         {{0, 3, 9, 1}, {2, 6, 4, 2}, {0, 6, 3, 0}, {0, 1, 6, 2}, {3, 6, 5, 4}, {0, 4, 11, 3}}},
        {"no scroll-back", 5, 0, {{0, 2, 4, 1}, {1, 4, 3, 2}, {0, 4, 2, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(8, c.rows, c.scrollback);
        const size_t capacity = size_t(c.rows + c.scrollback);
        int next = 0;
        auto label = [&] {
            char text[8];
            std::snprintf(text, sizeof text, "r%02d", next++ % 100);
            return std::string(text);
        };
        // Oldest first; the screen is the last `rows` of them.
        std::deque<std::string> model;
        for (int r = 0; r < c.rows; ++r) {
            model.push_back(label());
            h.feed((r > 0 ? "\r\n" : "") + model.back());
        }
        auto base = [&] { return int(model.size()) - c.rows; };
        auto dumpModel = [&] {
            std::string out;
            for (size_t i = 0; i < model.size(); ++i)
                out += (i > 0 ? "\n" : "") + model[i];
            return out;
        };
        for (const Step& step : c.steps) {
            h.feed("\x1b[" + std::to_string(step.top + 1) + ";" + std::to_string(step.bottom + 1) + "r");
            h.feed("\x1b[" + std::to_string(step.bottom + 1) + "H");
            for (int k = 0; k < step.feeds; ++k) {
                const std::string text = label();
                h.feed("\n" + text + "\r");
                if (step.top == 0 && c.scrollback > 0) {
                    model.insert(model.begin() + base() + step.bottom + 1, text);
                    if (model.size() > capacity) model.pop_front();
                } else {
                    const int at = base();
                    model.erase(model.begin() + at + step.top);
                    model.insert(model.begin() + at + step.bottom, text);
                }
                ASSERT_EQ(h.dumpAll(), dumpModel()) << "feed " << k;
            }
            h.feed("\x1b[" + std::to_string(step.top + 1) + "H");
            for (int k = 0; k < step.reverse; ++k) {
                const std::string text = label();
                h.feed("\x1bM" + text + "\r");
                const int at = base();
                model.erase(model.begin() + at + step.bottom);
                model.insert(model.begin() + at + step.top, text);
                ASSERT_EQ(h.dumpAll(), dumpModel()) << "reverse index " << k;
            }
        }
    }
}

// A row with image strips that scrolls out of a region, or falls off a full ring, no longer counts.
TEST(TerminalScroll, RowsLeavingTakeTheirImagesFromTheCount) {
    auto strip = [] { return std::make_shared<RgbaImageStrip>(std::vector<uint8_t>(4), 1, 1); };
    {
        TerminalHarness h(10, 5, 2);
        Buffer& b = h.buffer();
        b.attachImage(strip(), 1);
        h.feed("\x1b[2;4r\x1b[4H\n");
        EXPECT_EQ(b.linesWithImagesCount(), 0) << "a region below the top drops its top row";
    }
    {
        TerminalHarness h(10, 5, 2); // capacity 7
        Buffer& b = h.buffer();
        h.feed("\n\n\n\n\n\n");
        ASSERT_TRUE(b.lines().isFull());
        b.attachImage(strip(), 0);
        h.feed("\x1b[1;3r\x1b[3H\n");
        EXPECT_EQ(b.linesWithImagesCount(), 0) << "a region at the top pushes the oldest row off the ring";
    }
}
