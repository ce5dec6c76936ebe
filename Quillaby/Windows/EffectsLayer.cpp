#include "Windows/EffectsLayer.h"

#include "Skins/ViewportShape.h"

#include <QBitmap>
#include <QEvent>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace Quillaby {

namespace {

QColor black(double alpha) {
    return QColor::fromRgbF(0, 0, 0, float(std::clamp(alpha, 0.0, 1.0)));
}

QColor rgb(double r, double g, double b, double alpha = 1) {
    return QColor::fromRgbF(float(r), float(g), float(b), float(std::clamp(alpha, 0.0, 1.0)));
}

} // namespace

EffectsLayer::EffectsLayer(QWidget* parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    _upright = QSizeF(size());
    _rollingTimer = new QTimer(this);
    _rollingTimer->setTimerType(Qt::PreciseTimer);
    connect(_rollingTimer, &QTimer::timeout, this, &EffectsLayer::rollingTick);
}

EffectsLayer::~EffectsLayer() = default;

bool EffectsLayer::showsAnything(const SkinEffectsSettings& effects) {
    return effects.scanlines || effects.glow || effects.curvature || effects.colorGrade != QStringLiteral("none");
}

double EffectsLayer::bandAlpha(const QString& style, double intensity) {
    if (style == QStringLiteral("shadowmask")) return std::min(0.6 * intensity, 1.0);
    const double k = style == QStringLiteral("heavy") ? 1.3 : 1.0;
    return std::min(k * 0.55 * intensity, 1.0);
}

QList<EffectsLayer::Stripe> EffectsLayer::scanlineStripes(const QString& style, double intensity, const QSizeF& size,
                                                          double offset) {
    QList<Stripe> stripes;
    const double w = size.width();
    const double h = size.height();
    if (!(w > 0) || !(h > 0) || !std::isfinite(offset)) return stripes;
    const bool mask = style == QStringLiteral("shadowmask");
    // The pattern counts rows from the bottom edge and moves up with the offset; it ends at the top.
    const auto band = [&](double fromBottom, double height) {
        const double top = std::max(0.0, h - fromBottom - height - offset);
        const double bottom = std::min(h, h - fromBottom - offset);
        return QRectF(0, top, w, bottom - top);
    };
    if (mask) {
        const double alpha = 0.2 * intensity;
        if (alpha > 0) {
            const QColor colours[] = {rgb(1, 0.2, 0.2, alpha), rgb(0.2, 1, 0.2, alpha), rgb(0.2, 0.2, 1, alpha)};
            for (int x = 0; x < int(std::ceil(w)); ++x) {
                const QRectF column(x, std::max(0.0, -offset), std::min(1.0, w - x), h - std::max(0.0, offset));
                if (!column.isEmpty()) stripes.append({column, colours[x % 3]});
            }
        }
    }
    const double alpha = bandAlpha(style, intensity);
    if (!(alpha > 0)) return stripes;
    double period = 4, gap = 2, height = 2;
    if (mask) period = 3, gap = 0, height = 1;
    else if (style == QStringLiteral("rolling")) gap = 3, height = 1;
    for (double start = 0; start < h + offset; start += period) {
        const QRectF r = band(start + gap, height);
        if (r.height() > 0) stripes.append({r, black(alpha)});
    }
    return stripes;
}

std::optional<QColor> EffectsLayer::colorForGrade(const QString& grade) {
    if (grade == QStringLiteral("amber")) return rgb(1.0, 0.6, 0.1);
    if (grade == QStringLiteral("green")) return rgb(0.0, 1.0, 0.3);
    if (grade == QStringLiteral("blue")) return rgb(0.3, 0.5, 1.0);
    if (grade == QStringLiteral("cool")) return rgb(0.4, 0.6, 0.8);
    return std::nullopt;
}

void EffectsLayer::configure(const SkinEffectsSettings& effects, const SkinManifest::TerminalPalette& palette) {
    _scanlineEnabled = effects.scanlines;
    _scanlineIntensity = effects.scanlineIntensity;
    _scanlineStyle = effects.scanlineStyle;
    _glowEnabled = effects.glow;
    _glowIntensity = effects.glowIntensity;
    const RgbColor& fg = palette.foreground;
    _glowColor = QColor::fromRgbF(float(fg.red), float(fg.green), float(fg.blue));
    _curvatureEnabled = effects.curvature;
    _curvatureAmount = effects.curvatureAmount;
    _colorGrade = effects.colorGrade;
    rebuild();
}

void EffectsLayer::rebuild() {
    _staticDirty = true;
    if (_scanlineEnabled && _scanlineStyle == QStringLiteral("rolling")) startRollingAnimation();
    else stopRolling();
    update();
}

void EffectsLayer::setViewport(const QRectF& upright, const QList<QPointF>& quad, const QList<double>& radii) {
    _upright = upright.size();
    const double w = upright.width();
    const double h = upright.height();
    _outline = ViewportShape::roundedQuadPath({{0, 0}, {w, 0}, {w, h}, {0, h}}, radii);
    if (quad.size() == 4) {
        const QRect box = ViewportShape::boundingBox(quad).toAlignedRect();
        QList<QPointF> targets;
        for (const QPointF& p : quad) targets.append(p - QPointF(box.topLeft()));
        _transform = ViewportShape::quadTransform(upright.width(), upright.height(), targets);
        setGeometry(box);
    } else {
        const QRect box = upright.toAlignedRect();
        _transform = QTransform::fromTranslate(upright.x() - box.x(), upright.y() - box.y());
        setGeometry(box);
    }
    _staticDirty = true;
    // The pixels the rounded outline touches: the bands and the tint stay inside them.
    QBitmap bitmap(size().expandedTo(QSize(1, 1)));
    bitmap.fill(Qt::color0);
    QPainter painter(&bitmap);
    painter.setPen(QPen(Qt::color1, 1));
    painter.setBrush(Qt::color1);
    painter.drawPath(_transform.map(_outline));
    painter.end();
    _clipRegion = QRegion(bitmap);
    update();
}

bool EffectsLayer::isRolling() const {
    return _rollingTimer->isActive();
}

void EffectsLayer::startRollingAnimation() {
    stopRolling();
    // Only in a window: the next rebuild there starts it.
    if (!parentWidget()) return;
    const QScreen* display = screen();
    const double rate = display && display->refreshRate() > 1 ? display->refreshRate() : 60.0;
    _rollingTimer->start(std::max(1, int(std::lround(1000.0 / rate))));
}

void EffectsLayer::stopRolling() {
    _rollingTimer->stop();
}

double EffectsLayer::snappedOffset() const {
    const double dpr = devicePixelRatioF() > 0 ? devicePixelRatioF() : 1.0;
    return std::round(_rollingOffset * dpr) / dpr;
}

void EffectsLayer::rollingTick() {
    const double before = snappedOffset();
    _rollingOffset += rollingStep;
    if (_rollingOffset > rollingPeriod) _rollingOffset -= rollingPeriod;
    // The bands are drawn on whole device pixels, as a nearest-neighbour pattern would be: most steps
    // move nothing visible and repaint nothing.
    if (snappedOffset() != before) update();
}

bool EffectsLayer::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange && !parentWidget()) stopRolling();
    return QWidget::event(event);
}

void EffectsLayer::paintStatic(QPainter& painter) const {
    const double w = _upright.width();
    const double h = _upright.height();
    painter.setPen(Qt::NoPen);
    if (_glowEnabled && _glowIntensity > 0) {
        // The glow falls inward from the screen's outline, fading out over 10 points: strokes of the
        // outline, each wider and fainter; what falls outside is cut away afterwards.
        constexpr int layers = 6;
        const double reach = std::min({10.0, w / 2, h / 2});
        const double total = std::clamp(0.6 * _glowIntensity, 0.0, 1.0);
        QColor colour = _glowColor;
        colour.setAlphaF(float(1 - std::pow(1 - total, 1.0 / layers)));
        painter.setBrush(Qt::NoBrush);
        for (int i = 1; i <= layers; ++i) {
            painter.setPen(QPen(colour, 2 * reach * i / layers, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawPath(_outline);
        }
        painter.setPen(Qt::NoPen);
    }
    if (_curvatureEnabled) {
        QRadialGradient gradient(QPointF(0, 0), 1);
        gradient.setColorAt(0.55, Qt::transparent);
        gradient.setColorAt(1.0, black(_curvatureAmount));
        QBrush brush(gradient);
        brush.setTransform(QTransform::fromScale(w / 2, h / 2) * QTransform::fromTranslate(w / 2, h / 2));
        painter.fillRect(QRectF(0, 0, w, h), brush);
    }
}

void EffectsLayer::ensureStaticImage() {
    const qreal dpr = devicePixelRatioF();
    const QSize pixels(int(std::ceil(width() * dpr)), int(std::ceil(height() * dpr)));
    if (!_staticDirty && _static.size() == pixels && _static.devicePixelRatio() == dpr) return;
    _staticDirty = false;
    _static = QImage();
    if (!(_glowEnabled && _glowIntensity > 0) && !_curvatureEnabled) return;
    if (pixels.isEmpty() || _upright.isEmpty()) return;
    _static = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    _static.setDevicePixelRatio(dpr);
    _static.fill(Qt::transparent);
    QPainter painter(&_static);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(_transform);
    paintStatic(painter);
    // Nothing outside the rounded outline, with a soft edge.
    painter.resetTransform();
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    QPainterPath outside;
    outside.setFillRule(Qt::OddEvenFill);
    outside.addRect(QRectF(rect()).adjusted(-2, -2, 2, 2));
    outside.addPath(_transform.map(_outline));
    painter.fillPath(outside, Qt::black);
}

void EffectsLayer::paintEvent(QPaintEvent*) {
    const double w = _upright.width();
    const double h = _upright.height();
    if (!(w > 0) || !(h > 0)) return;
    QPainter painter(this);
    // The glow and the vignette change only with the settings and the size: drawn once, copied after.
    ensureStaticImage();
    if (!_static.isNull()) painter.drawImage(QPointF(0, 0), _static);

    painter.setClipRegion(_clipRegion);
    painter.setTransform(_transform);
    // Straight bands on an upright screen stay on whole pixels; through a warp their edges are smoothed.
    painter.setRenderHint(QPainter::Antialiasing, !_transform.isAffine() || _transform.isRotating());
    if (_scanlineEnabled) {
        for (const Stripe& stripe : scanlineStripes(_scanlineStyle, _scanlineIntensity, _upright, snappedOffset()))
            painter.fillRect(stripe.rect, stripe.colour);
    }
    if (const auto tint = colorForGrade(_colorGrade)) {
        QColor colour = *tint;
        colour.setAlphaF(0.15f);
        painter.setCompositionMode(QPainter::CompositionMode_SoftLight);
        painter.fillRect(QRectF(0, 0, w, h), colour);
    }
}

} // namespace Quillaby
