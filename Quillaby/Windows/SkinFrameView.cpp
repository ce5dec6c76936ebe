#include "Windows/SkinFrameView.h"

#include "App/AppResources.h"
#include "Skins/SkinImageFile.h"
#include "Skins/ViewportShape.h"

#include <QApplication>
#include <QBitmap>
#include <QFileInfo>
#include <QFont>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>

#include <cmath>
#include <future>
#include <map>
#include <system_error>

#ifndef QUILLABY_SOURCE_RESOURCES
#define QUILLABY_SOURCE_RESOURCES ""
#endif

namespace Quillaby {

namespace {

constexpr int pulseIntervalMs = 16;

QColor rgb(double r, double g, double b) {
    return QColor::fromRgbF(float(r), float(g), float(b));
}

// The ease-out timing curve, a cubic Bézier through (0, 0), (0, 0), (0.58, 1), (1, 1).
double easeOut(double t) {
    if (t <= 0) return 0;
    if (t >= 1) return 1;
    const auto x = [](double s) { return 3 * (1 - s) * s * s * 0.58 + s * s * s; };
    double lo = 0, hi = 1;
    for (int i = 0; i < 40; ++i) {
        const double mid = (lo + hi) / 2;
        (x(mid) < t ? lo : hi) = mid;
    }
    const double s = (lo + hi) / 2;
    return 3 * (1 - s) * s * s + s * s * s;
}

QStringList imageCandidates(const QString& name) {
    if (name.startsWith(QLatin1Char('/'))) return {name};
    QStringList candidates;
    if (const auto resources = AppResources::bundle().resourcePath())
        candidates.append(*resources + QStringLiteral("/Skins/") + name);
    const QString source = QString::fromUtf8(QUILLABY_SOURCE_RESOURCES);
    if (!source.isEmpty()) candidates.append(source + QStringLiteral("/Skins/") + name);
    return candidates;
}

// Thread-safe: the candidates are worked out on the GUI thread.
QImage decodeFrameImage(const QStringList& candidates) {
    for (const QString& path : candidates) {
        const QImage image = SkinImageFile::readPremultiplied(path);
        if (!image.isNull()) return image;
    }
    return QImage();
}

// Frame art being decoded ahead of its view, by image name; touched on the GUI thread only.
std::map<QString, std::future<QImage>>& prefetched() {
    static std::map<QString, std::future<QImage>> images;
    return images;
}

// The pixels whose centre lies inside the path and that the path's edge does not touch.
QRegion interior(const QPainterPath& path, const QSize& size) {
    QBitmap bitmap(size);
    bitmap.fill(Qt::color0);
    QPainter painter(&bitmap);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    painter.drawPath(path);
    painter.setPen(QPen(Qt::color0, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.end();
    return QRegion(bitmap);
}

} // namespace

SkinFrameView::SkinFrameView(const SkinManifest& skin, QWidget* parent)
    : QWidget(parent)
    , _skin(skin) {
    resize(QSizeF(skin.frameSize).toSize().expandedTo(QSize(1, 1)));
    _elapsed.start();
    for (const SkinManifest::KeyRect& key : skin.keys) {
        _keys.append(KeyLight{key.key.toLower(), key.rect, key.shape == QStringLiteral("circle")});
    }
    _pulseTimer = new QTimer(this);
    _pulseTimer->setInterval(pulseIntervalMs);
    connect(_pulseTimer, &QTimer::timeout, this, &SkinFrameView::pulseTick);
    if (!_keys.isEmpty() && qApp) {
        qApp->installEventFilter(this);
        _keyMonitor = true;
    }
    loadFrameImage();
    rebuildCache();
}

SkinFrameView::~SkinFrameView() {
    if (_keyMonitor && qApp) qApp->removeEventFilter(this);
}

void SkinFrameView::prefetchFrameImage(const SkinManifest& skin) {
    if (!skin.frameImageName || prefetched().contains(*skin.frameImageName)) return;
    try {
        prefetched().emplace(*skin.frameImageName, std::async(std::launch::async, decodeFrameImage,
                                                              imageCandidates(*skin.frameImageName)));
    } catch (const std::system_error&) {
        // No thread to be had: the view decodes the art itself.
    }
}

void SkinFrameView::loadFrameImage() {
    if (!_skin.frameImageName || !_frameImage.isNull()) return;
    if (const auto it = prefetched().find(*_skin.frameImageName); it != prefetched().end()) {
        _frameImage = it->second.get();
        prefetched().erase(it);
    } else {
        _frameImage = decodeFrameImage(imageCandidates(*_skin.frameImageName));
    }
    if (_frameImage.isNull()) return;
    // One factor for both axes: the art is drawn for the frame's width.
    _skinHasTransparentScreen = false;
    if (_skin.frameSize.width() > 0) {
        const double m = _frameImage.width() / _skin.frameSize.width();
        const QPointF centre = _skin.viewportRect.center();
        const int column = int(m * centre.x());
        const int row = int(m * centre.y());
        if (column >= 0 && row >= 0 && column < _frameImage.width() && row < _frameImage.height())
            _skinHasTransparentScreen = qAlpha(_frameImage.pixel(column, row)) < 30;
    }
}

QPointF SkinFrameView::scale() const {
    const double w = _skin.frameSize.width();
    const double h = _skin.frameSize.height();
    return QPointF(w > 0 ? width() / w : 1.0, h > 0 ? height() / h : 1.0);
}

QRectF SkinFrameView::scaledViewportRect() const {
    const QPointF s = scale();
    const QRectF v = _skin.viewportRect;
    return QRectF(v.x() * s.x(), v.y() * s.y(), v.width() * s.x(), v.height() * s.y()).normalized();
}

QList<QPointF> SkinFrameView::scaledViewportQuad() const {
    const QPointF s = scale();
    QList<QPointF> offsets;
    for (const QPointF& d : _skin.viewportCornerOffsets) offsets.append(QPointF(d.x() * s.x(), d.y() * s.y()));
    return ViewportShape::corners(scaledViewportRect(), offsets);
}

QPainterPath SkinFrameView::viewportQuadPath() const {
    const QPointF s = scale();
    const double factor = std::sqrt(s.x() * s.y());
    QList<double> radii = _skin.viewportCornerRadii.size() == 4 ? _skin.viewportCornerRadii
                                                                 : QList<double>(4, _skin.viewportCornerRadius);
    for (double& r : radii) r *= factor;
    return ViewportShape::roundedQuadPath(scaledViewportQuad(), radii);
}

void SkinFrameView::drawImageFrame(QPainter& painter, const QSizeF& size) const {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(QPointF(), size), _frameImage);
}

void SkinFrameView::drawProgrammaticFrame(QPainter& painter, const QSizeF& size) const {
    const double w = size.width();
    const double h = size.height();
    const QRectF viewport = scaledViewportRect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(rgb(0.12, 0.13, 0.15));
    painter.drawRoundedRect(QRectF(QPointF(), size), 16, 16);
    painter.setBrush(rgb(0.08, 0.09, 0.10));
    painter.drawRoundedRect(viewport.adjusted(-6, -6, 6, 6), 8, 8);

    painter.setBrush(rgb(0.25, 0.26, 0.28));
    for (const QPointF& at : {QPointF(10, 10), QPointF(w - 18, 10), QPointF(10, h - 18), QPointF(w - 18, h - 18)})
        painter.drawEllipse(QRectF(at, QSizeF(8, 8)));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(rgb(0.15, 0.16, 0.18), 1));
    for (const QPointF& c : {QPointF(14, 14), QPointF(w - 14, 14), QPointF(14, h - 14), QPointF(w - 14, h - 14)}) {
        painter.drawLine(QPointF(c.x() - 2.5, c.y()), QPointF(c.x() + 2.5, c.y()));
        painter.drawLine(QPointF(c.x(), c.y() - 2.5), QPointF(c.x(), c.y() + 2.5));
    }

    const QColor label = rgb(0.45, 0.47, 0.50);
    QFont nameFont = QApplication::font();
    nameFont.setPixelSize(10);
    nameFont.setWeight(QFont::Medium);
    painter.setFont(nameFont);
    painter.setPen(label);
    // Text is placed by its top edge, as the body's layout gives it.
    const auto drawTop = [&](const QPointF& at, const QString& text) {
        painter.drawText(QPointF(at.x(), at.y() + painter.fontMetrics().ascent()), text);
    };
    drawTop(QPointF(viewport.left(), viewport.bottom() + 10), _skin.name.toUpper());

    const struct {
        const char* word;
        QColor colour;
    } lights[] = {{"PWR", rgb(0.2, 0.8, 0.3)}, {"NET", rgb(0.3, 0.5, 1.0)}, {"ACT", rgb(0.9, 0.6, 0.1)}};
    QFont lightFont = QApplication::font();
    lightFont.setPixelSize(7);
    lightFont.setWeight(QFont::Normal);
    for (int i = 0; i < 3; ++i) {
        const double x = viewport.right() - 80 + 28 * i;
        painter.setPen(Qt::NoPen);
        painter.setBrush(lights[i].colour);
        painter.drawEllipse(QRectF(x, viewport.bottom() + 12, 6, 6));
        painter.setFont(lightFont);
        painter.setPen(label);
        drawTop(QPointF(x + 8, viewport.bottom() + 11), QString::fromLatin1(lights[i].word));
    }
}

QImage SkinFrameView::renderFrame(qreal dpr) const {
    const QSize logical = size().expandedTo(QSize(1, 1));
    QImage image(QSize(int(std::ceil(logical.width() * dpr)), int(std::ceil(logical.height() * dpr))),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const bool art = !_frameImage.isNull();
    if (art) drawImageFrame(painter, QSizeF(logical));
    else drawProgrammaticFrame(painter, QSizeF(logical));
    // An opaque screen area in the art never hides the terminal; a transparent one is left as drawn.
    if (!art || !_skinHasTransparentScreen) {
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        QPainterPath hole = viewportQuadPath();
        hole.setFillRule(Qt::WindingFill);
        painter.fillPath(hole, Qt::black);
    }
    return image;
}

void SkinFrameView::rebuildCache() {
    if (_skin.frameImageName && _frameImage.isNull()) loadFrameImage();
    const qreal dpr = devicePixelRatioF();
    _cache = renderFrame(dpr);
    _cacheSize = size();

    // Clicks fall through where the art is (nearly) transparent and through the screen.
    const QSize logical = size().expandedTo(QSize(1, 1));
    QRegion region;
    if (_frameImage.isNull()) {
        region = QRegion(QRect(QPoint(), logical));
    } else {
        QImage bits(logical, QImage::Format_MonoLSB);
        bits.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
        bits.fill(0);
        const double sx = double(_frameImage.width()) / logical.width();
        const double sy = double(_frameImage.height()) / logical.height();
        for (int y = 0; y < logical.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(
                _frameImage.constScanLine(std::min(_frameImage.height() - 1, int(y * sy))));
            uchar* out = bits.scanLine(y);
            for (int x = 0; x < logical.width(); ++x) {
                if (qAlpha(row[std::min(_frameImage.width() - 1, int(x * sx))]) >= 10) out[x >> 3] |= uchar(1 << (x & 7));
            }
        }
        region = QRegion(QBitmap::fromImage(bits));
    }
    region -= interior(viewportQuadPath(), logical);
    setMask(region.isEmpty() ? QRegion(0, 0, 1, 1) : region);
    update();
}

bool SkinFrameView::isFrameTransparent(const QPointF& point) const {
    if (_frameImage.isNull() || width() <= 0 || height() <= 0) return false;
    const double u = point.x() / width();
    const double v = point.y() / height();
    if (u < 0 || u > 1 || v < 0 || v > 1) return true;
    const int column = std::clamp(int(u * _frameImage.width()), 0, _frameImage.width() - 1);
    const int row = std::clamp(int(v * _frameImage.height()), 0, _frameImage.height() - 1);
    // The image is kept premultiplied; reading one pixel copies nothing.
    return qAlpha(reinterpret_cast<const QRgb*>(_frameImage.constScanLine(row))[column]) < 10;
}

bool SkinFrameView::takesClick(const QPointF& point) const {
    if (viewportQuadPath().contains(point)) return false;
    return !isFrameTransparent(point);
}

void SkinFrameView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A hidden view hears of its size again as it shows: the frame drawn for that size stands.
    if (size() == _cacheSize && !_cache.isNull() && qFuzzyCompare(_cache.devicePixelRatio(), devicePixelRatioF()))
        return;
    rebuildCache();
}

QRectF SkinFrameView::keyRect(const KeyLight& light) const {
    const QPointF s = scale();
    return QRectF(light.rect.x() * s.x(), light.rect.y() * s.y(), light.rect.width() * s.x(),
                  light.rect.height() * s.y());
}

void SkinFrameView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (_cache.isNull() || !qFuzzyCompare(_cache.devicePixelRatio(), devicePixelRatioF())) rebuildCache();
    painter.setClipRegion(event->region());
    painter.drawImage(QPointF(0, 0), _cache);

    const qint64 at = now();
    const RgbColor& fg = _skin.palette.foreground;
    const QColor fill = QColor::fromRgbF(float(fg.red), float(fg.green), float(fg.blue), 0.45f);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.setCompositionMode(QPainter::CompositionMode_Screen);
    for (const KeyLight& light : std::as_const(_keys)) {
        if (light.pulseStart < 0) continue;
        const double opacity = pulseOpacity((at - light.pulseStart) / 1000.0);
        if (opacity <= 0) continue;
        painter.setOpacity(opacity);
        const QRectF r = keyRect(light);
        if (light.circle) painter.drawEllipse(r);
        else painter.drawRoundedRect(r, std::min(0.15 * r.width(), 4.0), std::min(0.15 * r.height(), 4.0));
    }
}

void SkinFrameView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        if (onContextMenu) onContextMenu(event, this);
        event->accept();
        return;
    }
    // The device is moved by its frame.
    if (event->button() == Qt::LeftButton && window()->windowHandle()) window()->windowHandle()->startSystemMove();
    event->accept();
}

std::optional<QString> SkinFrameView::specialKeyName(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return QStringLiteral("return");
    case Qt::Key_Tab: return QStringLiteral("tab");
    case Qt::Key_Space: return QStringLiteral("space");
    case Qt::Key_Backspace: return QStringLiteral("delete");
    case Qt::Key_Escape: return QStringLiteral("escape");
    case Qt::Key_Left: return QStringLiteral("left");
    case Qt::Key_Right: return QStringLiteral("right");
    case Qt::Key_Down: return QStringLiteral("down");
    case Qt::Key_Up: return QStringLiteral("up");
    default: return std::nullopt;
    }
}

double SkinFrameView::pulseOpacity(double seconds) {
    if (!(seconds >= 0) || seconds >= pulseSeconds) return 0;
    const double t = easeOut(seconds / pulseSeconds);
    if (t <= 0.1) return pulsePeak * t / 0.1;
    return pulsePeak * (1 - (t - 0.1) / 0.9);
}

qint64 SkinFrameView::now() const {
    return _clock ? _clock() : _elapsed.elapsed();
}

void SkinFrameView::pulseKey(const QString& name) {
    bool any = false;
    const qint64 at = now();
    for (KeyLight& light : _keys) {
        if (light.name != name) continue;
        light.pulseStart = at;
        update(keyRect(light).toAlignedRect().adjusted(-1, -1, 1, 1));
        any = true;
    }
    if (any && !_pulseTimer->isActive()) _pulseTimer->start();
}

QList<double> SkinFrameView::keyOpacities(const QString& name) const {
    QList<double> result;
    const qint64 at = now();
    for (const KeyLight& light : _keys) {
        if (light.name != name) continue;
        result.append(light.pulseStart < 0 ? 0.0 : pulseOpacity((at - light.pulseStart) / 1000.0));
    }
    return result;
}

void SkinFrameView::pulseTick() {
    const qint64 at = now();
    bool running = false;
    for (KeyLight& light : _keys) {
        if (light.pulseStart < 0) continue;
        update(keyRect(light).toAlignedRect().adjusted(-1, -1, 1, 1));
        if ((at - light.pulseStart) / 1000.0 >= pulseSeconds) light.pulseStart = -1;
        else running = true;
    }
    if (!running) _pulseTimer->stop();
}

bool SkinFrameView::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) handleKey(watched, static_cast<QKeyEvent*>(event));
    // Never consumed: typing reaches the terminal exactly as without the lights.
    return false;
}

void SkinFrameView::handleKey(QObject* watched, QKeyEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    // Window objects see the event before their widgets do; take it once, from the widget.
    if (!widget) return;
    // An event ignored by a widget goes on to its parent: the same event again.
    if (event == _lastKeyEvent && _lastKeyReceiver && _lastKeyReceiver != widget &&
        widget->isAncestorOf(_lastKeyReceiver)) {
        _lastKeyReceiver = widget;
        return;
    }
    _lastKeyEvent = event;
    _lastKeyReceiver = widget;
    if (widget->window() != window()) return;

    const int key = event->key();
    const struct {
        int key;
        Qt::KeyboardModifier flag;
        const char* name;
    } modifiers[] = {{Qt::Key_Shift, Qt::ShiftModifier, "shift"},
                     {Qt::Key_Alt, Qt::AltModifier, "option"},
                     {Qt::Key_Meta, Qt::MetaModifier, "cmd"},
                     {Qt::Key_Control, Qt::ControlModifier, "ctrl"}};
    const bool isModifierKey = key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
                               key == Qt::Key_Meta || key == Qt::Key_Super_L || key == Qt::Key_Super_R ||
                               key == Qt::Key_AltGr || key == Qt::Key_CapsLock;
    if (isModifierKey) {
        // A modifier change lights every modifier held after it: pressing lights the key, releasing
        // lights the ones still down.
        Qt::KeyboardModifiers held = event->modifiers();
        const int own = key == Qt::Key_Super_L || key == Qt::Key_Super_R ? int(Qt::Key_Meta) : key;
        for (const auto& m : modifiers) {
            if (m.key != own) continue;
            if (event->type() == QEvent::KeyPress) held |= m.flag;
            else held &= ~Qt::KeyboardModifiers(m.flag);
        }
        for (const auto& m : modifiers) {
            if (held & m.flag) pulseKey(QString::fromLatin1(m.name));
        }
        if (key == Qt::Key_CapsLock && event->type() == QEvent::KeyPress) pulseKey(QStringLiteral("caps"));
        return;
    }
    if (event->type() != QEvent::KeyPress) return;
    QString characters = event->text();
    // Control and the like turn the text into control characters; the key itself names the character.
    if (characters.isEmpty() || !characters.at(0).isPrint()) {
        characters = key >= 0x20 && key < 0x100 ? QString(QChar(key)) : QString();
    }
    characters = characters.toLower();
    if (!characters.isEmpty()) pulseKey(characters);
    if (const auto special = specialKeyName(key)) pulseKey(*special);
}

} // namespace Quillaby
