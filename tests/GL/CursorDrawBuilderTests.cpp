// The cursor of the GPU path: hidden, off screen and in the off phase of a blink it draws nothing; each
// style's quads, the hollow frame without focus, and the character under a block.
#include "CaretView.h"
#include "CursorDrawBuilder.h"
#include "FakeAtlasDevice.h"
#include "GlyphEntries.h"
#include "ManualExecutor.h"
#include "ViewTestSupport.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace GLTest;
using namespace QuillabyTest;

namespace {

struct CursorFixture {
    ManualExecutor executor;
    TerminalView view{QRect(0, 0, 400, 240), testFont(), nullptr, &executor};
    FakeDevice atlasDevice;
    std::unique_ptr<GlyphAtlas> gray = GlyphAtlas::create(atlasDevice, 1024, 2048, GlyphAtlasFormat::grayscale);
    std::unique_ptr<GlyphAtlas> colour = GlyphAtlas::create(atlasDevice, 1024, 2048, GlyphAtlasFormat::bgra);
    GlyphRasterizer rasterizer;
    GlyphEntries entries{*gray, *colour, rasterizer};
    CursorDrawBuilder builder{&view, entries, *gray, *colour};
    QSizeF cell = view.cellDimension();

    CursorFixture() { view.setTerminalHasFocus(true); }
    CursorDrawData build(double scale = 1, bool blinkOn = true) {
        Buffer& b = view.terminal().displayBuffer();
        const int last = std::min(b.yDisp() + b.rows(), b.lines().count()) - 1;
        return builder.buildCursorDrawData(scale, cell.width(), cell.height(), 3, 0, b.yDisp(), b.yDisp(), last,
                                           blinkOn);
    }
    void style(CursorStyle style) { view.terminal().setCursorStyle(style); }
};

// The rectangles of a vertex list: every six vertices, corners 0 and 4.
std::vector<std::array<float, 4>> rects(const std::vector<ColorVertex>& vertices) {
    std::vector<std::array<float, 4>> out;
    for (size_t i = 0; i + 5 < vertices.size(); i += 6)
        out.push_back({vertices[i].position.x, vertices[i].position.y, vertices[i + 4].position.x,
                       vertices[i + 4].position.y});
    return out;
}

} // namespace

TEST(CursorDrawBuilder, EachStyleDrawsItsShapeInTheCaretColour) {
    CursorFixture f;
    f.view.feed("ab");
    const float x0 = float(f.cell.width() * 2 * 2);
    const float x1 = x0 + float(f.cell.width() * 2);
    const float bottom = float((f.view.height() - f.cell.height()) * 2);
    const float top = float(f.view.height() * 2);
    struct Case {
        CursorStyle style;
        std::array<float, 4> rect;
    };
    const std::vector<Case> cases = {
        {CursorStyle::steadyBlock, {x0, bottom, x1, top}},
        {CursorStyle::steadyUnderline, {x0, bottom, x1, bottom + 4}},
        {CursorStyle::steadyBar, {x0, bottom, x0 + 4, top}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.style));
        f.style(c.style);
        const CursorDrawData data = f.build(2);
        ASSERT_EQ(rects(data.colorVertices), (std::vector<std::array<float, 4>>{c.rect}));
        const Float4 colour = data.colorVertices[0].color;
        const QColor caret = f.view.caretView()->caretColor();
        EXPECT_FLOAT_EQ(colour.r, float(caret.redF()));
        EXPECT_FLOAT_EQ(colour.a, float(caret.alphaF()));
        EXPECT_TRUE(data.glyphVerticesGray.empty()); // nothing under the cell: it is blank
    }
}

TEST(CursorDrawBuilder, NothingWhenHiddenScrolledAwayOrInTheOffPhase) {
    CursorFixture f;
    f.style(CursorStyle::blinkBlock);
    EXPECT_FALSE(f.build(1, true).empty());
    EXPECT_TRUE(f.build(1, false).empty());
    f.style(CursorStyle::steadyBlock);
    EXPECT_FALSE(f.build(1, false).empty());

    f.view.feed("\x1b[?25l");
    EXPECT_TRUE(f.build().empty());
    f.view.feed("\x1b[?25h");
    EXPECT_FALSE(f.build().empty());

    // Scrolled back: the cursor's line is below the rows on display.
    for (int i = 0; i < 60; ++i)
        f.view.feed("line\r\n");
    f.view.scrollUp(30);
    EXPECT_TRUE(f.build().empty());
    f.builder.terminalView = nullptr;
    EXPECT_TRUE(f.build().empty());
}

TEST(CursorDrawBuilder, WithoutFocusAHollowFrameThreePointsWideWhateverTheStyle) {
    for (CursorStyle style : {CursorStyle::steadyBar, CursorStyle::steadyBlock}) {
        SCOPED_TRACE(int(style));
        CursorFixture f;
        f.style(style);
        f.view.setTerminalHasFocus(false);
        const float x1 = float(f.cell.width() * 2);
        const float bottom = float((f.view.height() - f.cell.height()) * 2);
        const float top = float(f.view.height() * 2);
        const std::vector<std::array<float, 4>> expected = {{0, bottom, x1, bottom + 6},
                                                            {0, top - 6, x1, top},
                                                            {0, bottom + 6, 6, top - 6},
                                                            {x1 - 6, bottom + 6, x1, top - 6}};
        EXPECT_EQ(rects(f.build(2).colorVertices), expected);
        // A caret that does not track focus keeps its shape.
        f.view.setCaretViewTracksFocus(false);
        EXPECT_EQ(rects(f.build(2).colorVertices).size(), 1u);
    }
}

TEST(CursorDrawBuilder, ABlockDrawsItsCharacterAgainInTheCaretTextColour) {
    CursorFixture f;
    f.style(CursorStyle::steadyBlock);
    f.view.setCaretTextColor(QColor(0, 0, 255));
    f.view.feed("W\x1b[D");
    CursorDrawData data = f.build();
    ASSERT_EQ(data.glyphVerticesGray.size(), 6u);
    EXPECT_EQ(data.glyphVerticesGray[0].color.b, 1);
    EXPECT_EQ(data.glyphVerticesGray[0].color.r, 0);
    // Kept inside the cell.
    for (const GlyphVertex& v : data.glyphVerticesGray) {
        EXPECT_GE(v.position.x, 0);
        EXPECT_LE(v.position.x, f.cell.width());
    }

}

TEST(CursorDrawBuilder, OnADoubleWidthLineTheBlockStartsAtTwiceItsColumnAndIsOneCellWide) {
    CursorFixture f;
    f.style(CursorStyle::steadyBlock);
    f.view.feed("\x1b#6\x1b[1;6H");
    const std::vector<std::array<float, 4>> got = rects(f.build().colorVertices);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_FLOAT_EQ(got[0][0], float(f.cell.width() * 10));
    EXPECT_FLOAT_EQ(got[0][2] - got[0][0], float(f.cell.width()));
}

// Fault pinned: a cursor waiting to wrap (column = the column count after a full line) vanished; it
// stands on the last column, as the caret of the painted path does.
TEST(CursorDrawBuilder, ACursorWaitingToWrapStandsOnTheLastColumn) {
    CursorFixture f;
    f.style(CursorStyle::steadyBlock);
    const int cols = f.view.terminal().cols();
    f.view.feed(std::string(size_t(cols), 'x'));
    ASSERT_EQ(f.view.terminal().displayBuffer().x(), cols);
    const std::vector<std::array<float, 4>> got = rects(f.build().colorVertices);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_FLOAT_EQ(got[0][0], float(f.cell.width() * (cols - 1)));
}
