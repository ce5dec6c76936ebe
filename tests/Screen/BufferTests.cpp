#include "Buffer.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

using namespace Tessaline;

namespace {

const Attribute red(Attribute::Color::ansi256(1), Attribute::Color::defaultColor(), CharacterStyle::bold);
constexpr int32_t wideCode = 0x4E00;

// The owner's scroll in simplified form: the region moves up one row; at the top of the screen the top
// row goes into the scroll-back (pushed, or recycled once the ring is full). The new bottom row is
// wrapped as asked.
void scrollRegionUp(Buffer& b, bool isWrapped) {
    auto& lines = b.lines();
    const int top = b.yBase() + b.scrollTop();
    const int bottom = b.yBase() + b.scrollBottom();
    if (b.scrollTop() == 0 && bottom == lines.count() - 1) {
        if (lines.isFull()) {
            lines.recycle(Attribute::defaultAttribute());
            if (b.hasScrollback()) ++b.linesTop;
        } else {
            lines.push(b.getBlankLine(Attribute::defaultAttribute()));
            b.setYBase(b.yBase() + 1);
        }
    } else {
        for (int r = top; r < bottom; ++r)
            lines.set(r, lines[r + 1]);
        lines.set(bottom, b.getBlankLine(Attribute::defaultAttribute()));
    }
    lines[b.yBase() + b.scrollBottom()]->isWrapped = isWrapped;
    b.setYDisp(b.yBase());
}

// A filled buffer with wraparound on whose scroll closure counts its calls, as the terminal sets it up.
struct Screen {
    Buffer buffer;
    int scrolls = 0;

    Screen(int cols, int rows, std::optional<int> scrollback = 100)
        : buffer(cols, rows, 8, scrollback) {
        buffer.fillViewportRows();
        buffer.wraparound = true;
        buffer.scroll = [this](bool isWrapped) {
            EXPECT_TRUE(isWrapped);
            ++scrolls;
            scrollRegionUp(buffer, isWrapped);
        };
    }

    void writeChars(const std::string& text) {
        for (char c : text)
            buffer.insertCharacter(CharData(red, c, 1));
    }
    int writeRun(const std::string& text) {
        return buffer.insertAsciiRun(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                                     red);
    }
    void setRow(int row, const std::string& text) {
        auto& line = *buffer.lines()[buffer.yBase() + row];
        for (size_t i = 0; i < text.size(); ++i)
            line.set(int(i), CharData(Attribute::defaultAttribute(), text[i] == '.' ? 0 : text[i], 1));
    }

    // The screen rows, one per line: "~" marks a wrapped row, "." a blank cell, "W" a wide character and
    // "_" the cell after it.
    std::string dump() {
        std::string out;
        for (int r = 0; r < buffer.rows(); ++r) {
            const auto& line = *buffer.lines()[buffer.yBase() + r];
            out += line.isWrapped ? '~' : ' ';
            for (int c = 0; c < line.count(); ++c) {
                const CharData& cell = line[c];
                if (cell.code == 0)
                    out += cell.width() == 0 ? '_' : '.';
                else
                    out += cell.code < 0x80 ? char(cell.code) : 'W';
            }
            out += '\n';
        }
        return out;
    }
};

struct FakeImage : TerminalImage {
    int pixelWidth() const override { return 1; }
    int pixelHeight() const override { return 1; }
    int col() const override { return 0; }
    void setCol(int) override {}
};

} // namespace

TEST(Buffer, Construction) {
    struct Case {
        const char* name;
        std::optional<int> scrollback;
        int capacity;
        bool reflow;
    };
    const Case cases[] = {
        {"scroll-back 500", 500, 524, true},
        {"no scroll-back", std::nullopt, 24, false},
        {"scroll-back 0", 0, 24, true},
        {"huge scroll-back is capped", INT_MAX, INT_MAX, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Buffer b(80, 24, 8, c.scrollback);
        EXPECT_EQ(b.lines().count(), 0);
        EXPECT_EQ(b.lines().maxLength(), c.capacity);
        EXPECT_EQ(b.isReflowEnabled(), c.reflow);
        EXPECT_EQ(b.getCorrectBufferLength(24), c.capacity);

        std::vector<int> stops;
        for (int i = 0; i < int(b.tabStops.size()); ++i)
            if (b.tabStops[size_t(i)]) stops.push_back(i);
        EXPECT_EQ(stops, (std::vector<int>{0, 8, 16, 24, 32, 40, 48, 56, 64, 72}));
        EXPECT_EQ(b.tabStops.size(), 80u);

        EXPECT_EQ(b.scrollTop(), 0);
        EXPECT_EQ(b.scrollBottom(), 23);
        EXPECT_EQ(b.marginLeft(), 0);
        EXPECT_EQ(b.marginRight(), 79);
        EXPECT_FALSE(b.wraparound);
        EXPECT_FALSE(b.insertMode);
        EXPECT_FALSE(b.marginMode);
        EXPECT_EQ(b.curAttr, Attribute::empty);
        EXPECT_EQ(b.savedAttr, Attribute::defaultAttribute());
        EXPECT_EQ(b.savedCharset, nullptr);
        EXPECT_EQ(b.lastBufferStorage, Buffer::LastBufferStorage{});
        EXPECT_EQ(b.scrollback, c.scrollback);
        EXPECT_FALSE(b.hasAnyImages());
    }
}

// The ring used to allocate every slot at construction, so a huge scroll-back failed to allocate.
TEST(Buffer, HugeScrollbackCostsMemoryOnlyAsItFills) {
    Screen s(10, 4, 1'000'000'000);
    EXPECT_EQ(s.buffer.lines().maxLength(), 1'000'000'004);
    EXPECT_LE(s.buffer.lines().getArray().size(), 16u);
    for (int i = 0; i < 100; ++i)
        s.buffer.scroll(true);
    EXPECT_EQ(s.buffer.lines().count(), 104);
    EXPECT_LE(s.buffer.lines().getArray().size(), 256u);
}

TEST(Buffer, UncheckedScrollClosureStopsTheProcess) {
    Buffer b(10, 2, 8, 0);
    b.fillViewportRows();
    EXPECT_DEATH(b.scroll(true), "This should be set after creating a buffer");
    b.wraparound = true;
    b.setY(1);
    b.setX(10);
    EXPECT_DEATH(b.insertCharacter(CharData(red, 'a', 1)), "This should be set after creating a buffer");
}

TEST(Buffer, AccessorsIgnoreNegativeValues) {
    Buffer b(10, 5, 8, 0);
    b.setX(10);
    b.setY(3);
    b.setScrollTop(1);
    b.setScrollBottom(2);
    b.setX(-1);
    b.setY(-1);
    b.setScrollTop(-1);
    b.setScrollBottom(-1);
    EXPECT_EQ(b.x(), 10) << "the pending-wrap column is stored";
    EXPECT_EQ(b.y(), 3);
    EXPECT_EQ(b.scrollTop(), 1);
    EXPECT_EQ(b.scrollBottom(), 2);
}

TEST(Buffer, FillViewportRowsAndBlankCells) {
    Buffer b(6, 3, 8, 10);
    b.fillViewportRows(red);
    ASSERT_EQ(b.lines().count(), 3);
    EXPECT_EQ(b.lines()[2]->count(), 6);
    EXPECT_EQ((*b.lines()[2])[5], CharData(red, 0, 1));
    b.fillViewportRows();
    EXPECT_EQ(b.lines().count(), 3) << "a filled buffer gets no more rows";

    Buffer plain(6, 3, 8, 10);
    plain.fillViewportRows();
    EXPECT_EQ((*plain.lines()[0])[0], CharData::Null);

    auto blank = b.getBlankLine(red, true);
    EXPECT_EQ(blank->count(), 6);
    EXPECT_TRUE(blank->isWrapped);
    EXPECT_EQ((*blank)[3], CharData(red, 0, 1));
    EXPECT_EQ(Buffer::getNullCell(), CharData(Attribute::empty, ' ', 1));
    EXPECT_EQ(Buffer::getNullCell(red), CharData(red, ' ', 1));
}

// Both writers wrap the same way; each case runs through insertCharacter and through insertAsciiRun.
TEST(Buffer, Wrapping) {
    struct Case {
        const char* name;
        std::function<void(Screen&)> setup;
        const char* expected;
        int x, y, scrolls;
    };
    const Case cases[] = {
        {"wrap to the next row", [](Screen& s) { s.buffer.setX(5); },
         " .....a\n"
         "~b.....\n"
         " ......\n"
         " ......\n",
         1, 1, 0},
        {"wrap at the bottom of the region scrolls once",
         [](Screen& s) {
             s.buffer.setX(5);
             s.buffer.setY(3);
         },
         " ......\n"
         " ......\n"
         " .....a\n"
         "~b.....\n",
         1, 3, 1},
        {"with scroll-back in use the cursor's row is marked",
         [](Screen& s) {
             s.buffer.scroll(true);
             s.buffer.scroll(true);
             s.scrolls = 0;
             for (int r = 0; r < 4; ++r)
                 s.buffer.lines()[s.buffer.yBase() + r]->isWrapped = false;
             s.buffer.setX(5);
         },
         " .....a\n"
         "~b.....\n"
         " ......\n"
         " ......\n",
         1, 1, 0},
        {"below the region the cursor moves down without scrolling",
         [](Screen& s) {
             s.buffer.setScrollBottom(1);
             s.buffer.setX(5);
             s.buffer.setY(2);
         },
         " ......\n"
         " ......\n"
         " .....a\n"
         "~b.....\n",
         1, 3, 0},
        {"on the last row below the region the text goes on from column 0",
         [](Screen& s) {
             s.buffer.setScrollBottom(1);
             s.buffer.setX(5);
             s.buffer.setY(3);
         },
         " ......\n"
         " ......\n"
         " ......\n"
         " b....a\n",
         1, 3, 0},
        {"margin mode wraps to the left margin",
         [](Screen& s) {
             s.buffer.marginMode = true;
             s.buffer.setMarginLeft(1);
             s.buffer.setMarginRight(3);
             s.buffer.setX(3);
         },
         " ...a..\n"
         "~.b....\n"
         " ......\n"
         " ......\n",
         2, 1, 0},
    };
    for (const auto& c : cases) {
        for (bool run : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (run ? " (run)" : " (characters)"));
            Screen s(6, 4);
            c.setup(s);
            if (run)
                EXPECT_EQ(s.writeRun("ab"), 2);
            else
                s.writeChars("ab");
            EXPECT_EQ(s.dump(), c.expected);
            EXPECT_EQ(s.buffer.x(), c.x);
            EXPECT_EQ(s.buffer.y(), c.y);
            EXPECT_EQ(s.scrolls, c.scrolls);
        }
    }
}

TEST(Buffer, PendingWrapColumn) {
    Screen s(6, 2);
    s.buffer.setX(5);
    s.writeChars("a");
    EXPECT_EQ(s.buffer.x(), 6) << "the cursor waits past the last column";
    EXPECT_EQ(s.buffer.y(), 0);
    EXPECT_EQ(s.buffer.lastBufferStorage, (Buffer::LastBufferStorage{0, 5, 6, 2}));
}

TEST(Buffer, WraparoundOff) {
    Screen s(6, 2);
    s.buffer.wraparound = false;
    s.buffer.setX(4);
    s.writeChars("xyz");
    EXPECT_EQ(s.dump(), " ....xz\n ......\n") << "the last column is overwritten";
    EXPECT_EQ(s.buffer.x(), 6);

    s.buffer.setX(5);
    s.buffer.insertCharacter(CharData(red, wideCode, 2));
    EXPECT_EQ(s.dump(), " ....xz\n ......\n") << "a wide character in the last column is dropped";
    EXPECT_EQ(s.buffer.x(), 5);

    s.buffer.setX(1);
    s.buffer.setY(1);
    EXPECT_EQ(s.writeRun("0123456789"), 5) << "the run stops at the right edge";
    EXPECT_EQ(s.dump(), " ....xz\n .01234\n");
    EXPECT_EQ(s.buffer.x(), 6);
    EXPECT_EQ(s.scrolls, 0);
}

TEST(Buffer, WideCharacters) {
    Screen s(6, 3);
    s.buffer.curAttr = red;
    s.buffer.setX(4);
    s.buffer.insertCharacter(CharData(Attribute::defaultAttribute(), wideCode, 2));
    EXPECT_EQ(s.dump(), " ....W_\n ......\n ......\n");
    EXPECT_EQ(s.buffer.x(), 6);
    EXPECT_EQ((*s.buffer.lines()[0])[5], CharData(red, 0, 0)) << "continuation cell in curAttr";
    EXPECT_EQ(s.buffer.lastBufferStorage, (Buffer::LastBufferStorage{0, 4, 6, 3}));

    s.buffer.setX(5);
    s.buffer.setY(1);
    s.buffer.insertCharacter(CharData(Attribute::defaultAttribute(), wideCode, 2));
    EXPECT_EQ(s.dump(), " ....W_\n ......\n~W_....\n") << "wraps before the last column";
    EXPECT_EQ(s.buffer.x(), 2);
    EXPECT_EQ(s.buffer.lastBufferStorage, (Buffer::LastBufferStorage{2, 0, 6, 3}));
}

TEST(Buffer, InsertMode) {
    Screen s(8, 2);
    s.buffer.insertMode = true;
    s.buffer.curAttr = red;
    s.setRow(0, "abcdefgh");
    s.buffer.setX(2);
    s.writeChars("X");
    EXPECT_EQ(s.dump(), " abXcdefg\n ........\n") << "the last cell falls off";
    EXPECT_EQ(s.buffer.x(), 3);

    s.setRow(1, "abcde...");
    s.buffer.lines()[1]->set(6, CharData(Attribute::defaultAttribute(), wideCode, 2));
    s.buffer.lines()[1]->set(7, CharData(Attribute::defaultAttribute(), 0, 0));
    s.buffer.setX(0);
    s.buffer.setY(1);
    s.writeChars("X");
    EXPECT_EQ(s.dump(), " abXcdefg\n Xabcde..\n");
    EXPECT_EQ((*s.buffer.lines()[1])[7], CharData(red, 0, 1))
        << "a wide character pushed into the last column becomes a blank";

    EXPECT_EQ(s.writeRun("zz"), 0) << "runs are not written in insert mode";
    EXPECT_EQ(s.dump(), " abXcdefg\n Xabcde..\n");
    EXPECT_EQ(s.buffer.x(), 1);
}

TEST(Buffer, AsciiRun) {
    Screen s(6, 4);
    EXPECT_EQ(s.writeRun(""), 0);
    EXPECT_EQ(s.buffer.lastBufferStorage, Buffer::LastBufferStorage{}) << "nothing written, nothing recorded";

    EXPECT_EQ(s.writeRun("abcdefghijklmno"), 15);
    EXPECT_EQ(s.dump(), " abcdef\n~ghijkl\n~mno...\n ......\n");
    EXPECT_EQ(s.buffer.x(), 3);
    EXPECT_EQ(s.buffer.y(), 2);
    EXPECT_EQ(s.buffer.lastBufferStorage, (Buffer::LastBufferStorage{2, 2, 6, 4}));
    EXPECT_EQ((*s.buffer.lines()[1])[0], CharData(red, 'g', 1)) << "cells carry the run's attribute";

    EXPECT_EQ(s.writeRun("pqrstuvwxyz0"), 12);
    EXPECT_EQ(s.dump(), "~ghijkl\n~mnopqr\n~stuvwx\n~yz0...\n");
    EXPECT_EQ(s.scrolls, 1);
    EXPECT_EQ(s.buffer.lastBufferStorage, (Buffer::LastBufferStorage{4, 2, 6, 4}));
}

TEST(Buffer, TabStops) {
    Buffer b(80, 24, 8, 0);
    b.setMarginRight(40);
    struct Case {
        const char* name;
        bool next;
        bool marginMode;
        int column;
        int expected;
    };
    const Case cases[] = {
        {"next from 5", true, false, 5, 8},
        {"next from a stop", true, false, 8, 16},
        {"next with no later stop", true, false, 75, 79},
        {"next from the last column", true, false, 79, 79},
        {"next beyond the screen comes back", true, false, 85, 79},
        {"next in margin mode stops at the margin", true, true, 37, 40},
        {"next in margin mode brings the cursor back to the margin", true, true, 41, 40},
        {"next outside margin mode ignores the margin", true, false, 41, 48},
        {"next from the cursor", true, false, -1, 16},
        {"previous from 8", false, false, 8, 0},
        {"previous from 9", false, false, 9, 8},
        {"previous from 0", false, false, 0, 0},
        {"previous beyond the screen", false, false, 200, 72},
        {"previous from the cursor", false, false, -1, 8},
    };
    b.setX(12);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.next ? b.nextTabStop(c.marginMode, c.column) : b.previousTabStop(c.column), c.expected);
    }

    const auto before = b.tabStops;
    b.tabSet(200);
    b.tabClear(80);
    EXPECT_EQ(b.tabStops, before) << "columns past the end are ignored";
    b.tabSet(3);
    b.tabClear(8);
    EXPECT_EQ(b.nextTabStop(false, 0), 3);
    EXPECT_EQ(b.nextTabStop(false, 3), 16);
}

TEST(Buffer, SetupTabStopsExtendsFromTheStopBefore) {
    Buffer b(40, 2, 8, 0);
    b.tabStops.assign(40, false);
    b.tabStops[3] = true;
    b.setupTabStops(10, 8);
    std::vector<int> stops;
    for (int i = 0; i < 40; ++i)
        if (b.tabStops[size_t(i)]) stops.push_back(i);
    EXPECT_EQ(stops, (std::vector<int>{3, 11, 19, 27, 35}));

    b.tabStops.assign(60, false);
    b.tabStops[39] = true;
    b.tabStops[50] = true;
    b.setupTabStops(39, 8);
    EXPECT_EQ(b.tabStops.size(), 40u) << "cut to the width";
    EXPECT_TRUE(b.tabStops[39]);

    b.setupTabStops(-1, 4);
    EXPECT_TRUE(b.tabStops[36]);
    EXPECT_FALSE(b.tabStops[39]);
}

TEST(Buffer, Clear) {
    Screen s(6, 3, 10);
    s.writeRun("abcdefghijklmnopqrstuvwxyz");
    s.buffer.attachImage(std::make_shared<FakeImage>(), 0);
    s.buffer.tabClear(0);
    s.buffer.setMarginRight(4);
    s.buffer.setScrollTop(1);
    s.buffer.linesTop = 2;
    const auto tabStops = s.buffer.tabStops;
    const auto storage = s.buffer.lastBufferStorage;

    s.buffer.clear();
    EXPECT_EQ(s.buffer.lines().count(), 0);
    EXPECT_EQ(s.buffer.lines().maxLength(), 13);
    EXPECT_EQ(s.buffer.x(), 0);
    EXPECT_EQ(s.buffer.y(), 0);
    EXPECT_EQ(s.buffer.yBase(), 0);
    EXPECT_EQ(s.buffer.yDisp(), 0);
    EXPECT_EQ(s.buffer.linesTop, 0);
    EXPECT_EQ(s.buffer.scrollTop(), 0);
    EXPECT_EQ(s.buffer.scrollBottom(), 2);
    EXPECT_FALSE(s.buffer.hasAnyImages());
    EXPECT_EQ(s.buffer.tabStops, tabStops);
    EXPECT_EQ(s.buffer.marginRight(), 4);
    EXPECT_EQ(s.buffer.lastBufferStorage, storage);

    // The new ring makes rows and counts images like the first.
    s.buffer.fillViewportRows();
    s.writeChars("x");
    EXPECT_EQ(s.dump(), " x.....\n ......\n ......\n");
    auto withImage = s.buffer.getBlankLine(red);
    withImage->attach(std::make_shared<FakeImage>());
    s.buffer.lines().push(withImage);
    EXPECT_TRUE(s.buffer.hasAnyImages());
}

TEST(Buffer, SoftReset) {
    Buffer b(10, 5, 8, 0);
    b.savedX = 4;
    b.savedY = 3;
    b.savedAttr = red;
    static const CharSetMap map{{uint8_t('a'), "x"}};
    b.savedCharset = &map;
    b.savedOriginMode = b.savedMarginMode = b.savedWraparound = b.savedReverseWraparound = true;
    b.setMarginLeft(2);
    b.setMarginRight(6);
    b.setScrollTop(1);
    b.setX(3);
    b.insertMode = true;

    b.softReset();
    EXPECT_EQ(b.savedX, 0);
    EXPECT_EQ(b.savedY, 0);
    EXPECT_EQ(b.savedAttr, Attribute::defaultAttribute());
    EXPECT_EQ(b.savedCharset, nullptr);
    EXPECT_FALSE(b.savedOriginMode || b.savedMarginMode || b.savedWraparound || b.savedReverseWraparound);
    EXPECT_EQ(b.marginLeft(), 0);
    EXPECT_EQ(b.marginRight(), 9);
    EXPECT_EQ(b.scrollTop(), 1);
    EXPECT_EQ(b.x(), 3);
    EXPECT_TRUE(b.insertMode);
}

TEST(Buffer, ChangeHistorySize) {
    // 4 screen rows under 100 scroll-back rows, each row labelled with its number.
    auto make = [] {
        auto b = std::make_unique<Buffer>(4, 4, 8, 100);
        for (int i = 0; i < 104; ++i) {
            auto line = BufferLine::make(4);
            line->set(0, CharData(Attribute::defaultAttribute(), i, 1));
            b->lines().push(line);
        }
        b->setYBase(100);
        b->setYDisp(90);
        b->savedY = 2;
        return b;
    };
    auto label = [](Buffer& b, int row) { return (*b.lines()[row])[0].code; };

    auto b = make();
    b->changeHistorySize(std::nullopt);
    EXPECT_EQ(b->lines().count(), 4);
    EXPECT_EQ(b->lines().maxLength(), 4);
    EXPECT_EQ(label(*b, 0), 100) << "the oldest rows go";
    EXPECT_EQ(b->yBase(), 0);
    EXPECT_EQ(b->yDisp(), 0);
    EXPECT_FALSE(b->isReflowEnabled());
    // savedY used to drop with the discarded rows although it counts screen rows.
    EXPECT_EQ(b->savedY, 2);

    b->changeHistorySize(50);
    EXPECT_EQ(b->lines().maxLength(), 54);
    EXPECT_EQ(b->lines().count(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(label(*b, i), 100 + i) << "growing keeps every row";
    EXPECT_TRUE(b->isReflowEnabled());

    b = make();
    b->changeHistorySize(10);
    EXPECT_EQ(b->lines().count(), 14);
    EXPECT_EQ(label(*b, 0), 90);
    EXPECT_EQ(b->yBase(), 10);
    EXPECT_EQ(b->yDisp(), 0);
    EXPECT_EQ(b->savedY, 2);

    Buffer same(4, 4, 8, std::nullopt);
    same.changeHistorySize(0);
    EXPECT_EQ(same.lines().maxLength(), 4);
    EXPECT_TRUE(same.isReflowEnabled()) << "the flag changes even when the capacity does not";
}

TEST(Buffer, ImageCount) {
    Screen s(4, 2, 1);
    auto image = std::make_shared<FakeImage>();
    s.buffer.attachImage(image, 0);
    s.buffer.attachImage(image, 0);
    EXPECT_EQ(s.buffer.linesWithImagesCount(), 1) << "one row, however many strips";
    EXPECT_EQ(s.buffer.lines()[0]->images->size(), 2u);
    s.buffer.clearImagesFromLine(1);
    EXPECT_EQ(s.buffer.linesWithImagesCount(), 1);

    s.buffer.attachImage(image, 1);
    s.buffer.lines()[1]->images->clear();
    s.buffer.recalculateLinesWithImagesCount();
    EXPECT_EQ(s.buffer.linesWithImagesCount(), 2) << "an empty list still counts";
    s.buffer.clearImagesFromLine(1);
    EXPECT_EQ(s.buffer.linesWithImagesCount(), 1);

    // Row 0 leaves the full ring by recycling.
    s.buffer.scroll(true);
    ASSERT_TRUE(s.buffer.lines().isFull());
    s.buffer.scroll(true);
    EXPECT_EQ(s.buffer.linesWithImagesCount(), 0);
    EXPECT_FALSE(s.buffer.hasAnyImages());

    s.buffer.attachImage(image, 99);
    s.buffer.attachImage(image, -1);
    EXPECT_EQ(s.buffer.linesWithImagesCount(), 0) << "rows outside the ring are ignored";
}

TEST(Buffer, GetChar) {
    Screen s(4, 2, 10);
    s.writeRun("abcdefghijkl");
    ASSERT_EQ(s.buffer.yBase(), 1);
    EXPECT_EQ(s.buffer.getChar(Position(1, 0)).code, 'f');
    s.buffer.setYDisp(0);
    EXPECT_EQ(s.buffer.getChar(Position(1, 0)).code, 'b') << "the view shows the scroll-back";
    EXPECT_EQ(s.buffer.getCharBufferRelative(Position(3, 2)).code, 'l');
    EXPECT_EQ(s.buffer.getChar(Position(4, 0)), CharData::Null);
    EXPECT_EQ(s.buffer.getChar(Position(-1, 0)), CharData::Null);
    EXPECT_EQ(s.buffer.getChar(Position(0, 3)), CharData::Null);
    EXPECT_EQ(s.buffer.getCharBufferRelative(Position(0, -1)), CharData::Null);
}
