// Viewport geometry: corners, bounding boxes, the quadrilateral transform and its inverse, and the
// rounded outline with its radius clamp.
#include "Skins/ViewportShape.h"

#include <QPainterPath>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using Quillaby::ViewportShape;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

void expectNear(const QPointF& actual, const QPointF& expected, double tolerance = 1e-6) {
    EXPECT_NEAR(actual.x(), expected.x(), tolerance);
    EXPECT_NEAR(actual.y(), expected.y(), tolerance);
}

const QList<QPointF> keystone{{10, 20}, {110, 25}, {105, 90}, {5, 80}};

// The crossing of the quadrilateral's diagonals, where the rectangle's centre lands.
QPointF diagonalsCrossing(const QList<QPointF>& q) {
    const QLineF a(q[0], q[2]);
    const QLineF b(q[1], q[3]);
    QPointF at;
    a.intersects(b, &at);
    return at;
}

// Counts the path's elements of each kind: curves mark rounded corners.
int curveCount(const QPainterPath& path) {
    int curves = 0;
    for (int i = 0; i < path.elementCount(); ++i) curves += path.elementAt(i).isCurveTo();
    return curves;
}

} // namespace

TEST(ViewportShape, CornersAndBoundingBoxes) {
    const QRectF rect(10, 20, 100, 60);
    const QList<QPointF> plain{{10, 20}, {110, 20}, {110, 80}, {10, 80}};
    EXPECT_EQ(ViewportShape::corners(rect, {}), plain);
    EXPECT_EQ(ViewportShape::corners(rect, {{1, 1}, {2, 2}, {3, 3}}), plain) << "three offsets are ignored";
    EXPECT_EQ(ViewportShape::corners(rect, {{0, 0}, {0, 5}, {-5, 10}, {-5, 0}}), keystone);

    struct Case {
        const char* name;
        QList<QPointF> points;
        QRectF expected;
    } cases[] = {
        {"keystone", keystone, QRectF(5, 20, 105, 70)},
        {"none", {}, QRectF()},
        {"one point", {{3, 4}}, QRectF(3, 4, 0, 0)},
        {"negative", {{-10, -5}, {10, 5}}, QRectF(-10, -5, 20, 10)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ViewportShape::boundingBox(c.points), c.expected);
    }
}

TEST(ViewportShape, QuadTransformMapsCornersAndCentreAndInverts) {
    const double w = 200, h = 100;
    const QList<QPointF> source{{0, 0}, {w, 0}, {w, h}, {0, h}};
    struct Case {
        const char* name;
        QList<QPointF> quad;
        bool affine;
    } cases[] = {
        {"keystone", keystone, false},
        {"parallelogram", {{10, 10}, {110, 20}, {120, 80}, {20, 70}}, true},
        {"upright", {{0, 0}, {w, 0}, {w, h}, {0, h}}, true},
        {"desk tube", {{7, 4}, {453, 4}, {460, 345}, {0, 345}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QTransform t = ViewportShape::quadTransform(w, h, c.quad);
        EXPECT_EQ(t.isAffine(), c.affine);
        for (int i = 0; i < 4; ++i) {
            expectNear(t.map(source[i]), c.quad[i], 1e-9);
            const auto back = ViewportShape::inverseQuadMap(c.quad[i], w, h, c.quad);
            ASSERT_TRUE(back);
            expectNear(*back, source[i], 1e-6);
        }
        expectNear(t.map(QPointF(w / 2, h / 2)), diagonalsCrossing(c.quad), 1e-9);
        const auto centre = ViewportShape::inverseQuadMap(diagonalsCrossing(c.quad), w, h, c.quad);
        ASSERT_TRUE(centre);
        expectNear(*centre, QPointF(w / 2, h / 2), 1e-6);
    }
    EXPECT_TRUE(ViewportShape::quadTransform(w, h, source).isIdentity());
}

TEST(ViewportShape, DegenerateQuadsGiveTheIdentityAndNoInverse) {
    struct Case {
        const char* name;
        double w, h;
        QList<QPointF> quad;
        bool inverse;
    } cases[] = {
        {"zero width", 0, 10, keystone, true},
        {"not a number", notANumber, 10, keystone, true},
        {"three corners", 10, 10, {{0, 0}, {1, 0}, {1, 1}}, false},
        // p1, p2 and p3 on one line, not a parallelogram.
        {"three collinear", 10, 10, {{0, 0}, {10, 10}, {20, 20}, {30, 30 + 1e-9}}, false},
        {"corners coincide", 10, 10, {{0, 0}, {10, 0}, {10, 0}, {10, 0}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(ViewportShape::quadTransform(c.w, c.h, c.quad).isIdentity());
        EXPECT_EQ(ViewportShape::inverseQuadMap(QPointF(5, 5), 10, 10, c.quad).has_value(), c.inverse);
    }
    // A flat parallelogram keeps its affine transform, and nothing maps back onto it.
    const QList<QPointF> flat{{0, 0}, {10, 0}, {20, 0}, {10, 0}};
    EXPECT_FALSE(ViewportShape::quadTransform(10, 10, flat).isIdentity());
    EXPECT_FALSE(ViewportShape::inverseQuadMap(QPointF(5, 0), 10, 10, flat));
}

TEST(ViewportShape, InverseOfAPointOutsideLiesOutsideTheRectangle) {
    const auto outside = ViewportShape::inverseQuadMap(QPointF(7, 22), 100, 50, keystone);
    ASSERT_TRUE(outside);
    EXPECT_TRUE(outside->x() < 0 || outside->y() < 0);
}

TEST(ViewportShape, RadiiAreClampedToHalfTheShorterEdge) {
    // Edges at the first corner: 40 (to p3) and 100 (to p1).
    const QList<QPointF> rect{{0, 0}, {100, 0}, {100, 40}, {0, 40}};
    struct Case {
        const char* name;
        QList<double> radii;
        QList<double> expected;
    } cases[] = {
        {"fifty on 40 and 100", {50, 0, 0, 0}, {20, 0, 0, 0}},
        {"negative", {-3, 5, 5, 5}, {0, 5, 5, 5}},
        {"not a number", {notANumber, 5, 5, 5}, {0, 5, 5, 5}},
        {"three radii", {5, 5, 5}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ViewportShape::effectiveRadii(rect, c.radii), c.expected);
    }
    // The drawn outline follows the clamp: a radius of 20 leaves (20, 0) on the top edge, cuts the corner.
    const QPainterPath path = ViewportShape::roundedQuadPath(rect, {50, 0, 0, 0});
    EXPECT_FALSE(path.contains(QPointF(1, 1)));
    EXPECT_TRUE(path.contains(QPointF(21, 1)));
    EXPECT_TRUE(path.contains(QPointF(1, 21)));
    EXPECT_NEAR(path.boundingRect().width(), 100, 1e-9);
}

TEST(ViewportShape, RoundedPathShapes) {
    const QList<QPointF> rect{{0, 0}, {100, 0}, {100, 40}, {0, 40}};
    EXPECT_TRUE(ViewportShape::roundedQuadPath({{0, 0}, {1, 1}}, {}).isEmpty());

    const QList<QPointF> pentagon{{50, 0}, {100, 40}, {80, 100}, {20, 100}, {0, 40}};
    const QPainterPath five = ViewportShape::roundedQuadPath(pentagon, {10, 10, 10, 10, 10});
    EXPECT_EQ(five.elementCount(), 6) << "five corners and the closing line";
    EXPECT_EQ(curveCount(five), 0);
    for (const QPointF& p : pentagon) EXPECT_EQ(five.boundingRect().united(QRectF(p, QSizeF(0, 0))), five.boundingRect());

    EXPECT_EQ(curveCount(ViewportShape::roundedQuadPath(rect, {5, 5, 5})), 0) << "three radii: sharp corners";
    EXPECT_GT(curveCount(ViewportShape::roundedQuadPath(rect, {5, 5, 5, 5})), 0);
    EXPECT_TRUE(ViewportShape::roundedQuadPath(rect, {5, 5, 5}).contains(QPointF(0.5, 0.5)));

    // The free function draws the polygon for a radius list of the wrong length: the same outline.
    const QPainterPath polygon = Quillaby::roundedQuadPath(rect, {5});
    EXPECT_EQ(polygon.elementCount(), 5);
    EXPECT_EQ(polygon.boundingRect(), QRectF(0, 0, 100, 40));
    EXPECT_EQ(curveCount(Quillaby::roundedQuadPath(rect, {5, 5, 5, 5})), curveCount(ViewportShape::roundedQuadPath(rect, {5, 5, 5, 5})));
}

TEST(ViewportShape, RoundedCornersOfAKeystoneStayInside) {
    const QPainterPath path = ViewportShape::roundedQuadPath(keystone, {8, 8, 8, 8});
    QPainterPath polygon;
    polygon.addPolygon(QPolygonF(keystone));
    polygon.closeSubpath();
    // Every corner is cut, and the rounded outline never leaves the quadrilateral.
    for (const QPointF& corner : keystone) EXPECT_FALSE(path.contains(corner + (QPointF(57, 55) - corner) * 0.01));
    for (qreal t = 0; t < 1; t += 0.05) EXPECT_TRUE(polygon.contains(path.pointAtPercent(t)) ||
                                                    polygon.boundingRect().adjusted(-0.01, -0.01, 0.01, 0.01).contains(path.pointAtPercent(t)));
}
