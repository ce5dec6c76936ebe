// The row builder: segments and pieces of a row, the cells drawn as geometry or as Kitty placeholders,
// the looks of attributes, and the selected columns of a row.
#include "ColorConversion.h"
#include "ManualExecutor.h"
#include "RowBuilder.h"
#include "ViewTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace Tessaline;
using namespace QuillabyTest;

namespace {

struct ViewFixture {
    ManualExecutor executor;
    TerminalView view{QRect(0, 0, 400, 200), testFont(), nullptr, &executor};

    int lineIndex(int screenRow) { return view.terminal().displayBuffer().yDisp() + screenRow; }
    const BufferLine& line(int screenRow) {
        return *view.terminal().displayBuffer().lines()[lineIndex(screenRow)];
    }
    const ViewLineInfo& build(int screenRow, int cols) {
        return view.buildAttributedString(lineIndex(screenRow), line(screenRow), cols);
    }

    // "column/width: text|text|..." per segment, pieces separated by "|", selected pieces marked "*".
    std::string describe(const ViewLineInfo& info) {
        std::ostringstream out;
        for (const ViewLineSegment& segment : info.segments) {
            out << (&segment == info.segments.data() ? "" : " ") << segment.column << "/"
                << segment.columnWidth << ":";
            bool first = true;
            for (const ViewLinePiece& piece : info.piecesOf(segment)) {
                out << (first ? "" : "|") << (piece.selectionBackground ? "*" : "");
                first = false;
                for (int k = 0; k < piece.length; ++k)
                    out << view.terminal().character(info.text[size_t(piece.start + k)]);
            }
        }
        return out.str();
    }
};

} // namespace

TEST(RowBuilder, SegmentsAndPiecesOfARow) {
    struct Case {
        const char* name;
        std::string input;
        int cols;
        bool customGlyphs;
        std::string expected;
        int boxes;
        int blocks;
    };
    const std::vector<Case> cases = {
        {"two colours: one segment of two pieces", "\x1b[31mab\x1b[34mcd", 4, true, "0/1:ab|cd", 0, 0},
        {"the rest of the row in the default look", "\x1b[31mab\x1b[0m", 4, true, "0/1:ab|  ", 0, 0},
        {"narrow then wide: two segments", "a\u6f22b", 4, true, "0/1:a 1/2:\u6f22 3/1:b", 0, 0},
        {"a wide last cell ends the walk", "ab\u6f22", 3, true, "0/1:ab 2/2:\u6f22", 0, 0},
        {"a box character with custom glyphs: a space and an item", "a\u2500b", 3, true, "0/1:a| |b", 1, 0},
        {"without custom glyphs: the character", "a\u2500b", 3, false, "0/1:a\u2500b", 0, 0},
        {"a block element", "\u2588\u2593", 2, true, "0/1: | ", 0, 2},
        {"a character past the block elements", "\u25a0", 1, true, "0/1:\u25a0", 0, 0},
        {"an empty cell is a space", "\x1b[2Cx", 4, true, "0/1:  x ", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ViewFixture f;
        f.view.setCustomBlockGlyphs(c.customGlyphs);
        f.view.feed(c.input);
        const ViewLineInfo& info = f.build(0, c.cols);
        EXPECT_EQ(f.describe(info), c.expected);
        EXPECT_EQ(int(info.boxDrawings.size()), c.boxes);
        EXPECT_EQ(int(info.blockElements.size()), c.blocks);
        for (const ViewLineSegment& segment : info.segments)
            EXPECT_EQ(segment.characterCount, int(info.piecesOf(segment).size()));
    }
}

TEST(RowBuilder, ItemsCarryTheirColumnsAndColours) {
    ViewFixture f;
    f.view.feed("ab\x1b[32m\u2502\x1b[33m\u2580");
    const ViewLineInfo& info = f.build(0, 5);
    ASSERT_EQ(info.boxDrawings.size(), 1u);
    EXPECT_EQ(info.boxDrawings[0].column, 2);
    EXPECT_EQ(info.boxDrawings[0].codePoint, 0x2502u);
    EXPECT_EQ(info.boxDrawings[0].foregroundColor,
              f.view.mapColor(Attribute::Color::ansi256(2), true, false, true));
    ASSERT_EQ(info.blockElements.size(), 1u);
    EXPECT_EQ(info.blockElements[0].column, 3);
    EXPECT_EQ(info.blockElements[0].rects.size(), 1u);
}

TEST(RowBuilder, EmptyLinesAndLinesShorterThanTheRowAreBlank) {
    // An empty line has no last cell to repeat: it reads as blank cells.
    ViewFixture f;
    const BufferLine empty(0);
    const ViewLineInfo& info = f.view.buildAttributedString(0, empty, 3);
    EXPECT_EQ(f.describe(info), "0/1:   ");
    EXPECT_TRUE(f.view.buildAttributedString(0, empty, 0).segments.empty());

    BufferLine shorter(2);
    shorter.set(1, CharData(Attribute::defaultAttribute(), 'x'));
    EXPECT_EQ(f.describe(f.view.buildAttributedString(0, shorter, 4)), "0/1: xxx");
}

TEST(RowBuilder, KittyPlaceholderCellsBecomeSpacesAndContinueTheCellBefore) {
    ViewFixture f;
    // Image 42 (the foreground colour), image row 0 and column 0, then a cell that continues it.
    const std::string placeholder = "\U0010EEEE";
    f.view.feed("a\x1b[38;5;42m" + placeholder + "\u0305\u0305" + placeholder + "\x1b[0mb");
    const ViewLineInfo& info = f.build(0, 4);
    EXPECT_EQ(f.describe(info), "0/1:a| | |b");
    ASSERT_EQ(info.kittyPlaceholders.size(), 2u);
    EXPECT_EQ(info.kittyPlaceholders[0].imageId, 42u);
    EXPECT_EQ(info.kittyPlaceholders[0].col, 1);
    EXPECT_EQ(info.kittyPlaceholders[1].col, 2);
    EXPECT_EQ(info.kittyPlaceholders[1].placeholderCol, 1);
}

TEST(RowBuilder, LooksOfAttributes) {
    ViewFixture f;
    TerminalView& view = f.view;
    const QColor bg = view.nativeBackgroundColor();
    using C = Attribute::Color;

    const TextAttributes& inverse =
        view.getAttributes(Attribute(C::defaultColor(), C::defaultColor(), CharacterStyle::inverse), false);
    EXPECT_EQ(inverse.foreground, view.mapColor(C::defaultInvertedColor(), true, false, true));
    EXPECT_EQ(inverse.background, view.mapColor(C::defaultInvertedColor(), false, false, true));

    const TextAttributes& underlined =
        view.getAttributes(Attribute(C::ansi256(1), C::defaultColor(), CharacterStyle::underline), false);
    EXPECT_TRUE(underlined.underlined);
    EXPECT_EQ(underlined.underlineStyle, TextAttributes::underlineSingle);
    EXPECT_EQ(underlined.tessalineUnderlineStyle, 1);
    EXPECT_EQ(underlined.underlineColor, underlined.foreground);

    const TextAttributes& curlyRed =
        view.getAttributes(Attribute(C::defaultColor(), C::defaultColor(), CharacterStyle::underline,
                                     UnderlineStyle::curly, C::trueColor(255, 0, 0)),
                           false);
    EXPECT_EQ(curlyRed.underlineStyle, TextAttributes::underlineSingle);
    EXPECT_EQ(curlyRed.tessalineUnderlineStyle, 3);
    EXPECT_EQ(curlyRed.underlineColor, QColor(255, 0, 0));

    const TextAttributes& dottedLink = view.getAttributes(
        Attribute(C::defaultColor(), C::defaultColor(), CharacterStyle::underline, UnderlineStyle::dotted),
        true);
    EXPECT_EQ(dottedLink.tessalineUnderlineStyle, 5);
    EXPECT_EQ(dottedLink.underlineStyle, TextAttributes::underlineSingle);

    const TextAttributes& boldDimStruck =
        view.getAttributes(Attribute(C::ansi256(1), C::defaultColor(),
                                     {CharacterStyle::bold, CharacterStyle::dim, CharacterStyle::crossedOut}),
                           false);
    EXPECT_EQ(boldDimStruck.face, 1);
    EXPECT_EQ(boldDimStruck.foreground, dimmedColor(view.mapColor(C::ansi256(9), true, false, true), bg));
    EXPECT_TRUE(boldDimStruck.struckThrough);
    EXPECT_EQ(boldDimStruck.strikethroughColor, boldDimStruck.foreground);

    // Bright colours take the bold face when bold does not brighten.
    view.setUseBrightColors(false);
    view.colorsChanged();
    EXPECT_EQ(
        view.getAttributes(Attribute(C::ansi256(9), C::defaultColor(), CharacterStyle::italic), false).face,
        3);

    // The caret's look: the given colours, swapped for inverse; no dim.
    const TextAttributes given = view.getAttributedValue(
        Attribute(C::ansi256(1), C::defaultColor(), {CharacterStyle::inverse, CharacterStyle::dim}), Qt::red,
        Qt::blue);
    EXPECT_EQ(given.foreground, QColor(Qt::blue));
    EXPECT_EQ(given.background, QColor(Qt::red));
}

TEST(RowBuilder, LooksAreCachedUntilColoursChange) {
    ViewFixture f;
    const Attribute red(Attribute::Color::ansi256(1), Attribute::Color::defaultColor(), CharacterStyle::none);
    const TextAttributes* first = &f.view.getAttributes(red, false);
    EXPECT_EQ(first, &f.view.getAttributes(red, false));
    EXPECT_NE(first, &f.view.getAttributes(red, true));
    f.view.installColors(std::vector<Color>(16, Color(0, 0xFFFF, 0)));
    EXPECT_EQ(f.view.rowBuilder().cachedCount(), 0u);
    EXPECT_EQ(f.view.getAttributes(red, false).foreground, QColor(0, 255, 0));
}

TEST(RowBuilder, SelectedColumnsOfRows) {
    ViewFixture f;
    const int cols = f.view.terminal().cols();
    const int last = cols - 1;
    struct Case {
        const char* name;
        Position start;
        Position end;
        int row;
        std::optional<ColumnRange> expected;
    };
    const std::vector<Case> cases = {
        {"one row, columns 3 to 7", {3, 0}, {7, 0}, 0, ColumnRange{3, 7}},
        {"one row ending on the last column takes it", {3, 0}, {last, 0}, 0, ColumnRange{3, cols}},
        {"one row backwards", {7, 0}, {3, 0}, 0, ColumnRange{3, 7}},
        {"one row backwards from the last column takes it", {last, 0}, {3, 0}, 0, ColumnRange{3, cols}},
        {"start row of three", {5, 0}, {2, 2}, 0, ColumnRange{5, cols}},
        {"middle row", {5, 0}, {2, 2}, 1, ColumnRange{0, cols}},
        {"end row", {5, 0}, {2, 2}, 2, ColumnRange{0, 2}},
        {"end row on the last column", {5, 0}, {last, 2}, 2, ColumnRange{0, cols}},
        {"end above start", {2, 2}, {5, 0}, 0, ColumnRange{5, cols}},
        {"start row below the end", {2, 2}, {5, 0}, 2, ColumnRange{0, 2}},
        {"a row outside", {5, 0}, {2, 2}, 3, std::nullopt},
        {"an empty end row", {5, 0}, {0, 2}, 2, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f.view.selection().setSelection(c.start, c.end);
        EXPECT_EQ(f.view.selectedColumnsRange(c.row, cols), c.expected);
    }
    f.view.selection().setActive(false);
    EXPECT_FALSE(f.view.selectedColumnsRange(0, cols));
}

TEST(RowBuilder, SelectedCellsStartAPieceOfTheirOwnWithTheSelectionColour) {
    ViewFixture f;
    f.view.feed("abcdef");
    f.view.selection().setSelection(Position(2, f.lineIndex(0)), Position(4, f.lineIndex(0)));
    const ViewLineInfo& info = f.build(0, 6);
    EXPECT_EQ(f.describe(info), "0/1:ab|*cd|ef");
    EXPECT_EQ(info.pieces[1].selectionBackground, f.view.selectedTextBackgroundColor());
    EXPECT_EQ(info.pieces[0].attributes, info.pieces[1].attributes);
}

TEST(RowBuilder, LinkHighlightsByMode) {
    struct Case {
        const char* name;
        LinkHighlightMode mode;
        bool modifier;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"hover", LinkHighlightMode::hover, false, "0/1:ab|cd|e"},
        {"hover needing the modifier, without it", LinkHighlightMode::hoverWithModifier, false, "0/1:abcde"},
        {"hover needing the modifier, with it", LinkHighlightMode::hoverWithModifier, true, "0/1:ab|cd|e"},
        {"always: the explicit link's cells", LinkHighlightMode::always, false, "0/1:a|bcd|e"},
        {"always with the modifier, without it", LinkHighlightMode::alwaysWithModifier, false, "0/1:abcde"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ViewFixture f;
        f.view.feed("a\x1b]8;;http://x\x1b\\bcd\x1b]8;;\x1b\\e");
        f.view.setLinkHighlightMode(c.mode);
        f.view.setCommandActive(c.modifier);
        f.view.setLinkHighlightRange(std::vector{Terminal::LinkMatch::RowRange{f.lineIndex(0), {2, 4}}});
        const ViewLineInfo& info = f.build(0, 5);
        EXPECT_EQ(f.describe(info), c.expected);
        if (info.pieces.size() == 3) {
            EXPECT_EQ(info.pieces[1].attributes->tessalineUnderlineStyle, 5);
        }
    }
}
