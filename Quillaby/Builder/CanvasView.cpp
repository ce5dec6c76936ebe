#include "Builder/CanvasView.h"

#include "App/SlimScrollBar.h"
#include "Builder/BezierPath.h"
#include "Skins/ViewportShape.h"
#include "Builder/SkinBuilderModel.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace Quillaby {

namespace {

const QColor marginColor = QColor::fromRgbF(0.12f, 0.12f, 0.14f);
const QColor green(0, 255, 0);
const QColor orange(255, 128, 0);
const QColor magenta(255, 0, 255);
const QColor cyan(0, 255, 255);
const QColor systemYellow(255, 204, 0);
const QColor systemTeal(48, 176, 199);
const QColor systemRed(255, 59, 48);

// Corner handles are hit within this many view pixels.
constexpr double handleReach = 12;

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(float(alpha));
    return color;
}

// A pen of that many view pixels whatever the zoom; dashes in view pixels.
QPen screenPen(const QColor& color, double width, std::initializer_list<double> dashes = {}) {
    QPen pen(color, width);
    pen.setCosmetic(true);
    if (dashes.size() > 0) {
        QList<qreal> pattern;
        for (double dash : dashes)
            pattern.append(dash / width);
        pen.setDashPattern(pattern);
    }
    return pen;
}

QPixmap checkerTile() {
    QPixmap tile(20, 20);
    tile.fill(QColor::fromRgbF(0.25f, 0.25f, 0.25f));
    QPainter painter(&tile);
    const QColor dark = QColor::fromRgbF(0.18f, 0.18f, 0.18f);
    painter.fillRect(10, 0, 10, 10, dark);
    painter.fillRect(0, 10, 10, 10, dark);
    return tile;
}

QFont monospaced(double pixelSize, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(std::max(1, int(std::lround(pixelSize))));
    font.setWeight(weight);
    return font;
}

QList<QPointF> rectCorners(const QRectF& rect) {
    const QRectF r = rect.normalized();
    return {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
}

} // namespace

CanvasView::CanvasView(SkinBuilderModel& model, QWidget* parent)
    : QAbstractScrollArea(parent)
    , _model(model) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFrameShape(QFrame::NoFrame);
    // The bars lie on the dark margin, as thin overlays do, and so does the corner between them.
    styleSlimScrollBar(horizontalScrollBar());
    styleSlimScrollBar(verticalScrollBar());
    QPalette colours = palette();
    colours.setColor(QPalette::Window, marginColor);
    setPalette(colours);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&_model, &SkinBuilderModel::changed, this, &CanvasView::modelChanged);
    connect(&_model, &SkinBuilderModel::imageChanged, this, &CanvasView::modelChanged);
    modelChanged();
}

std::optional<QList<QPointF>> CanvasView::resolvedViewportCorners(const SkinBuilderModel& model) {
    if (!model.viewport()) return std::nullopt;
    QList<QPointF> corners = rectCorners(*model.viewport());
    const QList<QPointF>& offsets = model.viewportCornerOffsets();
    if (offsets.size() == 4)
        for (int i = 0; i < 4; ++i)
            corners[i] += offsets[i];
    return corners;
}

QPainterPath CanvasView::resolvedViewportPath(const SkinBuilderModel& model) {
    const std::optional<QList<QPointF>> corners = resolvedViewportCorners(model);
    if (!corners) return QPainterPath();
    const QList<double>& radii = model.viewportCornerRadii();
    return roundedQuadPath(*corners, radii.size() == 4 ? radii : QList<double>(4, 6.0));
}

QColor CanvasView::toolColor(DrawTool tool) {
    switch (tool) {
    case DrawTool::viewport:
        return green;
    case DrawTool::button:
        return orange;
    case DrawTool::drawerMask:
        return magenta;
    case DrawTool::drawerViewport:
        return systemYellow;
    case DrawTool::imageCropPen:
        return systemTeal;
    case DrawTool::imageErasePen:
        return systemRed;
    case DrawTool::magicWand:
        return cyan;
    }
    return green;
}

// MARK: Document and zoom

void CanvasView::modelChanged() {
    if (_model.imageGeneration() != _lastGeneration) {
        _lastGeneration = _model.imageGeneration();
        if (const auto& image = _model.skinImage()) {
            _documentSize = image->size + QSizeF(2 * imageMargin, 2 * imageMargin);
            if (image->size != _fittedSize) {
                _fittedSize = image->size;
                _fitPending = true;
            }
        }
        updateScrollBars();
        if (_fitPending && isVisible()) fitImage();
    }
    viewport()->update();
}

void CanvasView::fitImage() {
    _fitPending = false;
    if (!_model.skinImage()) return;
    const QSizeF image = _model.skinImage()->size;
    const QSizeF room = QSizeF(viewport()->size()) - QSizeF(2 * contentInset, 2 * contentInset);
    if (image.width() > 0 && image.height() > 0 && room.width() > 0 && room.height() > 0)
        _magnification =
            std::clamp(std::min({1.0, room.width() / image.width(), room.height() / image.height()}),
                       minimumMagnification, maximumMagnification);
    updateScrollBars();
    const QPointF centre = (margin() + QPointF(image.width() / 2, image.height() / 2)) * _magnification +
                           QPointF(contentInset, contentInset);
    horizontalScrollBar()->setValue(int(std::lround(centre.x() - viewport()->width() / 2.0)));
    verticalScrollBar()->setValue(int(std::lround(centre.y() - viewport()->height() / 2.0)));
    viewport()->update();
}

void CanvasView::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    if (_fitPending) fitImage();
}

void CanvasView::setMagnification(double magnification, std::optional<QPointF> anchor) {
    magnification = std::clamp(magnification, minimumMagnification, maximumMagnification);
    if (!std::isfinite(magnification) || magnification == _magnification) return;
    const QPointF at = anchor.value_or(QRectF(viewport()->rect()).center());
    const QPointF fixed = documentPoint(at);
    _magnification = magnification;
    updateScrollBars();
    // Scroll so that the document point under the anchor stays under it.
    const QPointF moved = viewPosition(fixed) - at;
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + int(std::lround(moved.x())));
    verticalScrollBar()->setValue(verticalScrollBar()->value() + int(std::lround(moved.y())));
    viewport()->update();
}

void CanvasView::updateScrollBars() {
    const QSizeF content = _documentSize * _magnification + QSizeF(2 * contentInset, 2 * contentInset);
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, int(std::ceil(content.width())) - view.width()));
    verticalScrollBar()->setRange(0, std::max(0, int(std::ceil(content.height())) - view.height()));
    horizontalScrollBar()->setPageStep(view.width());
    verticalScrollBar()->setPageStep(view.height());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
}

QPointF CanvasView::contentOrigin() const {
    const QSizeF scaled = _documentSize * _magnification;
    const QSize view = viewport()->size();
    auto axis = [&](double extent, int viewExtent, int scroll) {
        if (extent + 2 * contentInset <= viewExtent) return (viewExtent - extent) / 2;
        return contentInset - scroll;
    };
    return QPointF(axis(scaled.width(), view.width(), horizontalScrollBar()->value()),
                   axis(scaled.height(), view.height(), verticalScrollBar()->value()));
}

QPointF CanvasView::documentPoint(QPointF viewPosition) const {
    return (viewPosition - contentOrigin()) / _magnification;
}

QPointF CanvasView::viewPosition(QPointF documentPoint) const {
    return documentPoint * _magnification + contentOrigin();
}

void CanvasView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void CanvasView::scrollContentsBy(int, int) {
    viewport()->update();
}

void CanvasView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        const double steps = event->angleDelta().y() / 120.0;
        setMagnification(_magnification * std::pow(1.25, steps), event->position());
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

bool CanvasView::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::NativeGesture: {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            setMagnification(_magnification * (1 + gesture->value()), gesture->position());
            return true;
        }
        break;
    }
    case QEvent::Leave:
        if (_penHoverPoint) {
            _penHoverPoint.reset();
            viewport()->update();
        }
        break;
    default:
        break;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

// MARK: Drawing

const QPixmap& CanvasView::imagePixmap() {
    if (_pixmapGeneration != _model.imageGeneration()) {
        _pixmapGeneration = _model.imageGeneration();
        _pixmap = _model.skinImage() ? QPixmap::fromImage(_model.skinImage()->bitmap) : QPixmap();
    }
    return _pixmap;
}

void CanvasView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setClipRect(event->rect());
    painter.fillRect(event->rect(), marginColor);
    painter.translate(contentOrigin());
    painter.scale(_magnification, _magnification);
    painter.translate(margin());

    const QSizeF imageSize = _model.skinImage() ? _model.skinImage()->size : QSizeF(400, 400);
    const QRectF imageRect(QPointF(0, 0), imageSize);
    static const QPixmap tile = checkerTile();
    painter.save();
    // The tile's four squares are 10 points each: the brush follows the painter's scale.
    painter.setClipRect(imageRect, Qt::IntersectClip);
    painter.fillRect(imageRect, QBrush(tile));
    if (_model.skinImage()) {
        const QPixmap& pixmap = imagePixmap();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, _magnification < 1);
        painter.drawPixmap(imageRect, pixmap, QRectF(pixmap.rect()));
    }
    painter.restore();

    painter.setRenderHint(QPainter::Antialiasing);
    if (_model.viewport()) drawViewport(painter);
    drawButtons(painter);
    if (_model.drawerEnabled()) drawDrawer(painter);

    const QList<BezierNode>& open = _model.drawerMaskInProgress();
    if (!open.isEmpty()) {
        drawPenPath(painter, open, true);
        if (_penHoverPoint) {
            painter.setPen(screenPen(withAlpha(magenta, 0.7), 1.5, {3, 3}));
            painter.drawLine(open.last().point, *_penHoverPoint);
        }
    }
    if (_currentDragRect && _dragMode == DragMode::draw && !isPenTool(_model.currentTool())) {
        const QColor color = toolColor(_model.currentTool());
        painter.setPen(screenPen(color, 2, {5, 5}));
        painter.setBrush(withAlpha(color, 0.1));
        painter.drawRect(*_currentDragRect);
    }
}

void CanvasView::drawLabel(QPainter& painter, const QString& text, double pixelSize, QFont::Weight weight,
                           const QColor& color, const std::function<QPointF(QSizeF)>& place) const {
    const QFont font = monospaced(pixelSize, weight);
    const QFontMetricsF metrics(font);
    const QSizeF size(metrics.horizontalAdvance(text), metrics.height());
    painter.save();
    painter.resetTransform();
    painter.setFont(font);
    painter.setPen(color);
    const QPointF topLeft = place(size);
    painter.drawText(QRectF(topLeft, size), Qt::AlignCenter, text);
    painter.restore();
}

void CanvasView::drawViewport(QPainter& painter) const {
    const QPainterPath path = resolvedViewportPath(_model);
    painter.setPen(screenPen(green, 2));
    painter.setBrush(withAlpha(green, 0.08));
    painter.drawPath(path);
    const double radius = 5 / _magnification;
    painter.setPen(Qt::NoPen);
    painter.setBrush(green);
    const QList<QPointF> corners = resolvedViewportCorners(_model).value_or(QList<QPointF>());
    for (QPointF corner : corners)
        painter.drawEllipse(corner, radius, radius);

    const QRectF rect = _model.viewport()->normalized();
    bool quad = false;
    for (QPointF offset : _model.viewportCornerOffsets())
        quad = quad || offset.x() != 0 || offset.y() != 0;
    const QString text = QStringLiteral("VIEWPORT %1x%2%3")
                             .arg(qint64(rect.width()))
                             .arg(qint64(rect.height()))
                             .arg(quad ? QStringLiteral(" (quad)") : QString());
    const QRectF box = painter.transform().mapRect(path.boundingRect());
    drawLabel(painter, text, 9, QFont::Bold, green, [&](QSizeF size) {
        return QPointF(box.center().x() - size.width() / 2, box.top() - size.height() - 4);
    });
}

void CanvasView::drawButtons(QPainter& painter) const {
    const QList<ButtonDef>& buttons = _model.buttons();
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        const ButtonDef& button = buttons[i];
        const QRectF rect = button.rect.normalized();
        painter.setPen(screenPen(orange, 2));
        painter.setBrush(withAlpha(orange, 0.1));
        if (button.shape == ButtonShape::circle) {
            const double d = std::min(rect.width(), rect.height());
            painter.drawEllipse(QRectF(rect.center() - QPointF(d / 2, d / 2), QSizeF(d, d)));
        } else {
            painter.drawRect(rect);
        }
        const QString text = button.label.isEmpty() ? QStringLiteral("BTN %1").arg(i + 1) : button.label;
        const QPointF centre = painter.transform().map(rect.center());
        drawLabel(painter, text, 8, QFont::Bold, orange,
                  [&](QSizeF size) { return centre - QPointF(size.width() / 2, size.height() / 2); });
    }
}

void CanvasView::drawDrawer(QPainter& painter) const {
    const QRectF bounds =
        _model.skinImage() ? QRectF(QPointF(0, 0), _model.skinImage()->size) : QRectF(viewport()->rect());
    const double t = 4 / _magnification;
    QRectF band;
    switch (_model.drawerEdge()) {
    case DrawerEdge::top:
        band = QRectF(bounds.left(), bounds.top(), bounds.width(), t);
        break;
    case DrawerEdge::bottom:
        band = QRectF(bounds.left(), bounds.bottom() - t, bounds.width(), t);
        break;
    case DrawerEdge::left:
        band = QRectF(bounds.left(), bounds.top(), t, bounds.height());
        break;
    case DrawerEdge::right:
        band = QRectF(bounds.right() - t, bounds.top(), t, bounds.height());
        break;
    }
    painter.fillRect(band, withAlpha(magenta, 0.35));
    const QString text = QStringLiteral("DRAWER ▸ ") + rawValue(_model.drawerEdge()).toUpper();
    const QRectF box = painter.transform().mapRect(bounds);
    const DrawerEdge edge = _model.drawerEdge();
    drawLabel(painter, text, 9, QFont::DemiBold, magenta, [&](QSizeF size) {
        switch (edge) {
        case DrawerEdge::top:
            return QPointF(box.center().x() - size.width() / 2, box.top() + 4 + 2);
        case DrawerEdge::bottom:
            return QPointF(box.center().x() - size.width() / 2, box.bottom() - 4 - size.height() - 2);
        case DrawerEdge::left:
            return QPointF(box.left() + 4 + 4, box.center().y() - size.height() / 2);
        case DrawerEdge::right:
            break;
        }
        return QPointF(box.right() - 4 - 4 - size.width(), box.center().y() - size.height() / 2);
    });

    if (const auto& drawer = _model.drawerViewport()) {
        const QRectF rect = drawer->normalized();
        painter.setPen(screenPen(systemYellow, 2));
        painter.setBrush(withAlpha(systemYellow, 0.12));
        painter.drawRect(rect);
        const QPointF centre = painter.transform().map(rect.center());
        drawLabel(painter, QStringLiteral("DRAWER VIEWPORT"), 8, QFont::Bold, systemYellow,
                  [&](QSizeF size) { return centre - QPointF(size.width() / 2, size.height() / 2); });
        if (_model.currentTool() == DrawTool::drawerViewport) {
            const double side = 10 / _magnification;
            painter.setPen(Qt::NoPen);
            painter.setBrush(systemYellow);
            for (QPointF corner : rectCorners(rect))
                painter.drawRect(QRectF(corner - QPointF(side / 2, side / 2), QSizeF(side, side)));
        }
    }
    if (!_model.drawerMask().isEmpty()) drawPenPath(painter, _model.drawerMask(), false);
}

void CanvasView::drawPenPath(QPainter& painter, const QList<BezierNode>& nodes, bool inProgress) const {
    const QPainterPath path = bezierPath(nodes, !inProgress);
    if (inProgress) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(screenPen(magenta, 2, {4, 4}));
        painter.drawPath(path);
        if (nodes.size() >= 2) {
            painter.setPen(screenPen(withAlpha(magenta, 0.5), 2, {3, 3}));
            painter.drawLine(nodes.last().point, nodes.first().point);
        }
    } else {
        painter.setPen(screenPen(magenta, 2));
        painter.setBrush(withAlpha(magenta, 0.15));
        painter.drawPath(path);
    }
    const double r = 3 / _magnification;
    for (const BezierNode& node : nodes) {
        if (!node.isStraight()) {
            painter.setPen(screenPen(withAlpha(magenta, 0.55), 1));
            painter.drawLine(node.handleIn, node.point);
            painter.drawLine(node.handleOut, node.point);
            painter.setPen(Qt::NoPen);
            painter.setBrush(withAlpha(magenta, 0.4));
            painter.drawEllipse(node.handleIn, r, r);
            painter.drawEllipse(node.handleOut, r, r);
        }
        painter.setPen(screenPen(magenta, 1.5));
        painter.setBrush(Qt::white);
        painter.drawEllipse(node.point, r, r);
    }
}

// MARK: Input

void CanvasView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
    press(event->position(), event->modifiers(), false);
}

void CanvasView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseDoubleClickEvent(event);
    press(event->position(), event->modifiers(), true);
}

void CanvasView::press(QPointF viewPosition, Qt::KeyboardModifiers modifiers, bool doubleClick) {
    const QPointF p = imagePoint(viewPosition);
    const DrawTool tool = _model.currentTool();
    if (tool == DrawTool::magicWand) {
        _model.magicWandErase(p, _model.magicWandTolerance());
        viewport()->update();
        return;
    }
    if (isPenTool(tool)) {
        if (doubleClick) {
            commitActivePen();
        } else {
            _model.addMaskVertex(p);
            _dragStart = p;
        }
        viewport()->update();
        return;
    }
    const double threshold = handleReach / _magnification;
    _dragStart = p;
    if (const auto corners = resolvedViewportCorners(_model)) {
        for (int i = 0; i < 4; ++i) {
            if (std::hypot(p.x() - (*corners)[i].x(), p.y() - (*corners)[i].y()) <= threshold) {
                _dragMode =
                    (modifiers & Qt::ControlModifier) ? DragMode::distortCorner : DragMode::resizeViewport;
                _resizeCorner = i;
                return;
            }
        }
        if (resolvedViewportPath(_model).contains(p)) {
            _dragMode = DragMode::moveViewport;
            return;
        }
    }
    if (tool == DrawTool::drawerViewport && _model.drawerViewport()) {
        const QList<QPointF> corners = rectCorners(*_model.drawerViewport());
        for (int i = 0; i < 4; ++i) {
            if (std::abs(p.x() - corners[i].x()) < threshold &&
                std::abs(p.y() - corners[i].y()) < threshold) {
                _dragMode = DragMode::resizeDrawerViewport;
                _resizeCorner = i;
                return;
            }
        }
        if (_model.drawerViewport()->normalized().contains(p)) {
            _dragMode = DragMode::moveDrawerViewport;
            return;
        }
    }
    _dragMode = DragMode::draw;
    _currentDragRect.reset();
}

namespace {

// The rectangle with one corner dragged by d; the opposite corner stays. No minimum, no clamping.
QRectF resized(const QRectF& r, int corner, QPointF d) {
    double x = r.x(), y = r.y(), w = r.width(), h = r.height();
    switch (corner) {
    case 0:
        return QRectF(x + d.x(), y + d.y(), w - d.x(), h - d.y());
    case 1:
        return QRectF(x, y + d.y(), w + d.x(), h - d.y());
    case 2:
        return QRectF(x, y, w + d.x(), h + d.y());
    default:
        return QRectF(x + d.x(), y, w - d.x(), h + d.y());
    }
}

} // namespace

void CanvasView::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = imagePoint(event->position());
    if (!(event->buttons() & Qt::LeftButton)) {
        // Hovering: the rubber line from the open pen path's last node.
        if (isPenTool(_model.currentTool()) && !_model.drawerMaskInProgress().isEmpty()) {
            _penHoverPoint = p;
            viewport()->update();
        } else if (_penHoverPoint) {
            _penHoverPoint.reset();
            viewport()->update();
        }
        return;
    }
    if (!_dragStart) return;
    const QPointF d = p - *_dragStart;
    if (isPenTool(_model.currentTool())) {
        _model.updateMaskDragHandle(p);
        viewport()->update();
        return;
    }
    switch (_dragMode) {
    case DragMode::draw:
        _currentDragRect = QRectF(std::min(p.x(), _dragStart->x()), std::min(p.y(), _dragStart->y()),
                                  std::abs(d.x()), std::abs(d.y()));
        viewport()->update();
        return;
    case DragMode::moveViewport:
        if (const auto& vp = _model.viewport()) _model.setViewport(vp->translated(d));
        break;
    case DragMode::moveDrawerViewport:
        if (const auto& dv = _model.drawerViewport()) _model.setDrawerViewport(dv->translated(d));
        break;
    case DragMode::resizeViewport:
        if (const auto& vp = _model.viewport()) _model.setViewport(resized(*vp, _resizeCorner, d));
        break;
    case DragMode::resizeDrawerViewport:
        if (const auto& dv = _model.drawerViewport())
            _model.setDrawerViewport(resized(*dv, _resizeCorner, d));
        break;
    case DragMode::distortCorner: {
        QList<QPointF> offsets = _model.viewportCornerOffsets();
        if (_resizeCorner < 0 || _resizeCorner > 3 || offsets.size() != 4) return;
        offsets[_resizeCorner] += d;
        _model.setViewportCornerOffsets(offsets);
        break;
    }
    }
    viewport()->update();
    _dragStart = p;
}

void CanvasView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseReleaseEvent(event);
    if (_dragMode == DragMode::draw && _currentDragRect) _model.finishDraw(*_currentDragRect);
    if (isPenTool(_model.currentTool())) _model.setDrawerMaskDragging(false);
    _dragStart.reset();
    _currentDragRect.reset();
    viewport()->update();
}

void CanvasView::commitActivePen() {
    switch (_model.currentTool()) {
    case DrawTool::imageCropPen:
    case DrawTool::imageErasePen:
        _model.commitImagePen();
        break;
    case DrawTool::drawerMask:
        _model.commitDrawerMask();
        break;
    default:
        discardPen();
        break;
    }
}

void CanvasView::discardPen() {
    _model.setDrawerMaskInProgress({});
    _model.setDrawerMaskDragging(false);
}

void CanvasView::keyPressEvent(QKeyEvent* event) {
    if (_model.drawerMaskInProgress().isEmpty()) return QAbstractScrollArea::keyPressEvent(event);
    switch (event->key()) {
    case Qt::Key_Escape:
        discardPen();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        commitActivePen();
        break;
    case Qt::Key_Backspace:
    case Qt::Key_Delete: {
        QList<BezierNode> path = _model.drawerMaskInProgress();
        path.removeLast();
        _model.setDrawerMaskInProgress(path);
        break;
    }
    default:
        return QAbstractScrollArea::keyPressEvent(event);
    }
    event->accept();
    viewport()->update();
}

} // namespace Quillaby
