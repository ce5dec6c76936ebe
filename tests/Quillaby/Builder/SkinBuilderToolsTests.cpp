#include "BuilderFixture.h"

#include "Builder/BezierPath.h"
#include "Builder/FloodFill.h"
#include "Skins/ViewportShape.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <functional>

using namespace Quillaby;
using namespace QuillabyTest;

namespace {

const QString penHint = QStringLiteral(" — drag to curve, dbl-click / Return to close");

int countAlpha(const QImage& image, std::function<bool(int)> test) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            if (test(qAlpha(argb.pixel(x, y)))) ++count;
    return count;
}

QRgb pixelAt(const SkinBuilderModel& model, int x, int y) {
    return model.skinImage()->bitmap.convertToFormat(QImage::Format_ARGB32).pixel(x, y);
}

} // namespace

class SkinTools : public BuilderFixture {
protected:
    void load(const QImage& image, const char* format = "png", double dpi = 72) {
        QImage copy = image;
        copy.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
        copy.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
        const QString path = dir.filePath(QStringLiteral("picture-%1.%2").arg(++_count).arg(format));
        ASSERT_TRUE(copy.save(path, format));
        model.loadImage(path);
        ASSERT_TRUE(model.skinImage());
    }

    // White all round a dark square outline that encloses more white.
    static QImage outlinedPicture() {
        QImage image(100, 80, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.fillRect(20, 20, 40, 30, QColor(30, 30, 30));
        painter.fillRect(24, 24, 32, 22, QColor(250, 250, 250));
        return image;
    }

    int _count = 0;
};

TEST_F(SkinTools, MagicWandClearsTheBorderButNotWhatTheOutlineEncloses) {
    load(outlinedPicture());
    model.magicWandErase(QPointF(2.5, 3.9), 32);
    const int border = 100 * 80 - 40 * 30;
    EXPECT_EQ(model.statusMessage(), QStringLiteral("Magic wand erased %1 px").arg(border));
    EXPECT_FALSE(model.statusIsError());
    EXPECT_EQ(countAlpha(model.skinImage()->bitmap, [](int a) { return a == 0; }), border);
    EXPECT_EQ(qAlpha(pixelAt(model, 30, 30)), 255);
    EXPECT_EQ(model.history().stack.size(), 1);
    EXPECT_EQ(model.imageGeneration(), 2);

    // Already transparent: no undo step. Outside the image: nothing at all.
    model.magicWandErase(QPointF(1, 1), 32);
    EXPECT_EQ(model.statusMessage(), "That spot is already transparent");
    EXPECT_FALSE(model.statusIsError());
    EXPECT_EQ(model.history().stack.size(), 1);
    model.setStatus("before", false);
    model.magicWandErase(QPointF(100, 10), 32);
    model.magicWandErase(QPointF(-1, 10), 32);
    EXPECT_EQ(model.statusMessage(), "before");

    // Within the outline with a tolerance that reaches the dark outline too.
    model.magicWandErase(QPointF(30, 30), 255);
    EXPECT_EQ(model.statusMessage(), QStringLiteral("Magic wand erased %1 px").arg(40 * 30));

    // A picture without alpha is refused.
    QImage opaque = outlinedPicture().convertToFormat(QImage::Format_RGB32);
    load(opaque, "jpg");
    model.magicWandErase(QPointF(2, 2), 32);
    EXPECT_EQ(model.statusMessage(), "Magic wand needs an RGBA image");
    EXPECT_TRUE(model.statusIsError());
    EXPECT_TRUE(model.history().stack.isEmpty());
}

TEST_F(SkinTools, BackgroundRemovalClearsFromTheBorderInwards) {
    // A grey background with slight noise, a near-transparent streak and an enclosed grey hole.
    QImage image(60, 50, QImage::Format_ARGB32);
    image.fill(QColor(200, 200, 200));
    image.setPixel(30, 0, qRgba(0, 0, 0, 5));
    image.setPixel(30, 1, qRgb(230, 200, 200));
    QPainter painter(&image);
    painter.fillRect(10, 10, 40, 30, QColor(20, 60, 20));
    painter.fillRect(20, 20, 10, 10, QColor(200, 200, 200));
    painter.end();
    load(image);

    model.removeBackground(40);
    EXPECT_EQ(model.statusMessage(), "Background removed");
    EXPECT_FALSE(model.statusIsError());
    EXPECT_EQ(qAlpha(pixelAt(model, 30, 0)), 0);
    EXPECT_EQ(qAlpha(pixelAt(model, 30, 1)), 0) << "30 off one sample on one channel is within 40";
    EXPECT_EQ(qAlpha(pixelAt(model, 25, 25)), 255) << "enclosed background stays";
    EXPECT_EQ(countAlpha(model.skinImage()->bitmap, [](int a) { return a == 0; }), 60 * 50 - 40 * 30);
    EXPECT_EQ(model.history().stack.size(), 1);

    // One-pixel images sample their nearest pixels.
    load(QImage(1, 1, QImage::Format_ARGB32));
    model.removeBackground(40);
    EXPECT_EQ(model.statusMessage(), "Background removed");
}

TEST_F(SkinTools, TrimCropsToContentAndMovesTheGeometry) {
    QImage image(1000, 1100, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(QRect(QPoint(100, 50), QPoint(899, 1049)), Qt::red);
    image.setPixel(5, 5, qRgba(255, 0, 0, 10)); // not content
    load(image);
    model.setViewport(QRectF(200, 300, 100, 100));
    model.setCurrentTool(DrawTool::button);
    model.finishDraw(QRectF(150, 150, 20, 20));
    model.setDrawerViewport(QRectF(500, 500, 50, 50));
    model.setDrawerMask({BezierNode(QPointF(100, 100))});
    model.addMaskVertex(QPointF(300, 300));

    model.trimToContent();
    EXPECT_EQ(model.statusMessage(), "Trimmed to 808x1008px");
    EXPECT_EQ(model.imagePixelSize(), QSizeF(808, 1008));
    EXPECT_EQ(model.skinImage()->size, QSizeF(808, 1008));
    EXPECT_EQ(model.viewport(), QRectF(104, 254, 100, 100));
    EXPECT_EQ(model.buttons()[0].rect, QRectF(54, 104, 20, 20));
    EXPECT_EQ(model.drawerViewport(), QRectF(404, 454, 50, 50));
    EXPECT_EQ(model.drawerMask()[0].point, QPointF(4, 54));
    EXPECT_EQ(model.drawerMaskInProgress()[0].handleOut, QPointF(204, 254));
    EXPECT_EQ(pixelAt(model, 4, 4), qRgb(255, 0, 0));

    // Undo puts the old image and the geometry that moved with it back.
    model.undo();
    EXPECT_EQ(model.imagePixelSize(), QSizeF(1000, 1100));
    EXPECT_EQ(model.viewport(), QRectF(200, 300, 100, 100));
    EXPECT_EQ(model.drawerViewport(), QRectF(500, 500, 50, 50));
    EXPECT_EQ(model.drawerMask()[0].point, QPointF(100, 100));
}

TEST_F(SkinTools, TrimAtTwoPixelsPerPointShiftsByHalfTheCrop) {
    QImage image(400, 300, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(QRect(QPoint(104, 54), QPoint(203, 153)), Qt::blue);
    load(image, "png", 144);
    ASSERT_EQ(model.skinImage()->size, QSizeF(200, 150));
    model.setViewport(QRectF(60, 30, 20, 20));
    model.trimToContent();
    EXPECT_EQ(model.statusMessage(), "Trimmed to 108x108px");
    EXPECT_EQ(model.skinImage()->size, QSizeF(54, 54));
    EXPECT_EQ(model.viewport(), QRectF(10, 5, 20, 20));
}

TEST_F(SkinTools, TrimOfNothingKeepsTheHistoryEvenWhenFull) {
    QImage image(50, 50, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    image.setPixel(10, 10, qRgb(1, 2, 3)); // one pixel is not two wide
    load(image);
    for (int i = 0; i < 12; ++i)
        model.removeBackground(40);
    ASSERT_EQ(model.history().stack.size(), 10);
    const SkinImage oldest = model.history().stack.first().image;

    model.trimToContent();
    EXPECT_EQ(model.statusMessage(), "No opaque content found");
    EXPECT_TRUE(model.statusIsError());
    ASSERT_EQ(model.history().stack.size(), 10);
    EXPECT_EQ(model.history().stack.first().image.bitmap.cacheKey(), oldest.bitmap.cacheKey());
}

TEST_F(SkinTools, ElevenEditsThenElevenUndos) {
    load(outlinedPicture());
    for (int i = 0; i < 11; ++i)
        model.removeBackground(i);
    for (int remaining = 9; remaining >= 0; --remaining) {
        model.undo();
        EXPECT_EQ(model.statusMessage(), QStringLiteral("Undo (%1 remaining)").arg(remaining));
        EXPECT_FALSE(model.statusIsError());
    }
    model.undo();
    EXPECT_EQ(model.statusMessage(), "Nothing to undo");
    EXPECT_TRUE(model.statusIsError());
}

TEST_F(SkinTools, DraggedRectanglesByTool) {
    load(QImage(300, 200, QImage::Format_ARGB32));
    struct Case {
        const char* name;
        DrawTool tool;
        QRectF rect;
        std::optional<QString> status;
    };
    const Case cases[] = {
        {"viewport, rounded", DrawTool::viewport, QRectF(10.5, 20.4, 99.5, 50.2), "Viewport set: 100x50"},
        {"dragged up and left", DrawTool::viewport, QRectF(110, 70, -100, -50), "Viewport set: 100x50"},
        {"6 x 6 half outside", DrawTool::viewport, QRectF(-3, 10, 6, 6), std::nullopt},
        {"outside entirely", DrawTool::viewport, QRectF(400, 10, 60, 60), std::nullopt},
        {"drawer viewport", DrawTool::drawerViewport, QRectF(0, 0, 20, 30), "Drawer viewport set: 20×30"},
        {"pen tool does nothing", DrawTool::imageCropPen, QRectF(0, 0, 20, 30), std::nullopt},
        {"button 1", DrawTool::button, QRectF(0, 0, 10, 10), "Button 1 added (rect)"},
        {"button 2", DrawTool::button, QRectF(20, 0, 10, 10), "Button 2 added (rect)"},
        {"button 3", DrawTool::button, QRectF(40, 0, 10, 10), "Button 3 added (rect)"},
        {"button 4", DrawTool::button, QRectF(60, 0, 10, 10), "Button 4 added (rect)"},
        {"button 5", DrawTool::button, QRectF(80, 0, 10, 10), "Max 4 buttons"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model.setStatus("before", false);
        model.setCurrentTool(c.tool);
        model.finishDraw(c.rect);
        EXPECT_EQ(model.statusMessage(), c.status.value_or("before"));
    }
    EXPECT_EQ(model.viewport(), QRectF(10, 20, 100, 50));
    EXPECT_TRUE(model.drawerEnabled());
    EXPECT_TRUE(model.statusIsError());
    ASSERT_EQ(model.buttons().size(), 4);
    EXPECT_EQ(model.buttons()[0].defaultPanel, PanelType::terminal);
    EXPECT_EQ(model.buttons()[3].defaultPanel, PanelType::placeholder);

    model.setButtons({});
    model.setButtonShape(ButtonShape::circle);
    model.setCurrentTool(DrawTool::button);
    model.finishDraw(QRectF(0, 0, 10, 10));
    EXPECT_EQ(model.statusMessage(), "Button 1 added (circle)");
    EXPECT_EQ(model.buttons()[0].shape, ButtonShape::circle);
}

TEST_F(SkinTools, PenPathsCropEraseOrMakeTheDrawerMask) {
    QImage image(100, 100, QImage::Format_ARGB32);
    image.fill(Qt::red);
    load(image);
    const QList<QPointF> triangle{{10, 10}, {90, 10}, {50, 90}};

    model.setCurrentTool(DrawTool::imageCropPen);
    model.addMaskVertex(triangle[0]);
    EXPECT_EQ(model.statusMessage(), "Pen: 1 node" + penHint);
    model.addMaskVertex(triangle[1]);
    EXPECT_EQ(model.statusMessage(), "Pen: 2 nodes" + penHint);
    model.commitImagePen();
    EXPECT_EQ(model.statusMessage(), "Pen needs at least 3 points");
    EXPECT_TRUE(model.statusIsError());
    EXPECT_TRUE(model.drawerMaskInProgress().isEmpty());

    for (QPointF p : triangle)
        model.addMaskVertex(p);
    model.commitImagePen();
    EXPECT_EQ(model.statusMessage(), "Cropped to 3-node polygon");
    EXPECT_EQ(qAlpha(pixelAt(model, 2, 50)), 0);
    EXPECT_EQ(qAlpha(pixelAt(model, 50, 40)), 255);
    const int partial = countAlpha(model.skinImage()->bitmap, [](int a) { return a > 0 && a < 255; });
    EXPECT_GT(partial, 0) << "the edge is anti-aliased";
    EXPECT_EQ(model.history().stack.size(), 1);

    model.undo();
    model.setCurrentTool(DrawTool::imageErasePen);
    for (QPointF p : triangle)
        model.addMaskVertex(p);
    model.commitImagePen();
    EXPECT_EQ(model.statusMessage(), "Erased 3-node polygon");
    EXPECT_EQ(qAlpha(pixelAt(model, 2, 50)), 255);
    EXPECT_EQ(qAlpha(pixelAt(model, 50, 40)), 0);

    // Dragging out the newest node's handles mirrors them through it.
    model.setCurrentTool(DrawTool::drawerMask);
    model.updateMaskDragHandle(QPointF(1, 1));
    EXPECT_FALSE(model.drawerMaskDragging()) << "nothing to drag on an empty path";
    model.addMaskVertex(QPointF(20, 20));
    model.updateMaskDragHandle(QPointF(30, 25));
    EXPECT_TRUE(model.drawerMaskDragging());
    EXPECT_EQ(model.drawerMaskInProgress()[0], BezierNode(QPointF(20, 20), QPointF(10, 15), QPointF(30, 25)));
    model.addMaskVertex(QPointF(80, 20));
    model.addMaskVertex(QPointF(50, 80));
    const qint64 generation = model.imageGeneration();
    model.commitDrawerMask();
    EXPECT_EQ(model.statusMessage(), "Drawer mask set: 3 nodes");
    EXPECT_TRUE(model.drawerEnabled());
    EXPECT_EQ(model.drawerMask().size(), 3);
    EXPECT_FALSE(model.drawerMaskDragging());
    EXPECT_EQ(model.imageGeneration(), generation);
    model.commitDrawerMask();
    EXPECT_EQ(model.statusMessage(), "Mask needs at least 3 points");
}

TEST(BezierPath, StraightWhereBothHandlesSitOnTheirPoints) {
    const QList<BezierNode> corners{BezierNode(QPointF(0, 0)), BezierNode(QPointF(10, 0)),
                                    BezierNode(QPointF(10, 10))};
    QPainterPath open = bezierPath(corners, false);
    EXPECT_EQ(open.elementCount(), 3);
    QPainterPath closed = bezierPath(corners, true);
    EXPECT_EQ(closed.elementCount(), 4);
    EXPECT_EQ(closed.elementAt(3).x, 0);

    // A curved node makes curves on both of its segments, the corner beside it included.
    QList<BezierNode> curved = corners;
    curved[1] = BezierNode(QPointF(10, 0), QPointF(5, -5), QPointF(15, 5));
    QPainterPath path = bezierPath(curved, true, [](QPointF p) { return p * 2; });
    int curves = 0;
    for (int i = 0; i < path.elementCount(); ++i)
        if (path.elementAt(i).type == QPainterPath::CurveToElement) ++curves;
    EXPECT_EQ(curves, 2);
    EXPECT_EQ(path.elementAt(0).x, 0);
    EXPECT_EQ(QPointF(path.elementAt(1)), QPointF(0, 0)) << "the first control point is the corner's own";
    EXPECT_TRUE(bezierPath({}, true).isEmpty());
}

TEST(RoundedQuadPath, RadiiAreHeldToHalfTheShorterEdge) {
    const QList<QPointF> square{{0, 0}, {100, 0}, {100, 50}, {0, 50}};
    struct Case {
        const char* name;
        QList<QPointF> corners;
        QList<double> radii;
        QPointF outside; // a point the outline must not hold
        QPointF inside;
    };
    const Case cases[] = {
        {"sharp with three radii", square, {10, 10, 10}, {-1, -1}, {0.5, 0.5}},
        {"rounded", square, {10, 10, 10, 10}, {1, 1}, {50, 25}},
        {"radius held to 25", square, {0, 0, 500, 0}, {99, 49}, {90, 40}},
        {"NaN and negative are sharp", square, {std::nan(""), -4, 0, 0}, {-1, -1}, {0.5, 0.5}},
        {"triangle", {{0, 0}, {100, 0}, {0, 100}}, {}, {60, 60}, {10, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QPainterPath path = roundedQuadPath(c.corners, c.radii);
        EXPECT_FALSE(path.contains(c.outside));
        EXPECT_TRUE(path.contains(c.inside));
    }
    // The rounded corner passes at the circle's distance from its centre.
    QPainterPath rounded = roundedQuadPath(square, {10, 10, 10, 10});
    const QPointF diagonal(10 - 10 / std::sqrt(2.0), 10 - 10 / std::sqrt(2.0));
    EXPECT_TRUE(rounded.contains(diagonal + QPointF(0.05, 0.05)));
    EXPECT_FALSE(rounded.contains(diagonal - QPointF(0.05, 0.05)));
    EXPECT_TRUE(roundedQuadPath({{0, 0}, {1, 1}}, {}).isEmpty());
}

TEST(FloodFill, FillsTheSameAreaAsAPixelByPixelFill) {
    // Random grids: the row-run fill against the plain four-way fill.
    QRandomGenerator random(7);
    for (int round = 0; round < 40; ++round) {
        const int width = 1 + int(random.bounded(40));
        const int height = 1 + int(random.bounded(40));
        std::vector<char> open(std::size_t(width * height));
        for (char& cell : open)
            cell = random.bounded(100) < 60;
        const QList<QPoint> seeds{QPoint(int(random.bounded(width)), int(random.bounded(height))),
                                  QPoint(0, 0), QPoint(width, 0)};

        std::vector<char> expected(open.size(), 0);
        std::vector<char> visited(open.size(), 0);
        QList<QPoint> stack(seeds.rbegin(), seeds.rend());
        while (!stack.isEmpty()) {
            QPoint p = stack.takeLast();
            if (p.x() < 0 || p.y() < 0 || p.x() >= width || p.y() >= height) continue;
            const int i = p.y() * width + p.x();
            if (visited[i]) continue;
            visited[i] = 1;
            if (!open[i]) continue;
            expected[i] = 1;
            stack.append({p + QPoint(1, 0), p - QPoint(1, 0), p + QPoint(0, 1), p - QPoint(0, 1)});
        }

        std::vector<char> filled(open.size(), 0);
        const qint64 count = floodFill(
            width, height, seeds, [&](int x, int y) { return open[y * width + x] != 0; },
            [&](int x, int y) { ++filled[y * width + x]; });
        SCOPED_TRACE(round);
        EXPECT_EQ(filled, expected);
        EXPECT_EQ(count, std::count(expected.begin(), expected.end(), 1));
    }
}
