#include "BufferLine.h"
#include "DiagnosticsCapture.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

BufferLinePtr lineOf(const std::string& text, int cols = -1) {
    auto line = BufferLine::make(cols < 0 ? int(text.size()) : cols);
    for (size_t i = 0; i < text.size(); ++i)
        line->set(int(i), CharData(Attribute::defaultAttribute(), text[i]));
    return line;
}

std::string text(const BufferLine& line) {
    std::string s;
    for (int i = 0; i < line.count(); ++i)
        s += line[i].code == 0 ? '.' : char(line[i].code);
    return s;
}

struct FakeImage : TerminalImage {
    int pixelWidth() const override { return 1; }
    int pixelHeight() const override { return 1; }
    int col() const override { return 0; }
    void setCol(int) override {}
};

} // namespace

TEST(BufferLine, NewLine) {
    BufferLine line(10);
    EXPECT_EQ(line.count(), 10);
    EXPECT_FALSE(line.isWrapped);
    EXPECT_EQ(line.renderMode, BufferLine::RenderLineMode::single);
    EXPECT_FALSE(line.images);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(line[i], CharData::Null);
}

TEST(BufferLine, OutOfRangeAccess) {
    auto line = lineOf("abc");
    DiagnosticsCapture capture;
    EXPECT_EQ(line->get(8).code, 'c');
    EXPECT_EQ(capture.takeKinds(), std::vector<DiagnosticKind>{}) << "reads are repaired silently";

    line->set(8, CharData(Attribute::defaultAttribute(), 'Z'));
    EXPECT_EQ(capture.takeKinds(), std::vector{DiagnosticKind::invariant});
    EXPECT_EQ(text(*line), "abZ");
}

TEST(BufferLine, InsertAndDeleteInsideMargin) {
    const CharData fill(Attribute::defaultAttribute(), '_');
    struct Case {
        const char* name;
        bool insert;
        int pos, n, rightMargin;
        const char* expected;
    };
    const Case cases[] = {
        {"insert", true, 3, 2, 5, "ABC__DGH"},
        {"insert past margin wraps the position", true, 7, 2, 5, "A__BCDGH"},
        {"insert fills to margin", true, 3, 9, 5, "ABC___GH"},
        {"delete", false, 1, 2, 5, "ADEF__GH"},
        {"delete fills to margin", false, 2, 4, 5, "AB____GH"},
        {"insert whole row", true, 0, 1, 7, "_ABCDEFG"},
        {"delete whole row", false, 0, 1, 7, "BCDEFGH_"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto line = lineOf("ABCDEFGH");
        if (c.insert)
            line->insertCells(c.pos, c.n, c.rightMargin, fill);
        else
            line->deleteCells(c.pos, c.n, c.rightMargin, fill);
        EXPECT_EQ(text(*line), c.expected);
    }
}

// Only the content of a row moves when cells open; the blank tail stays. A copy sharing the cells keeps
// its own.
TEST(BufferLine, InsertIntoARowWithABlankTail) {
    const CharData fill(Attribute::defaultAttribute(), '_');
    struct Case {
        const char* name;
        const char* text;
        int pos, n, rightMargin;
        const char* expected;
    };
    const Case cases[] = {
        {"inside the content", "ABC", 1, 2, 7, "A__BC..."},
        {"at the end of the content", "ABC", 3, 2, 7, "ABC__..."},
        {"past the content", "ABC", 4, 2, 7, "ABC.__.."},
        {"content pushed to the margin", "ABCDEF", 2, 3, 5, "AB___C.."},
        {"an empty row", "", 0, 1, 7, "_......."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto line = lineOf(c.text, 8);
        const BufferLine copy(*line);
        const std::string before = text(copy);
        line->insertCells(c.pos, c.n, c.rightMargin, fill);
        EXPECT_EQ(text(*line), c.expected);
        EXPECT_EQ(text(copy), before);
    }
}

TEST(BufferLine, FillReplaceAndCopy) {
    const CharData x(Attribute::defaultAttribute(), 'x');
    auto line = lineOf("ABCDEFGH");
    line->replaceCells(6, 20, x);
    EXPECT_EQ(text(*line), "ABCDEFxx");
    line->replaceCells(5, 5, x);
    EXPECT_EQ(text(*line), "ABCDEFxx");
    line->fill(x, 1, 2);
    EXPECT_EQ(text(*line), "AxxDEFxx");

    auto row = lineOf("ABCDEFGH");
    row->copyFrom(*row, 0, 2, 5); // overlapping, rightwards
    EXPECT_EQ(text(*row), "ABABCDEH");
    row->copyFrom(*row, 2, 0, 5); // overlapping, leftwards
    EXPECT_EQ(text(*row), "ABCDEDEH");

    auto longer = lineOf("0123456789");
    longer->isWrapped = true;
    auto shorter = lineOf("abc");
    shorter->copyFrom(*longer);
    EXPECT_EQ(text(*shorter), "0123456789");
    EXPECT_TRUE(shorter->isWrapped);
    longer->copyFrom(*lineOf("xy"));
    EXPECT_EQ(longer->count(), 2);
    EXPECT_FALSE(longer->isWrapped);
}

TEST(BufferLine, ClearKeepsFlagsAndDropsImages) {
    auto line = lineOf("abc");
    line->isWrapped = true;
    line->renderMode = BufferLine::RenderLineMode::doubleWidth;
    line->attach(std::make_shared<FakeImage>());
    Attribute red(Attribute::Color::ansi256(1), Attribute::Color::ansi256(2), {});
    line->clear(red);
    EXPECT_TRUE(line->isWrapped);
    EXPECT_EQ(line->renderMode, BufferLine::RenderLineMode::doubleWidth);
    EXPECT_FALSE(line->images);
    EXPECT_EQ(line->get(1), CharData(red, 0, 1));

    BufferLine copy(*lineOf("q"));
    line->attach(std::make_shared<FakeImage>());
    BufferLine withImages(*line);
    ASSERT_TRUE(withImages.images);
    EXPECT_EQ(withImages.images->front(), line->images->front()) << "same strip objects, own list";
}

TEST(BufferLine, Resize) {
    auto line = lineOf("abc");
    line->resize(5, CharData(Attribute::defaultAttribute(), '-'));
    EXPECT_EQ(text(*line), "abc--");
    line->resize(2, CharData::Null);
    EXPECT_EQ(text(*line), "ab");
    line->resize(0, CharData::Null);
    EXPECT_EQ(line->count(), 0);
}

// A narrowed row keeps its block with the old cells past its end: nothing may show them again.
TEST(BufferLine, NarrowedRowShowsNoneOfItsOldCells) {
    auto line = lineOf("abcdefgh");
    line->resize(3, CharData::Null);
    EXPECT_EQ(line->getTrimmedLength(), 3);
    EXPECT_EQ(line->getData().size(), 3u);
    EXPECT_EQ(text(BufferLine(*line)), "abc") << "a copy has the cells in use";
    EXPECT_EQ(line->get(7), line->get(2)) << "reads past the end read the last cell";
    line->resize(6, CharData(Attribute::defaultAttribute(), '-'));
    EXPECT_EQ(text(*line), "abc---");

    auto longer = lineOf("0123456789");
    auto shorter = lineOf("xy");
    longer->copyFrom(*shorter);
    EXPECT_EQ(text(*longer), "xy");
    longer->resize(4, CharData::Null);
    EXPECT_EQ(longer->getTrimmedLength(), 2);
}

TEST(BufferLine, TrimmedLengthContentAndText) {
    BufferLine line(20);
    EXPECT_EQ(line.getTrimmedLength(), 0);
    EXPECT_FALSE(line.hasAnyContent());
    line.set(10, CharData(Attribute::defaultAttribute(), 0x4E2D, 2));
    line.set(11, CharData(Attribute::defaultAttribute(), 0, 0));
    EXPECT_EQ(line.getTrimmedLength(), 12);

    BufferLine blanks(4);
    blanks.set(3, CharData(Attribute::empty));
    EXPECT_TRUE(blanks.hasContent(3)) << "a blank with the inverted default background is content";
    EXPECT_FALSE(blanks.hasContent(0));

    auto ab = lineOf("ab", 4);
    EXPECT_EQ(ab->translateToString(true), "ab");
    EXPECT_EQ(ab->translateToString(false), std::string("ab\0\0", 4));
    EXPECT_EQ(ab->translateToString(
                  false, 0, -1, false,
                  [](const CharData& c) { return c.code ? std::string(1, char(c.code)) : std::string(" "); }),
              "ab  ");
    EXPECT_EQ(ab->translateToString(false, 3, 2), "");

    auto wide = lineOf("a", 5);
    wide->set(1, CharData(Attribute::defaultAttribute(), 0x4E2D, 2));
    wide->set(2, CharData(Attribute::defaultAttribute(), 0, 0));
    wide->set(3, CharData(Attribute::defaultAttribute(), 'b'));
    EXPECT_EQ(wide->translateToString(true, 0, -1, true), "a\xE4\xB8\xAD"
                                                          "b");
    EXPECT_EQ(wide->translateToString(true, 2, -1, true), "b");
}

// Clearing wipes only the cells a row may hold content in; a write path that forgot to move the mark
// would leave stale cells behind. Random edits, then a clear, must leave every cell blank, and the cells
// past the mark must always be the row's blank.
TEST(BufferLine, ClearAfterAnyEditLeavesNoStaleCell) {
    const Attribute red(Attribute::Color::ansi256(1), Attribute::Color::ansi256(4), CharacterStyle::bold);
    const Attribute blue(Attribute::Color::defaultColor(), Attribute::Color::ansi256(4),
                         CharacterStyle::none);
    const std::array<Attribute, 2> clears = {Attribute::defaultAttribute(), blue};
    uint64_t seed = 12345;
    auto next = [&](int bound) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return int((seed >> 33) % uint64_t(bound));
    };
    for (int round = 0; round < 2000; ++round) {
        SCOPED_TRACE(round);
        const int cols = 1 + next(20);
        BufferLine line(cols);
        BufferLine other(cols, CharData(red, 'o', 1));
        for (int step = next(6); step >= 0; --step) {
            const CharData cell(next(2) ? red : Attribute::defaultAttribute(), next(3) ? 'a' + next(26) : 0,
                                1);
            const int a = next(cols);
            const int n = 1 + next(cols - a);
            switch (next(11)) {
            case 0:
                line.set(a, cell);
                break;
            case 1:
                line.at(a).code = 'z';
                break;
            case 2:
                line.fill(cell, a, n);
                break;
            case 3:
                line.replaceCells(a, a + n, cell);
                break;
            case 4:
                line.insertCells(a, n, cols - 1 - next(cols - a), cell);
                break;
            case 5:
                line.deleteCells(a, n, cols - 1 - next(cols - a), cell);
                break;
            case 6:
                line.copyFrom(other, a, a, n);
                break;
            case 7:
                line.cellsForWrite(a + n)[a + n - 1] = cell;
                break;
            case 8:
                line.clear(clears[size_t(next(2))]);
                break;
            case 9:
                line.copyFrom(other);
                break;
            default:
                line.fill(cell);
                break;
            }
            for (int i = line.contentEnd() + 1; i < line.count(); ++i)
                ASSERT_EQ(line[i], line[line.contentEnd()]) << "past the mark at " << i;
            // The cells up to the mark are held (a mark past them once came from opening cells).
            ASSERT_LE(line.contentEnd(), line.stored());
        }
        const Attribute attribute = clears[size_t(next(2))];
        line.clear(attribute);
        EXPECT_EQ(line.contentEnd(), 0);
        for (int i = 0; i < line.count(); ++i)
            ASSERT_EQ(line[i], CharData(attribute, 0, 1)) << "cell " << i;
    }
}

TEST(BufferLine, CopyKeepsTheContentMark) {
    BufferLine line(10);
    line.set(3, CharData(Attribute::defaultAttribute(), 'x', 1));
    EXPECT_EQ(line.contentEnd(), 4);
    BufferLine copy(line);
    EXPECT_EQ(copy.contentEnd(), 4);
    copy.clear(Attribute::defaultAttribute());
    EXPECT_EQ(text(copy), "..........");
    EXPECT_EQ(text(line), "...x......");
}

namespace {

struct WriteCase {
    const char* name;
    std::function<void(BufferLine&)> write;
};

// Every way of writing a row.
std::vector<WriteCase> writeCases() {
    const CharData z(Attribute::defaultAttribute(), 'z');
    const auto other = lineOf("XY");
    return {
        {"set", [=](BufferLine& l) { l.set(1, z); }},
        {"at", [=](BufferLine& l) { l.at(2) = z; }},
        {"cellsForWrite", [=](BufferLine& l) { l.cellsForWrite(1)[0] = z; }},
        {"insertCells", [=](BufferLine& l) { l.insertCells(1, 2, 5, z); }},
        {"deleteCells", [=](BufferLine& l) { l.deleteCells(0, 2, 5, z); }},
        {"replaceCells", [=](BufferLine& l) { l.replaceCells(2, 4, z); }},
        {"fill", [=](BufferLine& l) { l.fill(z); }},
        {"fill part", [=](BufferLine& l) { l.fill(z, 3, 2); }},
        {"clear", [=](BufferLine& l) { l.clear(Attribute::defaultAttribute()); }},
        {"clear other attribute",
         [=](BufferLine& l) {
             l.clear(Attribute(Attribute::Color::ansi256(1), Attribute::Color::ansi256(2), {}));
         }},
        {"copyFrom", [=](BufferLine& l) { l.copyFrom(*other); }},
        {"copyFrom range", [=](BufferLine& l) { l.copyFrom(*other, 0, 4, 2); }},
        {"copyFrom itself", [=](BufferLine& l) { l.copyFrom(l, 0, 1, 3); }},
        {"widen", [=](BufferLine& l) { l.resize(8, z); }},
        {"narrow then widen",
         [=](BufferLine& l) {
             l.resize(2, z);
             l.resize(5, z);
         }},
        {"narrow far", [=](BufferLine& l) { l.resize(1, z); }},
        {"widen with another cell", [=](BufferLine& l) { l.resize(14, CharData(Attribute::empty, 0, 1)); }},
    };
}

} // namespace

// A copy shares the cells of its original until one of them writes: every write path must give the
// writer cells of its own and leave the other row as it was.
TEST(BufferLine, CopiesShareCellsUntilEitherWrites) {
    const CharData z(Attribute::defaultAttribute(), 'z');
    for (const WriteCase& c : writeCases()) {
        SCOPED_TRACE(c.name);
        auto alone = lineOf("abcdef");
        c.write(*alone);
        const std::string written = text(*alone);
        const std::vector<CharData> writtenCells = alone->getData();

        for (bool writeCopy : {false, true}) {
            SCOPED_TRACE(writeCopy ? "the copy writes" : "the original writes");
            auto original = lineOf("abcdef");
            BufferLine copy(*original);
            BufferLine& writer = writeCopy ? copy : *original;
            const BufferLine& reader = writeCopy ? *original : copy;
            c.write(writer);
            EXPECT_EQ(text(reader), "abcdef");
            EXPECT_EQ(text(writer), written);
            EXPECT_EQ(writer.getData(), writtenCells);
            // A second write finds the cells already its own.
            writer.set(0, z);
            EXPECT_EQ(text(reader), "abcdef");
        }
    }
}

TEST(BufferLine, CopyOfACopyAndADroppedCopy) {
    auto original = lineOf("abc");
    auto first = std::make_shared<BufferLine>(*original);
    BufferLine second(*first);
    first->set(0, CharData(Attribute::defaultAttribute(), 'x'));
    EXPECT_EQ(text(*original), "abc");
    EXPECT_EQ(text(second), "abc");
    EXPECT_EQ(text(*first), "xbc");
    // Once the other holders are gone the row writes its cells in place.
    first.reset();
    const CharData* before = second.cells();
    original.reset();
    second.set(1, CharData(Attribute::defaultAttribute(), 'y'));
    EXPECT_EQ(second.cells(), before);
    EXPECT_EQ(text(second), "ayc");
}

// A row that scrolls into the scroll-back keeps only the cells before its content mark, in the arena,
// and hands its block to the row reused in its place: both must read exactly as a row kept whole and a
// row cleared would, and every write to the kept row gives what it gives on a whole row.
TEST(BufferLine, RetiredRowsReadAndWriteAsWholeRows) {
    const Attribute blue(Attribute::Color::defaultColor(), Attribute::Color::ansi256(4), {});
    const CharData erase(blue, 0, 1);
    struct Case {
        const char* name;
        std::function<BufferLinePtr()> make;
    };
    const Case rows[] = {
        {"text", [] { return lineOf("abcdef", 12); }},
        {"blank", [] { return BufferLine::make(12); }},
        {"text on a coloured blank",
         [&] {
             auto line = BufferLine::make(12);
             line->clear(blue);
             line->set(2, CharData(Attribute::defaultAttribute(), 'q'));
             return line;
         }},
        {"a wide character last",
         [] {
             auto line = lineOf("ab", 12);
             line->set(2, CharData(Attribute::defaultAttribute(), 0x4E2D, 2));
             line->set(3, CharData(Attribute::defaultAttribute(), 0, 0));
             return line;
         }},
    };
    CellArena arena;
    for (const Case& r : rows) {
        SCOPED_TRACE(r.name);
        const auto whole = r.make();
        auto kept = r.make();
        auto next = lineOf("0123456789AB");
        next->attach(std::make_shared<FakeImage>());
        ASSERT_TRUE(kept->retire(*next, erase, arena));
        EXPECT_TRUE(kept->isCompact());
        EXPECT_EQ(kept->stored(), whole->contentEnd());
        EXPECT_EQ(kept->getData(), whole->getData());
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ((*kept)[i], (*whole)[i]) << "cell " << i;
        EXPECT_EQ(kept->getTrimmedLength(), whole->getTrimmedLength());
        EXPECT_EQ(kept->hasAnyContent(), whole->hasAnyContent());
        EXPECT_EQ(kept->translateToString(true), whole->translateToString(true));
        EXPECT_EQ(kept->translateToString(false, 3, 11), whole->translateToString(false, 3, 11));

        EXPECT_EQ(next->count(), 12);
        EXPECT_FALSE(next->isCompact());
        EXPECT_FALSE(next->images);
        EXPECT_EQ(next->getData(), std::vector<CharData>(12, erase));

        for (const WriteCase& c : writeCases()) {
            SCOPED_TRACE(c.name);
            auto expected = r.make();
            c.write(*expected);
            auto compact = r.make();
            auto spare = BufferLine::make(12);
            ASSERT_TRUE(compact->retire(*spare, erase, arena));
            c.write(*compact);
            EXPECT_EQ(compact->getData(), expected->getData());
            EXPECT_EQ(compact->contentEnd() <= compact->stored(), true);
        }
    }
}

// Rows that keep nearly all of their width, or share their block with a copy, are kept whole.
TEST(BufferLine, RowsThatGainNothingAreNotRetired) {
    CellArena arena;
    auto full = lineOf("abcdefghij", 12);
    auto next = BufferLine::make(12);
    EXPECT_FALSE(full->retire(*next, CharData::Null, arena));
    auto shared = lineOf("ab", 12);
    BufferLine copy(*shared);
    EXPECT_FALSE(shared->retire(*next, CharData::Null, arena));
    EXPECT_FALSE(shared->isCompact());
    EXPECT_EQ(text(copy), "ab..........");
}

// Links give way in the scroll-back without the rows growing back to full width or a copy changing.
TEST(BufferLine, DroppingLinksKeepsACompactRowCompactAndCopiesAsTheyWere) {
    CellArena arena;
    for (const bool compact : {false, true}) {
        SCOPED_TRACE(compact ? "compact" : "whole");
        auto row = lineOf("abc", 12);
        for (int c = 0; c < 2; ++c)
            row->cellToChange(c).setPayload(TinyAtom{7});
        if (compact) {
            auto next = BufferLine::make(12);
            ASSERT_TRUE(row->retire(*next, CharData::Null, arena));
        }
        BufferLine copy(*row);
        EXPECT_TRUE(row->dropPayloads());
        EXPECT_EQ(row->isCompact(), compact);
        EXPECT_EQ(text(*row), "abc.........");
        for (int c = 0; c < 12; ++c)
            EXPECT_FALSE((*row)[c].hasPayload()) << c;
        EXPECT_EQ(copy[1].payload().code, 7);
        EXPECT_FALSE(row->dropPayloads()) << "nothing left to drop";
    }
}
