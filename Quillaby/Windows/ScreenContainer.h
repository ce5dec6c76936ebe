#pragma once

#include <QList>
#include <QMap>
#include <QPainterPath>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QTransform>
#include <QWidget>

#include "Windows/Panel.h"

#include <functional>
#include <optional>

namespace Quillaby {

class ScreenWarpEffect;

// A view hosted by the screen container: the widget laid out in the viewport and, when it is the shown
// one, the widget that takes the keyboard (none: the view itself, or its focus proxy).
struct HostedPanel {
    QWidget* view = nullptr;
    std::function<QWidget*()> focusView;
};

// The screen of a device window: it sits over the viewport's bounding box and carries a panel into it.
// The panel is laid out upright at the viewport's size (never magnified), centred in the container.
//
// Coordinates are Qt's, y down. Corner lists are the images of the panel's corners (0, 0), (W, 0),
// (W, H), (0, H): top-left, top-right, bottom-right, bottom-left, as the skin lists them.
//
// When the quadrilateral is the upright rectangle itself, the panel is placed directly and masked to
// the rounded outline. Otherwise it is warped: a graphics effect renders what changed of the panel into
// an image and draws it through the projective transform, clipped with antialiasing to the rounded
// outline; the panel then takes no mouse events itself and the container maps each one back through
// the inverse transform onto the widget drawn under the pointer. The container's mask is the drawn
// outline, so clicks beside it reach whatever lies behind.
class ScreenContainer : public QWidget {
    Q_OBJECT

public:
    explicit ScreenContainer(QWidget* parent = nullptr);
    ~ScreenContainer() override;

    // Places the container on hostFrame (in the parent's coordinates) and lays out every panel: at
    // innerSize, centred, warped onto the 4 corners (container coordinates) when there are 4, else
    // filling the container and following its size. Radii: innerRadii when 4, else cornerRadius on each
    // corner. A host frame that is empty, negative or not finite changes nothing.
    void configureViewport(const QRectF& hostFrame, const QSizeF& innerSize,
                           const QList<QPointF>& quadCorners, double cornerRadius,
                           const QList<double>& innerRadii);
    // Stores the panel at the index (replacing one there), lays it out and shows it when the index is
    // the active one; the shown panel's focus widget takes the keyboard when the container is in a window.
    void registerPanel(const HostedPanel& panel, int index);
    // A session panel: its view, and its focus view asked for each time it is shown.
    void registerPanel(Panel& panel, int index);

    const QMap<int, HostedPanel>& panels() const { return _panels; }
    int activeIndex() const { return _activeIndex; }
    QSizeF innerSize() const { return _innerSize; }
    const QList<QPointF>& quadTargets() const { return _quadTargets; }
    bool hasDistortion() const { return _hasDistortion; }
    const QList<double>& cornerRadii() const { return _cornerRadii; }
    double viewportCornerRadius() const { return _viewportCornerRadius; }

    // The centring offset of the upright panel in the container.
    QPointF centringOffset() const;
    // The transform from the upright panel (its own coordinates) onto the quadrilateral (relative to the
    // centring offset); the identity without distortion.
    QTransform panelTransform() const;
    // The drawn outline in the container's coordinates: the panel's rounded rectangle through the
    // transform; empty without distortion.
    QPainterPath screenPath() const;
    // The point of the upright panel, in the container's coordinates, drawn under a container point:
    // the point itself without distortion, none outside the quadrilateral or when it cannot be mapped.
    std::optional<QPointF> panelPointAt(const QPointF& containerPoint) const;
    // True while the shown panel is drawn through the warp (not placed directly).
    bool isWarped() const { return _warped; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void applyGeometry(QWidget* view);
    void applyMask();
    void placeWarpCanvas();
    QList<double> maskRadii() const;
    QWidget* activeView() const;
    // The innermost widget of the shown panel under a container point already mapped back, and that
    // point in its coordinates.
    QWidget* targetAt(const QPointF& uprightPoint, QPointF* local) const;
    void forwardMouse(QMouseEvent* event);
    void setHoverTarget(QWidget* target);
    void followCursor(QWidget* target);

    QMap<int, HostedPanel> _panels;
    int _activeIndex = 0;
    QSizeF _innerSize;
    QList<QPointF> _quadTargets;
    bool _hasDistortion = false;
    QList<double> _cornerRadii;
    double _viewportCornerRadius = 0;

    // The host frame's size: the container's logical bounds (its widget size is that, rounded out).
    QRectF _bounds;
    bool _warped = false;
    // What the warp draws over and asks its repaints of: a bare widget above the panels over the whole
    // container. Qt cuts a repaint asked of the container itself by the opaque widgets inside the panel
    // where they stand upright, which is not where the warp draws them.
    QWidget* _warpCanvas;
    QPointer<QWidget> _mouseGrab;
    QPointer<QWidget> _hoverTarget;
    bool _forwarding = false;
};

} // namespace Quillaby
