// The screen container: where it puts its panel for upright, missing and warped viewports, what it
// draws and where, and how mouse events reach the widget drawn under the pointer.
#include "Windows/ScreenContainer.h"

#include "Windows/ScreenWarpEffect.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using Quillaby::HostedPanel;
using Quillaby::ScreenContainer;

namespace {

// A panel drawn red on its left half and blue on its right, with a strip 20 points high across its top;
// both record the mouse events they get as "<type> <x>,<y>".
class Recorder : public QWidget {
public:
    QStringList *log;
    QColor left = Qt::red;

    Recorder(QStringList* events, QWidget* parent = nullptr)
        : QWidget(parent)
        , log(events) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(QRect(0, 0, width() / 2, height()), left);
        painter.fillRect(QRect(width() / 2, 0, width() - width() / 2, height()), Qt::blue);
    }
    void mousePressEvent(QMouseEvent* e) override { record("press", e->position()); }
    void mouseMoveEvent(QMouseEvent* e) override { record("move", e->position()); }
    void mouseReleaseEvent(QMouseEvent* e) override { record("release", e->position()); }
    void wheelEvent(QWheelEvent* e) override { record("wheel", e->position()); }

    void record(const char* type, QPointF at) {
        log->append(QStringLiteral("%1%2 %3,%4")
                        .arg(objectName().isEmpty() ? QString() : objectName() + QLatin1Char(' '),
                             QString::fromLatin1(type))
                        .arg(std::lround(at.x()))
                        .arg(std::lround(at.y())));
    }
};

struct Fixture {
    QStringList events;
    QWidget host;
    ScreenContainer* container;
    Recorder* panel;
    Recorder* strip;

    Fixture() {
        host.resize(400, 300);
        container = new ScreenContainer(&host);
        panel = new Recorder(&events);
        strip = new Recorder(&events, panel);
        strip->setObjectName(QStringLiteral("strip"));
        strip->setGeometry(0, 0, 200, 20);
        strip->left = Qt::green;
        container->registerPanel(HostedPanel{panel, {}}, 0);
    }

    void send(QEvent::Type type, QPointF at, Qt::MouseButtons buttons = Qt::LeftButton) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, container->mapTo(&host, at), container->mapToGlobal(at), button,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : buttons, Qt::NoModifier);
        QApplication::sendEvent(container, &event);
    }
    QImage drawn(qreal dpr = 1) {
        QImage image(host.size() * dpr, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(dpr);
        image.fill(Qt::transparent);
        host.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
};

// An opaque view with a white square on black, as a terminal view with its caret: it paints all of
// itself, so Qt counts its upright rectangle as covered.
class Board : public QWidget {
public:
    QRect square;

    explicit Board(QWidget* parent)
        : QWidget(parent) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        painter.fillRect(square, Qt::white);
    }
};

// A keystone over a 200 x 100 panel: the top edge pulled in by 20 on each side.
const QList<QPointF> keystone{{20, 0}, {180, 0}, {200, 100}, {0, 100}};

} // namespace

TEST(ScreenContainer, StartsEmptyAndIgnoresBadHostFrames) {
    ScreenContainer container;
    EXPECT_TRUE(container.panels().isEmpty());
    EXPECT_EQ(container.activeIndex(), 0);
    EXPECT_FALSE(container.hasDistortion());
    EXPECT_EQ(container.viewportCornerRadius(), 0);

    container.configureViewport(QRectF(10, 20, 200, 100), QSizeF(200, 100), keystone, 6, {});
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const QRectF& bad : {QRectF(0, 0, 0, 100), QRectF(0, 0, 100, -1), QRectF(nan, 0, 10, 10),
                              QRectF(0, 0, inf, 10)}) {
        container.configureViewport(bad, QSizeF(5, 5), {}, 0, {});
        EXPECT_EQ(container.geometry(), QRect(10, 20, 200, 100));
        EXPECT_TRUE(container.hasDistortion());
        EXPECT_EQ(container.innerSize(), QSizeF(200, 100));
    }
}

TEST(ScreenContainer, UprightViewportPlacesThePanelDirectly) {
    Fixture f;
    // A 220 x 120 box with the 200 x 100 rectangle centred in it, corners rounded by 10.
    f.container->configureViewport(QRectF(50, 40, 220, 120), QSizeF(200, 100),
                                   {{10, 10}, {210, 10}, {210, 110}, {10, 110}}, 10, {});
    EXPECT_TRUE(f.container->hasDistortion());
    EXPECT_FALSE(f.container->isWarped());
    EXPECT_EQ(f.panel->geometry(), QRect(10, 10, 200, 100));
    EXPECT_EQ(f.panel->graphicsEffect(), nullptr);
    EXPECT_FALSE(f.panel->testAttribute(Qt::WA_TransparentForMouseEvents));
    const QRegion mask = f.container->mask();
    EXPECT_TRUE(mask.contains(QPoint(110, 60)));
    EXPECT_FALSE(mask.contains(QPoint(10, 10))) << "rounded corner";
    EXPECT_FALSE(mask.contains(QPoint(5, 60))) << "outside the rectangle";
    // Per-corner radii win over the single radius.
    f.container->configureViewport(QRectF(50, 40, 220, 120), QSizeF(200, 100),
                                   {{10, 10}, {210, 10}, {210, 110}, {10, 110}}, 10, {0, 0, 0, 30});
    EXPECT_TRUE(f.container->mask().contains(QPoint(10, 10)));
    EXPECT_FALSE(f.container->mask().contains(QPoint(13, 107)));
}

// A device scaled by 1.2 left a pixel of its screen outside the panel, where the desktop showed through.
TEST(ScreenContainer, UprightMaskAtAFractionalScaleStaysOnThePanel) {
    Fixture f;
    for (const QSizeF inner : {QSizeF(200.6, 100.4), QSizeF(200.4, 100.6), QSizeF(200, 100)}) {
        SCOPED_TRACE(QStringLiteral("%1 x %2").arg(inner.width()).arg(inner.height()).toStdString());
        const QRectF box(50.3, 40.7, inner.width() + 20, inner.height() + 20);
        const QRectF rect(10, 10, inner.width(), inner.height());
        f.container->configureViewport(box, inner,
                                       {rect.topLeft(), rect.topRight(), rect.bottomRight(), rect.bottomLeft()},
                                       8, {});
        ASSERT_FALSE(f.container->isWarped());
        EXPECT_TRUE(f.container->mask().subtracted(QRegion(f.panel->geometry())).isEmpty());
        EXPECT_TRUE(f.container->mask().contains(f.panel->geometry().center()));
    }
}

TEST(ScreenContainer, WithoutCornersThePanelFillsAndFollows) {
    Fixture f;
    f.container->configureViewport(QRectF(0, 0, 300, 200), QSizeF(300, 200), {}, 0, {});
    EXPECT_FALSE(f.container->hasDistortion());
    EXPECT_FALSE(f.container->isWarped());
    EXPECT_EQ(f.panel->geometry(), QRect(0, 0, 300, 200));
    EXPECT_TRUE(f.container->mask().isEmpty());
    EXPECT_EQ(f.container->quadTargets(), (QList<QPointF>{{0, 0}, {300, 0}, {300, 200}, {0, 200}}));
    f.host.show();
    f.container->resize(320, 240);
    EXPECT_EQ(f.panel->geometry(), QRect(0, 0, 320, 240));
    EXPECT_EQ(f.container->panelPointAt(QPointF(7, 9)), QPointF(7, 9)) << "no mapping";
}

TEST(ScreenContainer, WarpedViewportMapsPointsBackOntoThePanel) {
    Fixture f;
    f.container->configureViewport(QRectF(30, 30, 200, 100), QSizeF(200, 100), keystone, 0, {});
    EXPECT_TRUE(f.container->isWarped());
    EXPECT_NE(qobject_cast<Quillaby::ScreenWarpEffect*>(f.panel->graphicsEffect()), nullptr);
    EXPECT_TRUE(f.panel->testAttribute(Qt::WA_TransparentForMouseEvents));

    // Points of the panel drawn through the transform map back onto themselves.
    for (const QPointF& p : {QPointF(100, 50), QPointF(1, 1), QPointF(199, 99), QPointF(100, 0)}) {
        const auto mapped = f.container->panelPointAt(f.container->panelTransform().map(p));
        ASSERT_TRUE(mapped);
        EXPECT_NEAR(mapped->x(), p.x(), 1e-6);
        EXPECT_NEAR(mapped->y(), p.y(), 1e-6);
    }
    EXPECT_NEAR(f.container->panelTransform().map(QPointF(0, 0)).x(), 20, 1e-9);
    EXPECT_FALSE(f.container->panelPointAt(QPointF(3, 3))) << "inside the box, beside the quadrilateral";
    EXPECT_FALSE(f.container->panelPointAt(QPointF(100, 120))) << "beyond the box";
    EXPECT_FALSE(f.container->mask().contains(QPoint(3, 3)));
    EXPECT_TRUE(f.container->mask().contains(QPoint(100, 50)));

    // p1, p2 and p3 on one line: drawn upright, and the screen takes no clicks at all.
    f.container->configureViewport(QRectF(30, 30, 200, 100), QSizeF(200, 100),
                                   {{0, 0}, {100, 50}, {200, 100}, {300, 150}}, 0, {});
    EXPECT_TRUE(f.container->panelTransform().isIdentity());
    EXPECT_FALSE(f.container->panelPointAt(QPointF(100, 50)));
}

TEST(ScreenContainer, MouseEventsReachTheWidgetDrawnUnderThePointer) {
    Fixture f;
    f.container->configureViewport(QRectF(30, 30, 200, 100), QSizeF(200, 100), keystone, 0, {});
    // Where a point of the panel is drawn.
    const auto drawn = [&](double x, double y) { return f.container->panelTransform().map(QPointF(x, y)); };
    f.send(QEvent::MouseButtonPress, drawn(100, 50));
    f.send(QEvent::MouseMove, drawn(150, 60));
    // The drag keeps its widget beyond the screen's edge.
    f.send(QEvent::MouseMove, {5, 5});
    f.send(QEvent::MouseButtonRelease, {5, 5});
    ASSERT_EQ(f.events.size(), 4);
    EXPECT_EQ(f.events[0], QStringLiteral("press 100,50"));
    EXPECT_EQ(f.events[1], QStringLiteral("move 150,60"));
    EXPECT_TRUE(f.events[2].startsWith(QStringLiteral("move -"))) << f.events[2].toStdString();
    EXPECT_TRUE(f.events[3].startsWith(QStringLiteral("release -")));
    f.events.clear();

    // Near the top-left corner the drawn strip is under the pointer, at its unwarped place.
    f.send(QEvent::MouseButtonPress, drawn(11, 5));
    f.send(QEvent::MouseButtonRelease, drawn(11, 5));
    EXPECT_EQ(f.events, (QStringList{QStringLiteral("strip press 11,5"), QStringLiteral("strip release 11,5")}));
    f.events.clear();

    // Beside the quadrilateral nothing is forwarded and the event goes on to what lies behind.
    QMouseEvent beside(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(33, 33), Qt::LeftButton, Qt::LeftButton,
                       Qt::NoModifier);
    QApplication::sendEvent(f.container, &beside);
    EXPECT_TRUE(f.events.isEmpty());
    EXPECT_FALSE(beside.isAccepted());

    // Moves without a button reach only widgets that track the mouse.
    f.send(QEvent::MouseMove, drawn(100, 60), Qt::NoButton);
    EXPECT_TRUE(f.events.isEmpty());
    f.panel->setMouseTracking(true);
    f.send(QEvent::MouseMove, drawn(100, 60), Qt::NoButton);
    EXPECT_EQ(f.events, QStringList{QStringLiteral("move 100,60")});
    f.events.clear();

    QWheelEvent wheel(drawn(100, 80), drawn(100, 80), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(f.container, &wheel);
    EXPECT_EQ(f.events, QStringList{QStringLiteral("wheel 100,80")});
}

TEST(ScreenContainer, WarpedPanelIsDrawnOntoTheQuadrilateral) {
    Fixture f;
    f.host.setAttribute(Qt::WA_NoSystemBackground);
    f.container->configureViewport(QRectF(30, 30, 200, 100), QSizeF(200, 100), keystone, 8, {});
    const QImage image = f.drawn();
    const auto at = [&](QPointF panelPoint) {
        const QPointF drawnAt = f.container->panelTransform().map(panelPoint) + QPointF(30, 30);
        return QColor(image.pixel(drawnAt.toPoint()));
    };
    EXPECT_EQ(at({50, 60}), QColor(Qt::red));
    EXPECT_EQ(at({150, 60}), QColor(Qt::blue));
    EXPECT_EQ(at({50, 10}), QColor(Qt::green)) << "the strip";
    EXPECT_EQ(qAlpha(image.pixel(33, 33)), 0) << "beside the quadrilateral";
    EXPECT_EQ(qAlpha(image.pixel(30 + 20, 30)), 0) << "the rounded corner";
    EXPECT_EQ(qAlpha(image.pixel(30 + 100, 30 + 99)), 255);

    // At two pixels per point the same places hold the same colours.
    const QImage sharp = f.drawn(2);
    const auto sharpAt = [&](QPointF panelPoint) {
        const QPointF drawnAt = (f.container->panelTransform().map(panelPoint) + QPointF(30, 30)) * 2;
        return QColor(sharp.pixel(drawnAt.toPoint()));
    };
    EXPECT_EQ(sharpAt({50, 60}), QColor(Qt::red));
    EXPECT_EQ(sharpAt({150, 60}), QColor(Qt::blue));
    EXPECT_EQ(sharpAt({50, 10}), QColor(Qt::green));
    EXPECT_EQ(sharpAt({190, 90}), QColor(Qt::blue));
    EXPECT_EQ(qAlpha(sharp.pixel(66, 66)), 0);

    // A change of the panel shows at its warped place.
    f.panel->left = Qt::yellow;
    f.panel->update();
    EXPECT_EQ(QColor(f.drawn().pixel(f.container->panelTransform().map(QPointF(50, 60)).toPoint() + QPoint(30, 30))),
              QColor(Qt::yellow));
}

TEST(ScreenContainer, RegisteredPanelTakesFocusWhenShown) {
    QWidget host;
    auto* container = new ScreenContainer(&host);
    QStringList events;
    auto* first = new Recorder(&events);
    auto* focus = new QWidget(first);
    focus->setFocusPolicy(Qt::StrongFocus);
    container->registerPanel(HostedPanel{first, [focus] { return focus; }}, 0);
    EXPECT_EQ(host.focusWidget(), focus);
    auto* hidden = new Recorder(&events);
    container->registerPanel(HostedPanel{hidden, {}}, 1);
    EXPECT_TRUE(hidden->isHidden());
    EXPECT_EQ(container->panels().size(), 2);
}

TEST(ScreenContainer, WarpedRepaintsReachTheWindowWhereTheyAreDrawn) {
    // A square moved about an opaque view inside the panel, each move repainting only the two squares
    // (as a caret or a typed cell does): the window must show what a full repaint draws.
    QWidget host;
    host.resize(260, 160);
    auto* container = new ScreenContainer(&host);
    auto* panel = new QWidget;
    auto* board = new Board(panel);
    board->setGeometry(0, 0, 200, 100);
    container->registerPanel(HostedPanel{panel, {}}, 0);
    container->configureViewport(QRectF(30, 30, 200, 100), QSizeF(200, 100), keystone, 8, {});
    ASSERT_TRUE(container->isWarped());
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    const auto settle = [] {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    };
    settle();
    const auto shown = [&] {
        return host.screen()->grabWindow(host.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    };
    for (const QRect square : {QRect(40, 20, 10, 12), QRect(46, 20, 10, 12), QRect(46, 44, 10, 12),
                               QRect(150, 70, 10, 12), QRect(100, 36, 10, 12)}) {
        board->update(board->square);
        board->square = square;
        board->update(square);
        settle();
    }
    const QImage incremental = shown();
    const QImage full = host.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(incremental.size(), full.size());
    int stale = 0;
    for (int y = 0; y < full.height(); ++y)
        for (int x = 0; x < full.width(); ++x)
            stale += incremental.pixel(x, y) != full.pixel(x, y);
    EXPECT_EQ(stale, 0) << "pixels the incremental repaints left behind";
}
