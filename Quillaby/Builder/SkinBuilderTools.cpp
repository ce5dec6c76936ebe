// The image clean-up tools, the dragged rectangles and pen paths, and undo.
#include "Builder/SkinBuilderModel.h"

#include "Builder/BezierPath.h"
#include "Builder/FloodFill.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace Quillaby {

namespace {

// A pixel whose alpha is above this is content when trimming.
constexpr int contentAlpha = 10;
// At or below this alpha, background removal clears a pixel whatever its colour.
constexpr int clearAlpha = 9;
constexpr int trimPadding = 4;
constexpr int maximumButtons = 4;

QRectF shifted(const QRectF& rect, QPointF by) {
    return rect.translated(by);
}

QList<BezierNode> shifted(QList<BezierNode> nodes, QPointF by) {
    for (BezierNode& node : nodes) {
        node.point += by;
        node.handleIn += by;
        node.handleOut += by;
    }
    return nodes;
}

// The image's alpha per pixel as stored, for formats that keep it in a pixel's last byte in memory.
bool alphaIsLastByte(QImage::Format format) {
    switch (format) {
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
#endif
        return true;
    default:
        return false;
    }
}

// Byte offsets of the channels within a 4-byte pixel.
struct Channels {
    int red;
    int green;
    int blue;
    int alpha;
};

bool straightFormat(QImage::Format format) {
    return format == QImage::Format_RGBA8888 || format == QImage::Format_ARGB32;
}

Channels channels(QImage::Format format) {
    if (format == QImage::Format_RGBA8888) return {0, 1, 2, 3};
        // 0xAARRGGBB in native order.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    return {2, 1, 0, 3};
#else
    return {1, 2, 3, 0};
#endif
}

} // namespace

void SkinBuilderModel::pushUndo() {
    if (!_skinImage) return;
    _history.push(
        ImageSnapshot{*_skinImage, _viewport, _buttons, _imagePixelSize, _drawerViewport, _drawerMask});
    notify();
}

void SkinBuilderModel::magicWandErase(QPointF point, double tolerance) {
    if (!_skinImage || _skinImage->bitmap.isNull() || !_skinImage->bitmap.hasAlphaChannel()) {
        setStatus(QStringLiteral("Magic wand needs an RGBA image"), true);
        return;
    }
    const SkinImage& source = *_skinImage;
    const int width = source.bitmap.width();
    const int height = source.bitmap.height();
    if (!(source.size.width() > 0) || !(source.size.height() > 0)) return;
    const double fx = point.x() / source.size.width() * width;
    const double fy = point.y() / source.size.height() * height;
    if (!(fx > -1 && fx < width) || !(fy > -1 && fy < height)) return;
    const int x0 = int(fx);
    const int y0 = int(fy);
    if (x0 < 0 || y0 < 0 || x0 >= width || y0 >= height) return;

    // Straight (not premultiplied) colour and alpha bytes, as a lossless encoding would hold them. A
    // decoded PNG is already in such a format and is only copied.
    QImage bitmap = straightFormat(source.bitmap.format())
                        ? source.bitmap
                        : source.bitmap.convertToFormat(QImage::Format_RGBA8888);
    if (bitmap.isNull()) {
        setStatus(QStringLiteral("Magic wand needs an RGBA image"), true);
        return;
    }
    const Channels at = channels(bitmap.format());
    const uchar* seed = bitmap.constScanLine(y0) + 4 * x0;
    if (seed[at.alpha] == 0) {
        setStatus(QStringLiteral("That spot is already transparent"), false);
        return;
    }
    const int limit = int(tolerance);
    const int red = seed[at.red];
    const int green = seed[at.green];
    const int blue = seed[at.blue];

    ChangeBatch batch(*this);
    pushUndo();
    uchar* bits = bitmap.bits();
    const qsizetype stride = bitmap.bytesPerLine();
    auto pixel = [&](int x, int y) { return bits + y * stride + 4 * x; };
    const qint64 cleared = floodFill(
        width, height, {QPoint(x0, y0)},
        [&](int x, int y) {
            const uchar* p = pixel(x, y);
            return p[at.alpha] != 0 && std::abs(p[at.red] - red) <= limit &&
                   std::abs(p[at.green] - green) <= limit && std::abs(p[at.blue] - blue) <= limit;
        },
        [&](int x, int y) { std::memset(pixel(x, y), 0, 4); });
    if (cleared == 0) return;
    replaceImage(SkinImage(bitmap, source.size));
    setStatus(QStringLiteral("Magic wand erased %1 px").arg(cleared), false);
}

void SkinBuilderModel::removeBackground(double tolerance) {
    if (!_skinImage || _skinImage->bitmap.isNull()) return;
    ChangeBatch batch(*this);
    pushUndo();
    const SkinImage& source = *_skinImage;
    QImage bitmap = source.bitmap.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    if (bitmap.isNull()) return;
    const int width = bitmap.width();
    const int height = bitmap.height();
    uchar* bits = bitmap.bits();
    const qsizetype stride = bitmap.bytesPerLine();
    auto pixel = [&](int x, int y) { return bits + y * stride + 4 * x; };

    QList<QPoint> seeds;
    seeds.reserve(2 * (qsizetype(width) + height));
    for (int x = 0; x < width; ++x)
        seeds.append({QPoint(x, 0), QPoint(x, height - 1)});
    for (int y = 0; y < height; ++y)
        seeds.append({QPoint(0, y), QPoint(width - 1, y)});

    // The corners, then the pixels beside the top-left one; an image one pixel wide or high samples
    // its nearest pixel instead.
    const QPoint samplePoints[] = {{0, 0}, {width - 1, 0}, {0, height - 1}, {width - 1, height - 1},
                                   {1, 0}, {0, 1},         {1, 1}};
    std::array<std::array<double, 3>, 7> references{};
    for (std::size_t i = 0; i < references.size(); ++i) {
        const uchar* p =
            pixel(std::min(samplePoints[i].x(), width - 1), std::min(samplePoints[i].y(), height - 1));
        references[i] = {double(p[0]), double(p[1]), double(p[2])};
    }
    floodFill(
        width, height, seeds,
        [&](int x, int y) {
            const uchar* p = pixel(x, y);
            if (p[3] <= clearAlpha) return true;
            for (const auto& ref : references)
                if (std::abs(p[0] - ref[0]) <= tolerance && std::abs(p[1] - ref[1]) <= tolerance &&
                    std::abs(p[2] - ref[2]) <= tolerance)
                    return true;
            return false;
        },
        [&](int x, int y) { std::memset(pixel(x, y), 0, 4); });
    replaceImage(SkinImage(bitmap, source.size));
    setStatus(QStringLiteral("Background removed"), false);
}

void SkinBuilderModel::trimToContent() {
    if (!_skinImage || _skinImage->bitmap.isNull()) return;
    const SkinImage source = *_skinImage;
    ChangeBatch batch(*this);
    const QList<ImageSnapshot> before = _history.stack;
    pushUndo();

    const QImage& stored = source.bitmap;
    const int width = stored.width();
    const int height = stored.height();
    int minX = width, maxX = 0, minY = height, maxY = 0;
    if (!stored.hasAlphaChannel()) {
        // Every pixel of an image without alpha is opaque.
        minX = minY = 0;
        maxX = width - 1;
        maxY = height - 1;
    } else {
        const QImage scan =
            alphaIsLastByte(stored.format()) ? stored : stored.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < height; ++y) {
            const uchar* row = scan.constScanLine(y);
            int first = -1;
            int last = -1;
            for (int x = 0; x < width; ++x)
                if (row[4 * x + 3] > contentAlpha) {
                    first = x;
                    break;
                }
            if (first < 0) continue;
            for (int x = width - 1; x >= first; --x)
                if (row[4 * x + 3] > contentAlpha) {
                    last = x;
                    break;
                }
            minX = std::min(minX, first);
            maxX = std::max(maxX, last);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
    }
    if (!(minX < maxX && minY < maxY)) {
        _history.stack = before;
        setStatus(QStringLiteral("No opaque content found"), true);
        return;
    }
    const int x0 = std::max(minX - trimPadding, 0);
    const int x1 = std::min(maxX + trimPadding, width - 1);
    const int y0 = std::max(minY - trimPadding, 0);
    const int y1 = std::min(maxY + trimPadding, height - 1);
    const QImage cut = stored.copy(x0, y0, x1 - x0 + 1, y1 - y0 + 1);
    if (cut.isNull()) return;

    const double k = source.size.width() > 0 ? width / source.size.width() : 1;
    const double ky = source.size.height() > 0 ? height / source.size.height() : 1;
    replaceImage(SkinImage(cut, QSizeF(cut.width() / k, cut.height() / ky)));

    // Everything drawn on the image moves with it, the drawer and an open pen path included.
    const QPointF by(-x0 / k, -y0 / ky);
    if (_viewport) assign(_viewport, std::optional<QRectF>(shifted(*_viewport, by)));
    QList<ButtonDef> buttons = _buttons;
    for (ButtonDef& button : buttons)
        button.rect = shifted(button.rect, by);
    assign(_buttons, buttons);
    if (_drawerViewport) assign(_drawerViewport, std::optional<QRectF>(shifted(*_drawerViewport, by)));
    assign(_drawerMask, shifted(_drawerMask, by));
    assign(_drawerMaskInProgress, shifted(_drawerMaskInProgress, by));
    setStatus(QStringLiteral("Trimmed to %1x%2px").arg(cut.width()).arg(cut.height()), false);
}

void SkinBuilderModel::addMaskVertex(QPointF point) {
    ChangeBatch batch(*this);
    QList<BezierNode> path = _drawerMaskInProgress;
    path.append(BezierNode(point));
    assign(_drawerMaskInProgress, path);
    const qsizetype n = path.size();
    setStatus(QStringLiteral("Pen: %1 node%2 — drag to curve, dbl-click / Return to close")
                  .arg(n)
                  .arg(n == 1 ? QString() : QStringLiteral("s")),
              false);
}

void SkinBuilderModel::updateMaskDragHandle(QPointF point) {
    if (_drawerMaskInProgress.isEmpty()) return;
    ChangeBatch batch(*this);
    QList<BezierNode> path = _drawerMaskInProgress;
    BezierNode& node = path.last();
    node.handleOut = point;
    node.handleIn = 2 * node.point - point;
    assign(_drawerMaskInProgress, path);
    assign(_drawerMaskDragging, true);
}

void SkinBuilderModel::commitImagePen() {
    ChangeBatch batch(*this);
    const QList<BezierNode> path = _drawerMaskInProgress;
    if (path.size() < 3) {
        setStatus(QStringLiteral("Pen needs at least 3 points"), true);
    } else if (_skinImage) {
        const bool keepInside = _currentTool == DrawTool::imageCropPen;
        if (std::optional<SkinImage> image = applyPolygonMask(*_skinImage, path, keepInside)) {
            pushUndo();
            replaceImage(*image);
            setStatus((keepInside ? QStringLiteral("Cropped to %1-node polygon")
                                  : QStringLiteral("Erased %1-node polygon"))
                          .arg(path.size()),
                      false);
        }
    }
    assign(_drawerMaskInProgress, QList<BezierNode>());
    assign(_drawerMaskDragging, false);
}

void SkinBuilderModel::commitDrawerMask() {
    ChangeBatch batch(*this);
    const QList<BezierNode> path = _drawerMaskInProgress;
    assign(_drawerMaskInProgress, QList<BezierNode>());
    assign(_drawerMaskDragging, false);
    if (path.size() < 3) {
        setStatus(QStringLiteral("Mask needs at least 3 points"), true);
        return;
    }
    assign(_drawerMask, path);
    assign(_drawerEnabled, true);
    setStatus(QStringLiteral("Drawer mask set: %1 nodes").arg(path.size()), false);
}

std::optional<SkinImage> SkinBuilderModel::applyPolygonMask(const SkinImage& image,
                                                            const QList<BezierNode>& nodes, bool keepInside) {
    if (image.bitmap.isNull() || !(image.size.width() > 0) || !(image.size.height() > 0)) return std::nullopt;
    QImage bitmap = image.bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (bitmap.isNull()) return std::nullopt;
    const double w = bitmap.width();
    const double h = bitmap.height();
    const double sx = w / image.size.width();
    const double sy = h / image.size.height();
    QPainterPath path = bezierPath(nodes, true, [&](QPointF q) { return QPointF(q.x() * sx, q.y() * sy); });
    QPainter painter(&bitmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    if (keepInside) {
        QPainterPath outside;
        outside.addRect(0, 0, w, h);
        outside.addPath(path);
        outside.setFillRule(Qt::OddEvenFill);
        painter.fillPath(outside, Qt::black);
    } else {
        path.setFillRule(Qt::WindingFill);
        painter.fillPath(path, Qt::black);
    }
    painter.end();
    return SkinImage(bitmap, image.size);
}

void SkinBuilderModel::finishDraw(const QRectF& rect) {
    const QSizeF bounds = _skinImage ? _skinImage->size : _imagePixelSize;
    const QRectF clipped = rect.normalized().intersected(QRectF(QPointF(0, 0), bounds));
    if (!(clipped.width() > 5) || !(clipped.height() > 5)) return;
    const QRectF r(std::round(clipped.x()), std::round(clipped.y()), std::round(clipped.width()),
                   std::round(clipped.height()));
    const QString width = QString::number(qint64(r.width()));
    const QString height = QString::number(qint64(r.height()));

    ChangeBatch batch(*this);
    switch (_currentTool) {
    case DrawTool::viewport:
        assign(_viewport, std::optional<QRectF>(r));
        setStatus(QStringLiteral("Viewport set: ") + width + u'x' + height, false);
        break;
    case DrawTool::button: {
        if (_buttons.size() >= maximumButtons) {
            setStatus(QStringLiteral("Max 4 buttons"), true);
            break;
        }
        ButtonDef button;
        button.rect = r;
        button.shape = _buttonShape;
        button.defaultPanel = _buttons.isEmpty() ? PanelType::terminal : PanelType::placeholder;
        QList<ButtonDef> buttons = _buttons;
        buttons.append(button);
        assign(_buttons, buttons);
        setStatus(
            QStringLiteral("Button %1 added (%2)")
                .arg(buttons.size())
                .arg(_buttonShape == ButtonShape::circle ? QStringLiteral("circle") : QStringLiteral("rect")),
            false);
        break;
    }
    case DrawTool::drawerViewport:
        assign(_drawerEnabled, true);
        assign(_drawerViewport, std::optional<QRectF>(r));
        setStatus(QStringLiteral("Drawer viewport set: ") + width + QChar(0x00D7) + height, false);
        break;
    case DrawTool::drawerMask:
    case DrawTool::imageCropPen:
    case DrawTool::imageErasePen:
    case DrawTool::magicWand:
        break;
    }
}

void SkinBuilderModel::undo() {
    ChangeBatch batch(*this);
    std::optional<ImageSnapshot> step = _history.pop();
    if (!step) {
        setStatus(QStringLiteral("Nothing to undo"), true);
        return;
    }
    notify();
    replaceImage(step->image);
    _imagePixelSize = step->pixelSize;
    assign(_viewport, step->viewport);
    assign(_buttons, step->buttons);
    assign(_drawerViewport, step->drawerViewport);
    assign(_drawerMask, step->drawerMask);
    setStatus(QStringLiteral("Undo (%1 remaining)").arg(_history.stack.size()), false);
}

} // namespace Quillaby
