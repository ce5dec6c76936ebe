#include "Windows/ScreenContainer.h"

#include "Skins/ViewportShape.h"
#include "Windows/ScreenWarpEffect.h"

#include <QBitmap>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace Quillaby {

namespace {

bool finite(const QRectF& r) {
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
           std::isfinite(r.height());
}

QList<QPointF> rectCorners(double width, double height) {
    return {QPointF(0, 0), QPointF(width, 0), QPointF(width, height), QPointF(0, height)};
}

// The pixels an outline covers: what the container shows and takes clicks on. A warped panel is drawn
// with a soft edge, which the region includes; an upright one has none.
QRegion coverage(const QPainterPath& path, const QSize& size, bool softEdge) {
    if (path.isEmpty() || size.isEmpty()) return {};
    QBitmap bitmap(size);
    bitmap.fill(Qt::color0);
    QPainter painter(&bitmap);
    painter.setPen(softEdge ? QPen(Qt::color1, 2) : QPen(Qt::NoPen));
    painter.setBrush(Qt::color1);
    painter.drawPath(path);
    painter.end();
    return QRegion(bitmap);
}

} // namespace

ScreenContainer::ScreenContainer(QWidget* parent)
    : QWidget(parent)
    , _warpCanvas(new QWidget(this)) {
    _innerSize = QSizeF(size());
    _bounds = QRectF(QPointF(), QSizeF(size()));
    setMouseTracking(true);
    _warpCanvas->setAttribute(Qt::WA_TransparentForMouseEvents);
    _warpCanvas->setAttribute(Qt::WA_NoSystemBackground);
    _warpCanvas->hide();
}

ScreenContainer::~ScreenContainer() = default;

void ScreenContainer::configureViewport(const QRectF& hostFrame, const QSizeF& innerSize,
                                        const QList<QPointF>& quadCorners, double cornerRadius,
                                        const QList<double>& innerRadii) {
    if (!finite(hostFrame) || !(hostFrame.width() > 0) || !(hostFrame.height() > 0)) return;
    const QRect frame = hostFrame.toAlignedRect();
    _bounds = QRectF(hostFrame.topLeft() - QPointF(frame.topLeft()), hostFrame.size());
    _innerSize = innerSize;
    _viewportCornerRadius = cornerRadius;
    _cornerRadii = innerRadii;
    _hasDistortion = quadCorners.size() == 4;
    if (_hasDistortion) {
        _quadTargets = quadCorners;
    } else {
        const QRectF centred((hostFrame.width() - innerSize.width()) / 2,
                             (hostFrame.height() - innerSize.height()) / 2, innerSize.width(),
                             innerSize.height());
        _quadTargets = ViewportShape::corners(centred, {});
    }
    // Set after the fields: the resize follows the new geometry.
    setGeometry(frame);
    // Before the panels: the warp takes its size from the canvas.
    _warpCanvas->setGeometry(rect());
    for (const HostedPanel& panel : std::as_const(_panels))
        applyGeometry(panel.view);
    applyMask();
    placeWarpCanvas();
}

void ScreenContainer::registerPanel(Panel& panel, int index) {
    QPointer<QWidget> view = panel.panelView();
    registerPanel(
        HostedPanel{view, [&panel, view]() -> QWidget* { return view ? panel.focusView() : nullptr; }},
        index);
}

void ScreenContainer::registerPanel(const HostedPanel& panel, int index) {
    if (!panel.view) return;
    _panels[index] = panel;
    panel.view->setParent(this);
    applyGeometry(panel.view);
    panel.view->setVisible(index == _activeIndex);
    if (index != _activeIndex) return;
    applyMask();
    placeWarpCanvas();
    if (parentWidget()) {
        QWidget* focus = panel.focusView ? panel.focusView() : nullptr;
        (focus ? focus : panel.view)->setFocus(Qt::OtherFocusReason);
    }
}

QPointF ScreenContainer::centringOffset() const {
    // Never above or left of the container: a panel reaching out there lost the rows and columns the
    // container clips, though the warp draws them back inside it.
    return _bounds.topLeft() + QPointF(std::max(0.0, (_bounds.width() - _innerSize.width()) / 2),
                                       std::max(0.0, (_bounds.height() - _innerSize.height()) / 2));
}

QTransform ScreenContainer::panelTransform() const {
    if (!_hasDistortion) return {};
    const QPointF origin = centringOffset().toPoint();
    QList<QPointF> targets;
    for (const QPointF& p : _quadTargets)
        targets.append(p + _bounds.topLeft() - origin);
    return ViewportShape::quadTransform(_innerSize.width(), _innerSize.height(), targets);
}

QList<double> ScreenContainer::maskRadii() const {
    if (_cornerRadii.size() == 4) return _cornerRadii;
    return QList<double>(4, _viewportCornerRadius);
}

QPainterPath ScreenContainer::screenPath() const {
    if (!_hasDistortion) return {};
    const QPainterPath upright =
        ViewportShape::roundedQuadPath(rectCorners(_innerSize.width(), _innerSize.height()), maskRadii());
    const QPointF origin = centringOffset().toPoint();
    return panelTransform().map(upright).translated(origin);
}

std::optional<QPointF> ScreenContainer::panelPointAt(const QPointF& containerPoint) const {
    if (!_hasDistortion) return containerPoint;
    const QPointF origin = centringOffset().toPoint();
    QList<QPointF> targets;
    for (const QPointF& p : _quadTargets)
        targets.append(p + _bounds.topLeft() - origin);
    const double w = _innerSize.width();
    const double h = _innerSize.height();
    const auto mapped = ViewportShape::inverseQuadMap(containerPoint - origin, w, h, targets);
    // Written so that a coordinate that is not a number counts as outside.
    if (!mapped || !(mapped->x() >= 0 && mapped->x() <= w && mapped->y() >= 0 && mapped->y() <= h))
        return std::nullopt;
    return *mapped + origin;
}

QWidget* ScreenContainer::activeView() const {
    const auto found = _panels.constFind(_activeIndex);
    return found == _panels.constEnd() ? nullptr : found->view;
}

void ScreenContainer::applyGeometry(QWidget* view) {
    if (!view) return;
    if (!_hasDistortion) {
        if (view->graphicsEffect()) view->setGraphicsEffect(nullptr);
        view->setAttribute(Qt::WA_TransparentForMouseEvents, false);
        view->setGeometry(rect());
        if (view == activeView()) _warped = false;
        return;
    }
    const QPointF origin = centringOffset().toPoint();
    const QTransform transform = panelTransform();
    const QList<QPointF> upright = rectCorners(_innerSize.width(), _innerSize.height());
    // Placed directly when the quadrilateral is the upright rectangle itself, also when a scaled device
    // puts it a fraction of a pixel off the grid: resampled, its edge would be soft, and the desktop
    // would show through that edge.
    bool direct = true;
    for (int i = 0; i < 4; ++i) {
        const QPointF d = transform.map(upright[i]) - upright[i];
        direct = direct && std::abs(d.x()) < 1 && std::abs(d.y()) < 1;
    }
    direct = direct && transform.type() <= QTransform::TxTranslate;
    if (direct) {
        if (view->graphicsEffect()) view->setGraphicsEffect(nullptr);
        view->setAttribute(Qt::WA_TransparentForMouseEvents, false);
        // Over every pixel the viewport touches, so none at its edge stays see-through.
        view->setGeometry(QRectF(centringOffset(), _innerSize).toAlignedRect() & rect());
    } else {
        view->setGeometry(QRectF(origin, _innerSize).toRect());
        auto* effect = qobject_cast<ScreenWarpEffect*>(view->graphicsEffect());
        if (!effect) {
            effect = new ScreenWarpEffect(view, _warpCanvas);
            view->setGraphicsEffect(effect);
        }
        const QPainterPath outline = transform.map(ViewportShape::roundedQuadPath(upright, maskRadii()));
        effect->setGeometry(origin, transform, outline);
        // Clicks reach the panel through the container, mapped back through the transform.
        view->setAttribute(Qt::WA_TransparentForMouseEvents, true);
    }
    if (view == activeView()) _warped = !direct;
}

void ScreenContainer::placeWarpCanvas() {
    // Above every panel: one above it would cut the canvas's repaints as the container's are cut.
    _warpCanvas->raise();
    // Shown only while needed: over an upright panel it would only make Qt repaint more beneath it.
    _warpCanvas->setVisible(_warped);
}

void ScreenContainer::applyMask() {
    if (!_hasDistortion) {
        clearMask();
        return;
    }
    QPainterPath path = screenPath();
    if (QWidget* view = activeView(); view && !_warped) {
        const QRectF placed(view->geometry());
        path = ViewportShape::roundedQuadPath(rectCorners(placed.width(), placed.height()), maskRadii())
                   .translated(placed.topLeft());
    }
    const QRegion region = coverage(path, size(), _warped);
    if (region.isEmpty())
        clearMask();
    else
        setMask(region);
}

void ScreenContainer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (_hasDistortion) return;
    // Without a quadrilateral the panels follow the container (a plain terminal window).
    _bounds = QRectF(QPointF(), QSizeF(size()));
    for (const HostedPanel& panel : std::as_const(_panels)) {
        if (panel.view) panel.view->setGeometry(rect());
    }
    _warpCanvas->setGeometry(rect());
}

QWidget* ScreenContainer::targetAt(const QPointF& uprightPoint, QPointF* local) const {
    QWidget* view = activeView();
    if (!view || view->isHidden()) return nullptr;
    const QPointF inView = uprightPoint - QPointF(view->pos());
    QWidget* target = view->childAt(inView.toPoint());
    if (!target) target = view;
    *local = inView - QPointF(target->mapTo(view, QPoint(0, 0)));
    return target;
}

void ScreenContainer::forwardMouse(QMouseEvent* event) {
    if (_forwarding || !_warped) {
        event->ignore();
        return;
    }
    const QEvent::Type type = event->type();
    const bool starts = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
    QWidget* target = nullptr;
    QPointF local;
    if (starts || !_mouseGrab) {
        const auto upright = panelPointAt(event->position());
        if (upright) target = targetAt(*upright, &local);
        if (starts) _mouseGrab = target;
        if (type == QEvent::MouseMove && event->buttons() == Qt::NoButton) setHoverTarget(target);
    } else {
        // A drag keeps its widget, also beyond the screen's edge.
        target = _mouseGrab;
        QWidget* view = activeView();
        const QPointF origin = view ? QPointF(view->pos()) : QPointF();
        QList<QPointF> targets;
        for (const QPointF& p : _quadTargets)
            targets.append(p + _bounds.topLeft() - origin);
        const auto mapped = ViewportShape::inverseQuadMap(event->position() - origin, _innerSize.width(),
                                                          _innerSize.height(), targets);
        if (!mapped || !view) {
            event->ignore();
            return;
        }
        local = *mapped - QPointF(target->mapTo(view, QPoint(0, 0)));
    }
    if (!target) {
        event->ignore();
        return;
    }
    if (type == QEvent::MouseButtonPress) {
        for (QWidget* w = target; w; w = w->parentWidget()) {
            if (w->focusPolicy() & Qt::ClickFocus) {
                w->setFocus(Qt::MouseFocusReason);
                break;
            }
            if (w == activeView()) break;
        }
    }
    if (type == QEvent::MouseMove && event->buttons() == Qt::NoButton && !target->hasMouseTracking()) {
        // Plain moves go only to widgets that track the mouse, as Qt delivers them.
        followCursor(target);
        event->accept();
        return;
    }
    QMouseEvent forwarded(type, local, target->mapTo(target->window(), local), event->globalPosition(),
                          event->button(), event->buttons(), event->modifiers(), event->pointingDevice());
    _forwarding = true;
    QCoreApplication::sendEvent(target, &forwarded);
    _forwarding = false;
    if (type == QEvent::MouseButtonRelease && event->buttons() == Qt::NoButton) _mouseGrab = nullptr;
    followCursor(target);
    event->setAccepted(forwarded.isAccepted());
}

void ScreenContainer::followCursor(QWidget* target) {
    // The pointer takes the shape the widget under it (or its nearest ancestor in the panel) asks for.
    for (QWidget* w = target; w && w != this; w = w->parentWidget()) {
        if (w->testAttribute(Qt::WA_SetCursor)) {
            setCursor(w->cursor());
            return;
        }
    }
    unsetCursor();
}

void ScreenContainer::setHoverTarget(QWidget* target) {
    if (_hoverTarget == target) return;
    if (_hoverTarget) {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(_hoverTarget, &leave);
    }
    _hoverTarget = target;
}

void ScreenContainer::mousePressEvent(QMouseEvent* event) {
    forwardMouse(event);
}

void ScreenContainer::mouseReleaseEvent(QMouseEvent* event) {
    forwardMouse(event);
}

void ScreenContainer::mouseDoubleClickEvent(QMouseEvent* event) {
    forwardMouse(event);
}

void ScreenContainer::mouseMoveEvent(QMouseEvent* event) {
    forwardMouse(event);
}

void ScreenContainer::leaveEvent(QEvent* event) {
    setHoverTarget(nullptr);
    QWidget::leaveEvent(event);
}

void ScreenContainer::wheelEvent(QWheelEvent* event) {
    const auto upright = _warped && !_forwarding ? panelPointAt(event->position()) : std::nullopt;
    QPointF local;
    QWidget* target = upright ? targetAt(*upright, &local) : nullptr;
    if (!target) {
        event->ignore();
        return;
    }
    QWheelEvent forwarded(local, event->globalPosition(), event->pixelDelta(), event->angleDelta(),
                          event->buttons(), event->modifiers(), event->phase(), event->inverted(),
                          event->source(), event->pointingDevice());
    _forwarding = true;
    QCoreApplication::sendEvent(target, &forwarded);
    _forwarding = false;
    event->setAccepted(forwarded.isAccepted());
}

void ScreenContainer::contextMenuEvent(QContextMenuEvent* event) {
    const auto upright = _warped && !_forwarding ? panelPointAt(QPointF(event->pos())) : std::nullopt;
    QPointF local;
    QWidget* target = upright ? targetAt(*upright, &local) : nullptr;
    if (!target) {
        event->ignore();
        return;
    }
    QContextMenuEvent forwarded(event->reason(), local.toPoint(), event->globalPos(), event->modifiers());
    _forwarding = true;
    QCoreApplication::sendEvent(target, &forwarded);
    _forwarding = false;
    event->setAccepted(forwarded.isAccepted());
}

} // namespace Quillaby
