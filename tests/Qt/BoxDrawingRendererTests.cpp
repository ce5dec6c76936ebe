// Block elements and box drawing as geometry: the rectangles, rings and strokes each character asks of its
// canvas, in device pixels of the cell, and a full block filling its cell exactly on screen.
#include "BlockElementMapping.h"
#include "BoxDrawingRenderer.h"
#include "GlyphCanvas.h"
#include "ManualExecutor.h"
#include "ViewTestSupport.h"

#include <QImage>
#include <QPainter>
#include <QTransform>

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <tuple>
#include <vector>

using namespace Tessaline;
using namespace QuillabyTest;

namespace {

// Records what is drawn, mapped to device pixels (the canvas's logical pixels times `deviceScale`).
class RecordingCanvas final : public GlyphCanvas {
public:
    explicit RecordingCanvas(double deviceScale = 1)
        : _transform(QTransform::fromScale(deviceScale, deviceScale)) {}

    struct Fill {
        QRectF rect;
        QColor color;
    };
    std::vector<Fill> fills;
    std::vector<std::string> paths;
    bool antialiasing = false;

    void setColor(const QColor& color) override { _color = color; }
    void fillRect(const QRectF& rect) override { fills.push_back({_transform.mapRect(rect), _color}); }
    void save() override { _saved.push_back({_transform, antialiasing}); }
    void restore() override {
        std::tie(_transform, antialiasing) = _saved.back();
        _saved.pop_back();
    }
    void translate(double dx, double dy) override {
        _transform = QTransform::fromTranslate(dx, dy) * _transform;
    }
    void scale(double sx, double sy) override { _transform = QTransform::fromScale(sx, sy) * _transform; }
    void clipRect(const QRectF& rect) override { paths.push_back("clip " + text(_transform.mapRect(rect))); }
    void fillCircles(std::span<const Circle> circles, bool evenOdd) override {
        std::ostringstream out;
        out << (evenOdd ? "ring" : "disc");
        for (const Circle& circle : circles) {
            const QPointF centre = _transform.map(circle.centre);
            out << " (" << round2(centre.x()) << "," << round2(centre.y()) << " r"
                << round2(circle.radius * _transform.m11()) << ")";
        }
        paths.push_back(out.str());
    }
    void strokeLine(QPointF from, QPointF to, double width) override {
        std::ostringstream out;
        const QPointF a = _transform.map(from), b = _transform.map(to);
        out << "line " << round2(a.x()) << "," << round2(a.y()) << " " << round2(b.x()) << ","
            << round2(b.y()) << " w" << round2(width * _transform.m11()) << (antialiasing ? " aa" : "");
        paths.push_back(out.str());
    }
    void setAntialiasing(bool on) override { antialiasing = on; }

    // The fills as "x0,y0,x1,y1", rounded to whole pixels.
    std::vector<std::string> rects() const {
        std::vector<std::string> out;
        for (const Fill& fill : fills)
            out.push_back(text(fill.rect));
        return out;
    }

    static double round2(double v) { return std::round(v * 100) / 100; }
    static std::string text(const QRectF& r) {
        std::ostringstream out;
        out << round2(r.left()) << "," << round2(r.top()) << "," << round2(r.right()) << ","
            << round2(r.bottom());
        return out.str();
    }

private:
    QTransform _transform;
    std::vector<std::pair<QTransform, bool>> _saved;
    QColor _color;
};

using Rects = std::vector<std::string>;

} // namespace

TEST(BoxDrawingRenderer, LineCharactersFillTheirBandsAtTwoCellSizesAndThicknesses) {
    struct Case {
        const char* name;
        uint32_t codePoint;
        QSizeF cell;
        double scale;
        int base;
        Rects expected;
    };
    const std::vector<Case> cases = {
        // A 16 x 32 pixel cell with lines 2 pixels wide, at scale 1 and at scale 2.
        {"light horizontal", 0x2500, {16, 32}, 1, 2, {"7,15,16,17", "0,15,9,17"}},
        {"light horizontal at scale 2", 0x2500, {8, 16}, 2, 2, {"7,15,16,17", "0,15,9,17"}},
        {"heavy cross", 0x254B, {16, 32}, 1, 2, {"6,0,10,18", "6,14,16,18", "6,14,10,32", "0,14,10,18"}},
        {"double cross",
         0x256C,
         {16, 32},
         1,
         2,
         {"5,0,7,15", "9,0,11,15", "9,13,16,15", "9,17,16,19", "5,17,7,32", "9,17,11,32", "0,13,7,15",
          "0,17,7,19"}},
        // A 10 x 20 pixel cell with lines 1 pixel wide.
        {"thin light horizontal", 0x2500, {10, 20}, 1, 1, {"4,9,10,10", "0,9,5,10"}},
        {"thin double horizontal",
         0x2550,
         {10, 20},
         1,
         1,
         {"4,8,10,9", "4,10,10,11", "0,8,5,9", "0,10,5,11"}},
        {"thin heavy vertical", 0x2503, {10, 20}, 1, 1, {"4,0,6,10", "4,9,6,20"}},
        {"light down and right", 0x250C, {10, 20}, 1, 1, {"4,9,10,10", "4,9,5,20"}},
        {"down light and right heavy", 0x250D, {10, 20}, 1, 1, {"4,9,10,11", "4,9,5,20"}},
        {"a base thinner than the scale is raised to it", 0x2502, {8, 16}, 2, 1, {"7,0,9,17", "7,15,9,32"}},
        {"a line thicker than the cell is held to it", 0x2502, {4, 8}, 1, 9, {"0,0,4,8", "0,0,4,8"}},
        // Dashes.
        {"triple dash horizontal", 0x2504, {16, 32}, 1, 2, {"1,15,5,17", "7,15,10,17", "12,15,15,17"}},
        {"triple dash vertical", 0x2506, {16, 32}, 1, 2, {"7,0,9,7", "7,11,9,18", "7,22,9,28"}},
        {"heavy double dash horizontal", 0x254D, {16, 32}, 1, 2, {"2,14,6,18", "10,14,14,18"}},
        {"quadruple dash at scale 2",
         0x2508,
         {8, 16},
         2,
         2,
         {"1,15,3,17", "5,15,7,17", "9,15,11,17", "13,15,15,17"}},
        {"a cell 3 pixels wide dashes solidly", 0x2504, {3, 32}, 1, 2, {"0,15,3,17"}},
        // Block elements are not box drawing.
        {"full block", 0x2588, {16, 32}, 1, 2, {}},
        {"outside the range", 0x25A0, {16, 32}, 1, 2, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingCanvas canvas(c.scale);
        BoxDrawingRenderer::draw(c.codePoint, canvas, QPointF(0, 0), c.cell, c.scale, Qt::white, c.base);
        EXPECT_EQ(canvas.rects(), c.expected);
        EXPECT_TRUE(canvas.paths.empty());
    }
}

TEST(BoxDrawingRenderer, ArcsAreRingsClippedToTheirQuarterAndDiagonalsAntialiasedStrokes) {
    struct Case {
        const char* name;
        uint32_t codePoint;
        Rects rects;
        std::vector<std::string> paths;
    };
    const std::vector<Case> cases = {
        {"arc up and right",
         0x2570,
         {"7,0,9,12", "12,15,16,17"},
         {"clip 0,11.2,12.8,32", "ring (12.8,11.2 r5.8) (12.8,11.2 r3.8)"}},
        {"arc down and right",
         0x256D,
         {"7,20,9,32", "12,15,16,17"},
         {"clip 0,0,12.8,20.8", "ring (12.8,20.8 r5.8) (12.8,20.8 r3.8)"}},
        {"diagonal from the upper right", 0x2571, {}, {"line 16.25,-0.5 -0.25,32.5 w3 aa"}},
        {"both diagonals",
         0x2573,
         {},
         {"line 16.25,-0.5 -0.25,32.5 w3 aa", "line -0.25,-0.5 16.25,32.5 w3 aa"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingCanvas canvas;
        BoxDrawingRenderer::draw(c.codePoint, canvas, QPointF(0, 0), QSizeF(16, 32), 1, Qt::white, 2);
        EXPECT_EQ(canvas.rects(), c.rects);
        EXPECT_EQ(canvas.paths, c.paths);
        EXPECT_FALSE(canvas.antialiasing);
    }
}

TEST(BoxDrawingRenderer, LinesContinueFromCellToCell) {
    // A row of horizontals is one line: every cell's band at the same rows, reaching both edges.
    RecordingCanvas canvas;
    for (int column = 0; column < 3; ++column)
        BoxDrawingRenderer::draw(0x2500, canvas, QPointF(9 * column, 0), QSizeF(9, 19), 1, Qt::white, 1);
    QRectF covered;
    for (const auto& fill : canvas.fills) {
        EXPECT_EQ(fill.rect.top(), 9);
        EXPECT_EQ(fill.rect.height(), 1);
        covered = covered.united(fill.rect);
    }
    EXPECT_EQ(covered, QRectF(0, 9, 27, 1));
}

TEST(BlockElementMapping, RectanglesInEighthsAndTheirPixelsAtTwoCellSizes) {
    using R = BlockElementRect;
    const auto full = BlockElementMapping::rects(0x2588);
    ASSERT_TRUE(full);
    EXPECT_EQ(std::vector<R>(full->begin(), full->end()), (std::vector<R>{R{0, 8, 0, 8, BlockAlpha::full}}));
    EXPECT_FALSE(BlockElementMapping::rects(0x257F));
    EXPECT_FALSE(BlockElementMapping::rects(0x25A0));
    EXPECT_EQ(blockAlphaFromValue(0.75), BlockAlpha::dark);
    EXPECT_FALSE(blockAlphaFromValue(0.6));

    struct Case {
        const char* name;
        uint32_t codePoint;
        QSizeF cell;
        bool antiAlias;
        Rects expected;
        int alpha;
    };
    const std::vector<Case> cases = {
        {"upper half", 0x2580, {8, 16}, false, {"0,0,8,8"}, 255},
        {"lower half", 0x2584, {8, 16}, false, {"0,8,8,16"}, 255},
        {"left half", 0x258C, {8, 16}, false, {"0,0,4,16"}, 255},
        {"quadrants", 0x2599, {8, 16}, false, {"0,0,4,8", "0,8,4,16", "4,8,8,16"}, 255},
        {"light shade", 0x2591, {8, 16}, false, {"0,0,8,16"}, 64},
        {"medium shade", 0x2592, {8, 16}, false, {"0,0,8,16"}, 128},
        {"dark shade", 0x2593, {8, 16}, false, {"0,0,8,16"}, 191},
        // Eighths that fall between pixels grow outward to whole pixels.
        {"upper half of an odd cell", 0x2580, {7, 15}, false, {"0,0,7,8"}, 255},
        {"lower half of an odd cell", 0x2584, {7, 15}, false, {"0,7,7,15"}, 255},
        {"lower eighth of an odd cell", 0x2581, {7, 15}, false, {"0,13,7,15"}, 255},
        {"antialiased halves stay exact", 0x2584, {7, 15}, true, {"0,7.5,7,15"}, 255},
        {"full block", 0x2588, {7, 15}, false, {"0,0,7,15"}, 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingCanvas canvas;
        BlockElementMapping::draw(*BlockElementMapping::rects(c.codePoint), canvas,
                                  QRectF(QPointF(0, 0), c.cell), 1, c.antiAlias, QColor(255, 0, 0));
        EXPECT_EQ(canvas.rects(), c.expected);
        EXPECT_EQ(canvas.fills.front().color.alpha(), c.alpha);
    }
}

TEST(BoxDrawingRenderer, AFullBlockFillsItsCellExactlyOnScreen) {
    for (bool antiAlias : {false, true}) {
        SCOPED_TRACE(antiAlias ? "antialiased" : "snapped");
        ManualExecutor executor;
        TerminalView view(QRect(0, 0, 300, 100), testFont(), nullptr, &executor);
        view.setAntiAliasCustomBlockGlyphs(antiAlias);
        view.feed("ab\x1b[31m\u2588\x1b[0mcd");
        QImage image(view.size(), QImage::Format_RGB32);
        QPainter painter(&image);
        view.drawTerminalContents(painter, QRectF(QPointF(0, 0), QSizeF(view.size())));
        painter.end();
        const QSizeF cell = view.cellDimension();
        const QRgb red = view.mapColor(Attribute::Color::ansi256(1), true, false, true).rgb();
        const QRgb background = view.nativeBackgroundColor().rgb();
        const QRect block = QRectF(QPointF(cell.width() * 2, 0), cell).toRect();
        for (int y = 0; y < block.bottom() + 3; ++y) {
            for (int x = block.left() - 1; x <= block.right() + 1; ++x) {
                const bool inside = block.contains(x, y);
                ASSERT_EQ(image.pixel(x, y) == red, inside) << x << "," << y;
                if (!inside && (x < block.left() || x > block.right())) {
                    ASSERT_EQ(image.pixel(x, y), background) << x << "," << y;
                }
            }
        }
    }
}
