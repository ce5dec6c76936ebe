#include "Windows/ScreenWarpEffect.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPainterPathStroker>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

namespace Quillaby {

namespace {

constexpr QImage::Format imageFormat = QImage::Format_ARGB32_Premultiplied;
// Below this many device rows a warp runs on the calling thread.
constexpr int parallelRows = 192;

QImage makeImage(const QSize& logical, qreal dpr) {
    QImage image(QSize(std::max(1, int(std::ceil(logical.width() * dpr))),
                       std::max(1, int(std::ceil(logical.height() * dpr)))),
                 imageFormat);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

ScreenWarpEffect::ScreenWarpEffect(QWidget* panel, QWidget* canvas)
    : QGraphicsEffect(panel)
    , _panel(panel)
    , _canvas(canvas) {}

void ScreenWarpEffect::setGeometry(const QPointF& panelOrigin, const QTransform& transform,
                                   const QPainterPath& outline) {
    _panelOrigin = panelOrigin;
    _transform = transform;
    _outline = outline;
    QPainterPathStroker stroker;
    stroker.setWidth(2);
    _grownOutline = outline.united(stroker.createStroke(outline)).simplified();
    _upright = QImage();
    _warped = QImage();
    updateBoundingRect();
    update();
}

QRectF ScreenWarpEffect::boundingRectFor(const QRectF&) const {
    return QRectF(-_panelOrigin, QSizeF(_canvas->size()));
}

bool ScreenWarpEffect::ensureImages(qreal dpr) {
    const QSize uprightSize = makeImage(_panel->size(), dpr).size();
    const QSize warpedSize = makeImage(_canvas->size(), dpr).size();
    if (_dpr == dpr && _upright.size() == uprightSize && _warped.size() == warpedSize) return false;
    _dpr = dpr;
    _upright = makeImage(_panel->size(), dpr);
    _warped = makeImage(_canvas->size(), dpr);
    return true;
}

QRect ScreenWarpEffect::refresh(const QRect& region, qreal dpr) {
    const bool fresh = ensureImages(dpr);
    const QRect area = fresh ? _panel->rect() : region & _panel->rect();
    if (area.isEmpty()) return {};
    QImage scratch = makeImage(area.size(), dpr);
    _panel->render(&scratch, QPoint(), QRegion(area), QWidget::DrawWindowBackground | QWidget::DrawChildren);

    const QRect device = QRect(QPoint(int(std::floor(area.x() * dpr)), int(std::floor(area.y() * dpr))),
                               scratch.size()) &
                         _upright.rect();
    const size_t rowBytes = size_t(device.width()) * 4;
    int first = -1;
    int last = -1;
    for (int row = 0; row < device.height(); ++row) {
        const uchar* source = scratch.constScanLine(row);
        uchar* target = _upright.scanLine(device.y() + row) + size_t(device.x()) * 4;
        if (!fresh && std::memcmp(source, target, rowBytes) == 0) continue;
        std::memcpy(target, source, rowBytes);
        if (first < 0) first = row;
        last = row;
    }
    if (first < 0) return {};
    const int top = int(std::floor((device.y() + first) / dpr));
    const int bottom = int(std::ceil((device.y() + last + 1) / dpr));
    return QRect(area.x(), top, area.width(), bottom - top);
}

QRect ScreenWarpEffect::warp(const QRect& uprightRect) {
    if (_warped.isNull() || uprightRect.isEmpty()) return {};
    const QRect canvasRect(QPoint(), _canvas->size());
    // The image of the rectangle's edges: the smoothing reads one pixel beyond them.
    const QRectF image = _transform.mapRect(QRectF(uprightRect).adjusted(-1, -1, 1, 1)).translated(_panelOrigin);
    const QRect dest = image.toAlignedRect().adjusted(-1, -1, 1, 1) & canvasRect;
    if (dest.isEmpty()) return {};

    const int firstRow = int(std::floor(dest.top() * _dpr));
    const int endRow = std::min(_warped.height(), int(std::ceil((dest.bottom() + 1) * _dpr)));
    const int rows = endRow - firstRow;
    const int threads = rows < parallelRows ? 1 : int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    const qsizetype stride = _warped.bytesPerLine();
    uchar* bits = _warped.bits();
    std::vector<std::thread> workers;
    const auto band = [&](int index) {
        const int begin = firstRow + rows * index / threads;
        const int end = firstRow + rows * (index + 1) / threads;
        if (end <= begin) return;
        QImage view(bits + stride * begin, _warped.width(), end - begin, stride, imageFormat);
        view.setDevicePixelRatio(_dpr);
        warpBand(view, begin / _dpr, dest);
    };
    for (int i = 1; i < threads; ++i) workers.emplace_back(band, i);
    band(0);
    for (std::thread& worker : workers) worker.join();
    return dest;
}

void ScreenWarpEffect::warpBand(QImage& target, double top, const QRect& dest) const {
    QPainter painter(&target);
    const QTransform shift = QTransform::fromTranslate(_panelOrigin.x(), _panelOrigin.y() - top);
    painter.translate(0, -top);
    painter.setClipRect(dest);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(dest, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    // The resampled panel fades out over its last pixel, as the frame art's hole does over its own:
    // where the two meet the desktop showed through. A pixel more of the panel's edge colour under it
    // closes that seam; the art covers it.
    painter.setTransform(QTransform::fromTranslate(0, -top));
    painter.fillPath(_grownOutline.translated(_panelOrigin),
                     _upright.pixelColor(0, _upright.height() / 2));
    painter.setTransform(_transform * shift);
    painter.drawImage(QPointF(0, 0), _upright);
    // Everything outside the grown outline goes, with soft edges.
    painter.setTransform(QTransform::fromTranslate(0, -top));
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    QPainterPath outside;
    outside.setFillRule(Qt::OddEvenFill);
    outside.addRect(QRectF(dest).adjusted(-2, -2, 2, 2));
    outside.addPath(_grownOutline.translated(_panelOrigin));
    painter.fillPath(outside, Qt::black);
}

void ScreenWarpEffect::draw(QPainter* painter) {
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    const QRegion system = painter->paintEngine() ? painter->paintEngine()->systemClip() : QRegion();
    const QTransform toPanel = painter->deviceTransform().inverted();
    const QRegion repainted = system.isEmpty() ? QRegion(boundingRectFor({}).toAlignedRect()) : toPanel.map(system);

    QRect changed = refresh(repainted.boundingRect().adjusted(-1, -1, 1, 1), dpr);
    if (!changed.isEmpty()) {
        const QRect drawn = warp(changed);
        // The changed rows are drawn where the transform puts them, which the repaint may not reach.
        const QRegion missing = QRegion(drawn) - repainted.translated(_panelOrigin.toPoint());
        if (!missing.isEmpty()) _canvas->update(missing);
    }
    painter->drawImage(-_panelOrigin, _warped);
}

} // namespace Quillaby
