#pragma once

#include "Builder/BezierNode.h"
#include "Builder/BuilderEnums.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QList>
#include <QPainterPath>
#include <QPixmap>
#include <QPointF>
#include <QRectF>

#include <functional>
#include <optional>

namespace Quillaby {

class SkinBuilderModel;

// The skin builder's editing surface: the frame image on a checkerboard inside a dark margin, zoomable
// (Ctrl+wheel, pinch; 0.1 to 20) and scrollable, with the viewport, buttons and drawer drawn over it.
// Mouse and key input become edits of the model and calls of its tools, by the model's current tool.
// It keeps no document state beyond the gesture in progress; it reads the model whenever it draws.
//
// The document is the image with a margin of 400 points on every side (image point (0, 0) is document
// point (400, 400)), shown at the magnification with an inset of 40 pixels, centred when smaller than
// the view.
class CanvasView : public QAbstractScrollArea {
    Q_OBJECT

public:
    enum class DragMode {
        draw,
        moveViewport,
        resizeViewport,
        distortCorner,
        moveDrawerViewport,
        resizeDrawerViewport
    };

    static constexpr double imageMargin = 400;
    static constexpr double contentInset = 40;
    static constexpr double minimumMagnification = 0.1;
    static constexpr double maximumMagnification = 20;

    explicit CanvasView(SkinBuilderModel& model, QWidget* parent = nullptr);

    double magnification() const { return _magnification; }
    // Zooms about a point of the view (its centre when none is given), keeping that point still.
    void setMagnification(double magnification, std::optional<QPointF> anchor = std::nullopt);
    QSizeF documentSize() const { return _documentSize; }
    // Zooms out (never past 1) until the whole image fits, and centres it.
    void fitImage();

    // Between positions in the view (the viewport widget) and document or image points.
    QPointF documentPoint(QPointF viewPosition) const;
    QPointF viewPosition(QPointF documentPoint) const;
    QPointF imagePoint(QPointF viewPosition) const { return documentPoint(viewPosition) - margin(); }

    DragMode dragMode() const { return _dragMode; }
    int resizeCorner() const { return _resizeCorner; }
    const std::optional<QRectF>& currentDragRect() const { return _currentDragRect; }
    const std::optional<QPointF>& penHoverPoint() const { return _penHoverPoint; }

    // The viewport's four corners with their offsets (when there are exactly four), or nothing.
    static std::optional<QList<QPointF>> resolvedViewportCorners(const SkinBuilderModel& model);
    static QPainterPath resolvedViewportPath(const SkinBuilderModel& model);
    static QColor toolColor(DrawTool tool);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    static QPointF margin() { return QPointF(imageMargin, imageMargin); }

    void modelChanged();
    void updateScrollBars();
    // Where document point (0, 0) lies in the view.
    QPointF contentOrigin() const;
    void press(QPointF viewPosition, Qt::KeyboardModifiers modifiers, bool doubleClick);
    void commitActivePen();
    void discardPen();

    void drawViewport(QPainter& painter) const;
    void drawButtons(QPainter& painter) const;
    void drawDrawer(QPainter& painter) const;
    void drawPenPath(QPainter& painter, const QList<BezierNode>& nodes, bool inProgress) const;
    // Text of that pixel size, its box placed in view pixels by place(text size).
    void drawLabel(QPainter& painter, const QString& text, double pixelSize, QFont::Weight weight,
                   const QColor& color, const std::function<QPointF(QSizeF)>& place) const;
    const QPixmap& imagePixmap();

    SkinBuilderModel& _model;
    double _magnification = 1;
    QSizeF _documentSize{400, 400};
    qint64 _lastGeneration = -1;
    // A new picture (a new image size) is fitted into view once the canvas is shown.
    QSizeF _fittedSize;
    bool _fitPending = false;
    QPixmap _pixmap;
    qint64 _pixmapGeneration = -1;

    std::optional<QPointF> _dragStart;
    DragMode _dragMode = DragMode::draw;
    int _resizeCorner = 3;
    std::optional<QRectF> _currentDragRect;
    std::optional<QPointF> _penHoverPoint;
};

} // namespace Quillaby
