#include "BuilderFixture.h"

#include "Builder/CanvasView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include <gtest/gtest.h>

using namespace Quillaby;
using namespace QuillabyTest;

class Canvas : public BuilderFixture {
protected:
    void SetUp() override {
        BuilderFixture::SetUp();
        loadImage(QSize(400, 300));
        canvas.resize(600, 500);
        canvas.show();
    }

    // Mouse input at document points (image point + 400).
    void mouse(QEvent::Type type, QPointF document, Qt::KeyboardModifiers modifiers = {}) {
        const QPointF at = canvas.viewPosition(document);
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(Qt::LeftButton);
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, canvas.viewport()->mapToGlobal(at), button, held, modifiers);
        QApplication::sendEvent(canvas.viewport(), &event);
    }
    void drag(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers = {}) {
        mouse(QEvent::MouseButtonPress, from, modifiers);
        mouse(QEvent::MouseMove, (from + to) / 2, modifiers);
        mouse(QEvent::MouseMove, to, modifiers);
        mouse(QEvent::MouseButtonRelease, to, modifiers);
    }
    void click(QPointF document) {
        mouse(QEvent::MouseButtonPress, document);
        mouse(QEvent::MouseButtonRelease, document);
    }
    bool key(int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&canvas, &event);
        return event.isAccepted();
    }

    CanvasView canvas{model};
};

TEST_F(Canvas, TheDocumentFollowsTheImageGeneration) {
    EXPECT_EQ(canvas.documentSize(), QSizeF(1200, 1100));
    model.setViewport(QRectF(1, 2, 3, 4));
    EXPECT_EQ(canvas.documentSize(), QSizeF(1200, 1100));
    loadImage(QSize(1000, 200));
    EXPECT_EQ(canvas.documentSize(), QSizeF(1800, 1000));
    EXPECT_EQ(canvas.imagePoint(canvas.viewPosition(QPointF(400, 400))), QPointF(0, 0));
}

TEST_F(Canvas, DraggedRectanglesBecomeTheViewportAndDrawerViewport) {
    drag({500, 500}, {700, 650});
    EXPECT_EQ(model.viewport(), QRectF(100, 100, 200, 150));
    EXPECT_EQ(model.statusMessage(), "Viewport set: 200x150");
    EXPECT_FALSE(canvas.currentDragRect());

    // Outside the viewport with the drawer tool; the viewport's body still wins inside it.
    model.setCurrentTool(DrawTool::drawerViewport);
    drag({420, 420}, {480, 470});
    EXPECT_EQ(model.drawerViewport(), QRectF(20, 20, 60, 50));
    EXPECT_EQ(model.statusMessage(), QString("Drawer viewport set: 60") + QChar(0x00D7) + "50");
    drag({550, 550}, {560, 560});
    EXPECT_EQ(model.viewport(), QRectF(110, 110, 200, 150));
    // Moving and resizing the drawer viewport.
    drag({440, 440}, {450, 445});
    EXPECT_EQ(model.drawerViewport(), QRectF(30, 25, 60, 50));
    drag({490, 475}, {500, 485});
    EXPECT_EQ(model.drawerViewport(), QRectF(30, 25, 70, 60));

    // A 6 x 6 rectangle half outside the image does nothing.
    model.setCurrentTool(DrawTool::button);
    model.setStatus("before", false);
    drag({397, 380}, {403, 386});
    EXPECT_EQ(model.statusMessage(), "before");
    EXPECT_TRUE(model.buttons().isEmpty());
}

TEST_F(Canvas, CornersResizeOrWithCtrlDistortWithinTwelveViewPixels) {
    model.setViewport(QRectF(100, 100, 200, 150));
    canvas.setMagnification(2);
    ASSERT_EQ(canvas.magnification(), 2);

    // Six image points (12 view pixels at twice the size) from the top-left corner.
    mouse(QEvent::MouseButtonPress, {500, 494});
    EXPECT_EQ(canvas.dragMode(), CanvasView::DragMode::resizeViewport);
    EXPECT_EQ(canvas.resizeCorner(), 0);
    mouse(QEvent::MouseMove, {510, 504});
    mouse(QEvent::MouseButtonRelease, {510, 504});
    EXPECT_EQ(model.viewport(), QRectF(110, 110, 190, 140));

    // Bottom-right grows; a drag over the opposite edge leaves a negative size.
    drag({700, 650}, {710, 660});
    EXPECT_EQ(model.viewport(), QRectF(110, 110, 200, 150));
    // Just outside the reach: inside the body, so the viewport moves.
    mouse(QEvent::MouseButtonPress, {510, 516.1});
    EXPECT_EQ(canvas.dragMode(), CanvasView::DragMode::moveViewport);
    mouse(QEvent::MouseButtonRelease, {510, 516.1});

    drag({710, 660}, {720, 665}, Qt::ControlModifier);
    EXPECT_EQ(canvas.dragMode(), CanvasView::DragMode::distortCorner);
    EXPECT_EQ(model.viewport(), QRectF(110, 110, 200, 150));
    EXPECT_EQ(model.viewportCornerOffsets()[2], QPointF(10, 5));
    // The distorted corner is where it is hit next.
    mouse(QEvent::MouseButtonPress, {720, 665});
    EXPECT_EQ(canvas.dragMode(), CanvasView::DragMode::resizeViewport);
    EXPECT_EQ(canvas.resizeCorner(), 2);
    mouse(QEvent::MouseButtonRelease, {720, 665});
}

TEST_F(Canvas, PenClicksKeysAndDoubleClick) {
    model.setCurrentTool(DrawTool::imageErasePen);
    EXPECT_FALSE(key(Qt::Key_Backspace)) << "no open path: the key goes on";
    click({450, 450});
    click({550, 450});
    click({500, 550});
    EXPECT_EQ(model.drawerMaskInProgress().size(), 3);
    EXPECT_TRUE(model.statusMessage()->startsWith("Pen: 3 nodes"));
    EXPECT_TRUE(key(Qt::Key_Backspace));
    EXPECT_EQ(model.drawerMaskInProgress().size(), 2);
    EXPECT_TRUE(key(Qt::Key_Escape));
    EXPECT_TRUE(model.drawerMaskInProgress().isEmpty());

    // Hovering draws the rubber line from the last node; dragging curves the newest node.
    mouse(QEvent::MouseButtonPress, {450, 450});
    mouse(QEvent::MouseMove, {460, 470});
    mouse(QEvent::MouseMove, {470, 470});
    mouse(QEvent::MouseMove, {480, 470});
    EXPECT_FALSE(canvas.penHoverPoint()) << "moves with the button held drag";
    mouse(QEvent::MouseButtonRelease, {480, 470});
    EXPECT_FALSE(model.drawerMaskDragging());
    EXPECT_EQ(model.drawerMaskInProgress()[0].handleOut, QPointF(80, 70));
    QMouseEvent hover(QEvent::MouseMove, canvas.viewPosition({520, 520}), canvas.viewPosition({520, 520}),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas.viewport(), &hover);
    EXPECT_EQ(canvas.penHoverPoint(), QPointF(120, 120));

    // A double-click adds the node of its first click, then commits.
    click({550, 450});
    mouse(QEvent::MouseButtonPress, {500, 550});
    mouse(QEvent::MouseButtonRelease, {500, 550});
    mouse(QEvent::MouseButtonDblClick, {500, 550});
    mouse(QEvent::MouseButtonRelease, {500, 550});
    EXPECT_EQ(model.statusMessage(), "Erased 3-node polygon");
    EXPECT_TRUE(model.drawerMaskInProgress().isEmpty());

    // Return under a tool that is not a pen drops the path.
    click({450, 450});
    model.setCurrentTool(DrawTool::viewport);
    EXPECT_TRUE(key(Qt::Key_Return));
    EXPECT_TRUE(model.drawerMaskInProgress().isEmpty());
}

TEST_F(Canvas, ClicksWithTheWandErase) {
    model.setCurrentTool(DrawTool::magicWand);
    click({401, 401});
    EXPECT_EQ(model.statusMessage(), "That spot is already transparent");
    click({600, 550});
    EXPECT_TRUE(model.statusMessage()->startsWith("Magic wand erased "));
}

TEST_F(Canvas, DrawsTheImageAndTheViewportAtAnyZoom) {
    model.setViewport(QRectF(100, 100, 200, 150));
    for (double m : {0.5, 1.0, 3.0}) {
        SCOPED_TRACE(m);
        canvas.setMagnification(m);
        canvas.horizontalScrollBar()->setValue(0);
        canvas.verticalScrollBar()->setValue(0);
        QImage shot = canvas.viewport()->grab().toImage();
        auto at = [&](QPointF image) {
            return shot.pixelColor(canvas.viewPosition(image + QPointF(400, 400)).toPoint());
        };
        EXPECT_EQ(shot.pixel(2, 2), QColor::fromRgbF(0.12f, 0.12f, 0.14f).rgb());
        // The top edge of the outline, between its rounded corners, is green.
        if (canvas.viewPosition({600, 500}).y() < shot.height()) {
            const QColor edge = at(QPointF(200, 100));
            EXPECT_GT(edge.green(), 150);
            EXPECT_LT(edge.red(), 100);
        }
    }
    // Transparent image corners show the checkerboard.
    canvas.setMagnification(1);
    canvas.horizontalScrollBar()->setValue(canvas.horizontalScrollBar()->maximum());
    canvas.verticalScrollBar()->setValue(canvas.verticalScrollBar()->maximum());
    QImage shot = canvas.viewport()->grab().toImage();
    const QPoint corner = canvas.viewPosition({795, 695}).toPoint();
    ASSERT_TRUE(shot.rect().contains(corner));
    EXPECT_EQ(shot.pixelColor(corner).red(), int(std::lround(0.25 * 255)));
}

TEST_F(Canvas, TheScrollBarsAndTheirCornerStayOnTheDarkMargin) {
    // The desktop style's light bars glared on the dark canvas.
    const QImage shot = canvas.grab().toImage();
    const QColor margin = QColor::fromRgbF(0.12f, 0.12f, 0.14f);
    QScrollBar* across = canvas.horizontalScrollBar();
    QScrollBar* down = canvas.verticalScrollBar();
    ASSERT_TRUE(across->isVisible() && down->isVisible());
    EXPECT_LE(across->height(), 12);
    EXPECT_LE(down->width(), 12);
    const QPoint acrossOrigin = across->mapTo(&canvas, QPoint(0, 0));
    const QPoint downOrigin = down->mapTo(&canvas, QPoint(0, 0));
    const QPoint samples[] = {
        acrossOrigin + QPoint(across->width() - 3, 1), // the track past the handle
        downOrigin + QPoint(down->width() - 2, down->height() - 3),
        QPoint(canvas.width() - 2, canvas.height() - 2), // the corner
    };
    for (const QPoint& p : samples) {
        SCOPED_TRACE(testing::Message() << p.x() << "," << p.y());
        const QColor c = shot.pixelColor(p);
        EXPECT_LT(std::abs(c.red() - margin.red()) + std::abs(c.blue() - margin.blue()), 30)
            << c.name().toStdString();
    }
}

TEST_F(Canvas, CtrlWheelZoomsAboutTheCursorWithinLimits) {
    const QPointF under = canvas.documentPoint(QPointF(300, 250));
    QWheelEvent wheel(QPointF(300, 250), canvas.mapToGlobal(QPoint(300, 250)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(canvas.viewport(), &wheel);
    EXPECT_DOUBLE_EQ(canvas.magnification(), 1.25);
    EXPECT_NEAR(canvas.documentPoint(QPointF(300, 250)).x(), under.x(), 1);
    canvas.setMagnification(100);
    EXPECT_EQ(canvas.magnification(), 20);
    canvas.setMagnification(0.001);
    EXPECT_EQ(canvas.magnification(), 0.1);
}
