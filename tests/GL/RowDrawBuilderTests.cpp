// Row records of the GPU path, built against a fake atlas device and fake GPU buffers: glyphs on the cell
// grid, backgrounds, underline and strikethrough pieces, line-size transforms, images in their layers and
// placeholder cells.
#include "FakeAtlasDevice.h"
#include "FakeGpuDevice.h"
#include "ImageTextures.h"
#include "ManualExecutor.h"
#include "RowDrawBuilder.h"
#include "ViewTestSupport.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

using namespace Tessaline;
using namespace GLTest;
using namespace QuillabyTest;

namespace {

struct RowFixture {
    explicit RowFixture(QRect frame = QRect(0, 0, 800, 240), double pixelSize = 14)
        : view(frame, testFont(pixelSize), nullptr, &executor) {}

    ManualExecutor executor;
    TerminalView view;
    FakeDevice atlasDevice;
    std::unique_ptr<GlyphAtlas> gray = GlyphAtlas::create(atlasDevice, 1024, 2048, GlyphAtlasFormat::grayscale);
    std::unique_ptr<GlyphAtlas> colour = GlyphAtlas::create(atlasDevice, 1024, 2048, GlyphAtlasFormat::bgra);
    GlyphRasterizer rasterizer;
    GlyphEntries entries{*gray, *colour, rasterizer};
    FakeGpuDevice gpu;
    ImageTextures images{gpu, &view};
    RowDrawBuilder builder{&view, entries, *gray, *colour, images, gpu};
    QSizeF cell = view.cellDimension();

    Buffer& buffer() { return view.terminal().displayBuffer(); }
    double yOffset() const {
        const QFontMetricsF metrics(view.fontSet().normal);
        return std::ceil(metrics.descent() + metrics.leading());
    }
    // The records of a screen row at a scale.
    RowDrawData row(int screenRow, double scale = 1, const VirtualPlacements& placements = {}) {
        Buffer& b = buffer();
        return builder.buildRowDrawData(b.yDisp() + screenRow, b, b.yDisp(), cell.width(), cell.height(), yOffset(),
                                        scale * view.width(), scale, placements);
    }
    VirtualPlacements virtualPlacements() {
        VirtualPlacements out;
        const bool alternate = view.terminal().isCurrentBufferAlternate();
        for (const auto& [key, record] : view.terminal().kittyGraphicsState.placementsByKey)
            if (record.isVirtual && record.isAlternateBuffer == alternate) out[record.imageId].push_back(record);
        return out;
    }
};

bool near(double a, double b) {
    return std::abs(a - b) < 1e-3;
}

} // namespace

// Fault pinned: glyphs placed at the shaper's advances drift off the cell grid whenever the font's advance
// is not a whole number of pixels (8.43 px here against 9 px cells: some 45 px over 80 columns).
TEST(RowDrawBuilder, EveryGlyphOfAFullRowSitsOnItsCell) {
    for (double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        RowFixture f(QRect(0, 0, 760, 120));
        const int cols = f.view.terminal().cols();
        ASSERT_GE(cols, 80);
        const double advance = QFontMetricsF(f.view.fontSet().normal).horizontalAdvance(QLatin1Char('x'));
        ASSERT_NE(advance, std::round(advance));
        f.view.feed(std::string(size_t(cols), 'x'));
        const RowDrawData data = f.row(0, scale);
        ASSERT_EQ(data.glyphCellsGray.size(), size_t(cols));
        const double first = data.glyphCellsGray[0].position.x;
        for (size_t i = 0; i < size_t(cols); ++i)
            EXPECT_TRUE(near(data.glyphCellsGray[i].position.x - first, f.cell.width() * scale * double(i))) << i;
    }
}

// A run with more glyphs than cells (a combining mark) still puts each glyph on its own cell.
TEST(RowDrawBuilder, GlyphsOfClustersStayOnTheirCells) {
    RowFixture f;
    f.view.feed("xq\u0301xx"); // no precomposed q with acute: two glyphs in one cell
    const RowDrawData data = f.row(0);
    ASSERT_EQ(data.glyphCellsGray.size(), 5u);
    const std::vector<TextCell>& glyphs = data.glyphCellsGray;
    const float first = glyphs.front().position.x;
    // The last two glyphs are the x of columns 2 and 3.
    EXPECT_TRUE(near(glyphs[glyphs.size() - 2].position.x - first, 2 * f.cell.width()));
    EXPECT_TRUE(near(glyphs.back().position.x - first, 3 * f.cell.width()));
    // The q and its accent lie on column 1.
    for (size_t i = 1; i + 2 < glyphs.size(); ++i) {
        EXPECT_GE(glyphs[i].position.x, f.cell.width() - 2);
        EXPECT_LT(glyphs[i].position.x, 2 * f.cell.width());
    }
}

TEST(RowDrawBuilder, BlankCellsGiveNoGlyphsAndAnEmptyOrOutOfRangeRowNothing) {
    RowFixture f;
    f.view.feed("a b");
    RowDrawData data = f.row(0);
    EXPECT_EQ(data.glyphCellsGray.size(), 2u);
    // A space never reaches the atlas: nothing was cached for it, and nothing is drawn for it.
    EXPECT_EQ(f.entries.glyphCache.size(), 2);
    data = f.row(1);
    EXPECT_TRUE(data.glyphCellsGray.empty());
    EXPECT_TRUE(data.decorationCells.empty());

    const int lines = f.buffer().lines().count();
    data = f.builder.buildRowDrawData(lines, f.buffer(), f.buffer().yDisp(), f.cell.width(), f.cell.height(), 0,
                                      800, 1, {});
    EXPECT_TRUE(data.backgroundCells.empty() && data.glyphCellsGray.empty());
}

TEST(RowDrawBuilder, ABackgroundOnTheLastColumnReachesTheRightEdgeAndSelectionReplacesIt) {
    RowFixture f(QRect(0, 0, 805, 120));
    const int cols = f.view.terminal().cols();
    f.view.feed("\x1b[1;" + std::to_string(cols) + "H\x1b[41mx\x1b[0m\x1b[2;3H\x1b[44mab\x1b[0m");
    const double scale = 2;
    const Float4 red = colorToSIMD(f.view.mapColor(Attribute::Color::ansi256(1), false, false, true));
    const Float4 blue = colorToSIMD(f.view.mapColor(Attribute::Color::ansi256(4), false, false, true));

    auto find = [](const RowDrawData& data, Float4 color) -> const ColorCell* {
        for (const ColorCell& c : data.backgroundCells)
            if (c.color.r == color.r && c.color.g == color.g && c.color.b == color.b) return &c;
        return nullptr;
    };
    const RowDrawData first = f.row(0, scale);
    const ColorCell* last = find(first, red);
    ASSERT_TRUE(last);
    EXPECT_TRUE(near(last->position.x, f.cell.width() * scale * (cols - 1)));
    EXPECT_TRUE(near(last->position.x + last->size.x, 805 * scale));
    EXPECT_TRUE(near(last->size.y, f.cell.height() * scale));

    const RowDrawData middle = f.row(1, scale);
    const ColorCell* run = find(middle, blue);
    ASSERT_TRUE(run);
    EXPECT_TRUE(near(run->position.x, f.cell.width() * scale * 2));
    EXPECT_TRUE(near(run->size.x, f.cell.width() * scale * 2));
    // Row 1 lies one cell below row 0 in the y-up drawable.
    EXPECT_TRUE(near(run->position.y, (f.view.height() - 2 * f.cell.height()) * scale));

    const QColor selection(10, 200, 30);
    f.view.setSelectedTextBackgroundColor(selection);
    const int line = f.buffer().yDisp() + 1;
    f.view.selection().setSelection(Position(3, line), Position(5, line));
    const RowDrawData selectedRow = f.row(1, scale);
    const ColorCell* selected = find(selectedRow, colorToSIMD(selection));
    ASSERT_TRUE(selected);
    EXPECT_TRUE(near(selected->position.x, f.cell.width() * scale * 3));
}

TEST(RowDrawBuilder, UnderlineStylesMakeTheirPieces) {
    // Thickness 2 px at scale 2 over one 20 px cell from x 0, centred on y 50.
    struct Case {
        UnderlineStyle style;
        std::vector<std::pair<float, float>> pieces; // x0, x1
    };
    const std::vector<Case> cases = {
        {UnderlineStyle::none, {}},
        {UnderlineStyle::single, {{0, 20}}},
        {UnderlineStyle::double_, {{0, 20}}},
        // Dots of 2 every 6 px; dashes of 4 every 8 px, the last cut at the cell's edge.
        {UnderlineStyle::dotted, {{0, 2}, {6, 8}, {12, 14}, {18, 20}}},
        {UnderlineStyle::dashed, {{0, 4}, {8, 12}, {16, 20}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.style));
        std::vector<ColorCell> out;
        RowDrawBuilder::appendUnderlineSegments(0, 20, 50, 2, {1, 1, 1, 1}, c.style, 2,
                                                BufferLine::RenderLineMode::single, std::nullopt, 0, out);
        ASSERT_EQ(out.size(), c.pieces.size());
        for (size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(out[i].position.x, c.pieces[i].first);
            EXPECT_EQ(out[i].position.x + out[i].size.x, c.pieces[i].second);
            EXPECT_EQ(out[i].position.y, 49);
            EXPECT_EQ(out[i].size.y, 2);
        }
    }
    // Curly: steps of 2 px whose centres follow a sine of 8 px.
    std::vector<ColorCell> curly;
    RowDrawBuilder::appendUnderlineSegments(0, 20, 50, 2, {1, 1, 1, 1}, UnderlineStyle::curly, 2,
                                            BufferLine::RenderLineMode::single, std::nullopt, 0, curly);
    ASSERT_EQ(curly.size(), 10u);
    EXPECT_EQ(curly[0].position.y, 49);     // sin 0
    EXPECT_EQ(curly[1].position.y, 49 + 2); // sin(pi/2) x 2
    EXPECT_TRUE(near(curly[3].position.y, 49 - 2));
    // Without a positive step a pattern draws one solid piece instead of never ending.
    std::vector<ColorCell> flat;
    RowDrawBuilder::appendUnderlineSegments(0, 20, 50, 0, {1, 1, 1, 1}, UnderlineStyle::dotted, 0,
                                            BufferLine::RenderLineMode::single, std::nullopt, 0, flat);
    EXPECT_EQ(flat.size(), 1u);
    // On a double-width row every x doubles.
    std::vector<ColorCell> wide;
    RowDrawBuilder::appendUnderlineSegments(10, 20, 50, 2, {1, 1, 1, 1}, UnderlineStyle::single, 2,
                                            BufferLine::RenderLineMode::doubleWidth, std::nullopt, 0, wide);
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(wide[0].position.x, 20);
    EXPECT_EQ(wide[0].size.x, 20);
}

TEST(RowDrawBuilder, DecorationsOfALookFollowTheirStyles) {
    RowFixture f;
    const RowGeometry g =
        RowGeometry::make(0, 0, f.cell.width(), f.cell.height(), f.view.height(), 1, 800, BufferLine::RenderLineMode::single);
    auto lines = [&](const TextAttributes& look) {
        std::vector<ColorCell> out;
        f.builder.appendDecorations(look, 0, 1, f.cell.width(), 100, 1, g, out);
        return out;
    };
    TextAttributes look;
    look.underlined = true;
    look.underlineStyle = TextAttributes::underlineDouble;
    look.tessalineUnderlineStyle = int(UnderlineStyle::double_);
    std::vector<ColorCell> out = lines(look);
    ASSERT_EQ(out.size(), 2u);
    // The second line lies one thickness and one point lower.
    EXPECT_TRUE(near(out[0].position.y - out[1].position.y, out[0].size.y + 1));
    EXPECT_EQ(out[0].size.y, out[1].size.y);

    // An underline value of 0 draws nothing, whatever the cell's own style says.
    look.underlineStyle = 0;
    look.tessalineUnderlineStyle = int(UnderlineStyle::curly);
    EXPECT_TRUE(lines(look).empty());

    // Strikethrough: 0x9 two solid lines, 0x201 dashes, across the cell.
    TextAttributes struck;
    struck.struckThrough = true;
    struck.strikethroughStyle = 0x9;
    out = lines(struck);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].size.x, float(f.cell.width()));
    EXPECT_GT(out[0].position.y, 100); // above the baseline
    EXPECT_LT(out[1].position.y, out[0].position.y);
    struck.strikethroughStyle = 0x201;
    out = lines(struck);
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out[0].position.x, 0);
    EXPECT_EQ(out[0].size.x, 2); // 2 x max(thickness 1, scale 1)
    EXPECT_EQ(out[1].position.x, 4);

    // Through the row: SGR 4:3 underlines each cell of "ab" with a wave.
    f.view.feed("\x1b[4:3mab\x1b[0m");
    const RowDrawData data = f.row(0);
    ASSERT_FALSE(data.decorationCells.empty());
    float right = 0;
    for (const ColorCell& piece : data.decorationCells)
        right = std::max(right, piece.position.x + piece.size.x);
    EXPECT_EQ(right, float(f.cell.width() * 2));
}

TEST(RowDrawBuilder, DoubleSizeRowsDoubleTheirGlyphsAndKeepToTheirBand) {
    RowFixture f;
    f.view.feed("\x1b#6   W\r\n\x1b#3W\r\n\x1b#4W");
    const RowDrawData wide = f.row(0);
    ASSERT_EQ(wide.glyphCellsGray.size(), 1u);
    const RowDrawData plain = [&] {
        RowFixture g;
        g.view.feed("   W");
        return g.row(0);
    }();
    ASSERT_EQ(plain.glyphCellsGray.size(), 1u);
    const TextCell& w = wide.glyphCellsGray[0];
    const TextCell& p = plain.glyphCellsGray[0];
    // Column 3 starts at 6 cell widths, twice as wide, as high as before.
    EXPECT_TRUE(near(w.position.x, 2 * p.position.x));
    EXPECT_TRUE(near(w.size.x, 2 * p.size.x));
    EXPECT_TRUE(near(w.size.y, p.size.y));
    // Fault pinned: magnified, a glyph sampled up to its region's edge picked up its atlas neighbours
    // (faint lines along the glyph's sides); half a texel stays clear on each side.
    const float texel = 1.0f / float(f.gray->size());
    EXPECT_FLOAT_EQ(w.texOrigin.x, p.texOrigin.x + texel / 2);
    EXPECT_FLOAT_EQ(w.texSize.x, p.texSize.x - texel);
    EXPECT_FLOAT_EQ(w.texSize.y, p.texSize.y);

    const double cellHeight = f.cell.height();
    for (int screenRow : {1, 2}) {
        SCOPED_TRACE(screenRow);
        const RowDrawData data = f.row(screenRow);
        ASSERT_EQ(data.glyphCellsGray.size(), 1u);
        const TextCell& glyph = data.glyphCellsGray[0];
        const double bottom = f.view.height() - cellHeight * (screenRow + 1);
        EXPECT_GE(glyph.position.y, bottom - 1e-3);
        EXPECT_LE(glyph.position.y + glyph.size.y, bottom + cellHeight + 1e-3);
        // The glyph's texture rectangle of the plain row, cut: the upper part shows on the top half, the
        // lower part on the bottom half.
        const float top = p.texOrigin.y + p.texSize.y;
        if (screenRow == 1) {
            EXPECT_TRUE(near(glyph.texOrigin.y + glyph.texSize.y, top));
            EXPECT_GT(glyph.texOrigin.y, p.texOrigin.y);
        } else {
            EXPECT_TRUE(near(glyph.texOrigin.y, p.texOrigin.y));
            EXPECT_LT(glyph.texOrigin.y + glyph.texSize.y, top);
        }
        for (const ColorCell& background : data.backgroundCells) {
            EXPECT_TRUE(near(background.position.y, bottom));
            EXPECT_TRUE(near(background.size.y, cellHeight));
        }
    }
}

TEST(RowDrawBuilder, KittyStripsGoUnderOrOverTheTextByZIndexAndOtherImagesLast) {
    RowFixture f;
    const QSize size = QSizeF(f.cell.width() * 2, f.cell.height()).toSize();
    f.view.feed("\x1b_Ga=T,f=100,q=2,C=1,c=2,r=1,z=-1;" + halvesPng(size) + "\x1b\\");
    f.view.feed("\x1b_Ga=T,f=100,q=2,C=1,c=2,r=1,z=0;" + halvesPng(size) + "\x1b\\");
    std::vector<uint8_t> bytes(size_t(size.width() * size.height() * 4), 255);
    f.view.createImageFromBitmap(f.view.terminal(), bytes, size.width(), size.height());
    const RowDrawData data = f.row(0);
    ASSERT_EQ(data.underImageDraws.size(), 1u);
    ASSERT_EQ(data.overImageDraws.size(), 1u);
    ASSERT_EQ(data.otherImageDraws.size(), 1u);
    const ImageDraw& under = data.underImageDraws[0];
    ASSERT_EQ(under.vertices.size(), 6u);
    // Hanging from the row's top edge, a cell high, the full texture from its bottom-left corner.
    const float top = float(f.view.height());
    EXPECT_EQ(under.vertices[0].position.x, 0);
    EXPECT_TRUE(near(under.vertices[0].position.y, top - size.height()));
    EXPECT_TRUE(near(under.vertices[4].position.y, top));
    EXPECT_EQ(under.vertices[0].texCoord.x, 0);
    EXPECT_EQ(under.vertices[0].texCoord.y, 0);
    EXPECT_EQ(under.vertices[4].texCoord.x, 1);
    EXPECT_EQ(under.vertices[4].texCoord.y, 1);

    // Built again: the strips' textures are made once.
    const int made = f.gpu.texturesMade;
    f.row(0);
    EXPECT_EQ(f.gpu.texturesMade, made);
    EXPECT_EQ(f.images.stripTextureCount(), 3u);
    // A reset drops the strips; the next prune forgets their textures.
    f.view.feed("\x1b" "c");
    f.images.pruneKittyTextureCache();
    EXPECT_EQ(f.images.stripTextureCount(), 0u);
}

TEST(RowDrawBuilder, PlaceholderCellsDrawTheirSliceAndAPlacementWithoutColumnsNothing) {
    RowFixture f;
    const QSize size = QSizeF(f.cell.width() * 2, f.cell.height()).toSize();
    const std::string placeholder = "\U0010EEEE";
    f.view.feed("\x1b_Ga=t,f=100,i=42,q=2;" + halvesPng(size) + "\x1b\\\x1b_Ga=p,U=1,i=42,c=2,r=1,q=2\x1b\\");
    f.view.feed("\x1b[1;4H\x1b[38;5;42m" + placeholder + "\u0305\u0305" + placeholder + "\x1b[0m");
    VirtualPlacements placements = f.virtualPlacements();
    ASSERT_EQ(placements[42].size(), 1u);
    RowDrawData data = f.row(0, 1, placements);
    ASSERT_EQ(data.placeholderImageDraws.size(), 2u);
    // The first cell shows the image's left half, the second its right half.
    const std::vector<GlyphVertex>& left = data.placeholderImageDraws[0].vertices;
    const std::vector<GlyphVertex>& right = data.placeholderImageDraws[1].vertices;
    EXPECT_TRUE(near(left[0].position.x, f.cell.width() * 3));
    EXPECT_TRUE(near(left[0].texCoord.x, 0));
    EXPECT_TRUE(near(left[4].texCoord.x, 0.5));
    EXPECT_TRUE(near(right[0].texCoord.x, 0.5));
    EXPECT_TRUE(near(right[4].texCoord.x, 1));
    EXPECT_EQ(f.images.kittyTextureCount(), 1u);

    placements[42][0].cols = 0;
    data = f.row(0, 1, placements);
    EXPECT_TRUE(data.placeholderImageDraws.empty());
    // Without its placement, nothing.
    EXPECT_TRUE(f.row(0, 1, {}).placeholderImageDraws.empty());
}

TEST(RowDrawBuilder, RowBuffersAreExactAndAFailedBufferLeavesItsListOut) {
    RowFixture f;
    f.view.feed("\x1b[41mab\x1b[4m c\x1b[0m");
    const RowDrawData data = f.row(0);
    RowDrawBuffers buffers = f.builder.makeRowBuffers(data);
    EXPECT_EQ(buffers.backgroundCount, int(data.backgroundCells.size()));
    ASSERT_TRUE(buffers.backgroundBuffer);
    EXPECT_EQ(buffers.backgroundBuffer->length(), data.backgroundCells.size() * sizeof(ColorCell));
    ASSERT_TRUE(buffers.glyphGrayBuffer);
    EXPECT_EQ(buffers.glyphGrayBuffer->length(), data.glyphCellsGray.size() * sizeof(TextCell));
    const auto stored = static_cast<FakeGpuBuffer&>(*buffers.glyphGrayBuffer).records<TextCell>(3);
    EXPECT_EQ(stored[2].position.x, data.glyphCellsGray[2].position.x);
    EXPECT_FALSE(buffers.glyphColorBuffer);
    EXPECT_EQ(buffers.glyphColorCount, 0);

    f.gpu.buffersLeft = 0;
    buffers = f.builder.makeRowBuffers(data);
    EXPECT_FALSE(buffers.backgroundBuffer);
    EXPECT_EQ(buffers.backgroundCount, 0);
}

TEST(RowDrawBuilder, TheVisibleRangeEndsAtTheLastLineHeld) {
    RowFixture f;
    const std::optional<VisibleRows> rows = RowDrawBuilder::visibleRowRange(f.buffer());
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->firstRow, f.buffer().yDisp());
    EXPECT_EQ(rows->lastRow, std::min(f.buffer().yDisp() + f.buffer().rows(), f.buffer().lines().count()) - 1);
}
