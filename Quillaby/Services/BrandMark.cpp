#include "Services/BrandMark.h"

#include "App/AppResources.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <cmath>

namespace Quillaby {

namespace {

// Outer: whether a load was tried; inner: its result.
std::optional<std::optional<QImage>>& lightCache() {
    static std::optional<std::optional<QImage>> cache;
    return cache;
}

std::optional<std::optional<QImage>>& darkCache() {
    static std::optional<std::optional<QImage>> cache;
    return cache;
}

} // namespace

std::optional<QImage> BrandMark::load(const QString& name) {
    std::optional<QString> folder = AppResources::bundle().resourcePath();
    if (!folder) return std::nullopt;
    QImageReader reader(*folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    QImage image = reader.read();
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) return std::nullopt;
    return image;
}

const std::optional<QImage>& BrandMark::cached() {
    if (!lightCache()) lightCache() = load(QStringLiteral("quillaby-mark"));
    return *lightCache();
}

const std::optional<QImage>& BrandMark::cachedDark() {
    if (!darkCache()) darkCache() = load(QStringLiteral("quillaby-mark-dark"));
    return *darkCache();
}

QWidget* BrandMark::view(qreal height, bool onDark, QWidget* parent) {
    const std::optional<QImage>& preferred = onDark ? cachedDark() : cached();
    const std::optional<QImage>& other = onDark ? cached() : cachedDark();
    const std::optional<QImage>& chosen = preferred ? preferred : other;
    if (!chosen) return nullptr;
    return new BrandMarkView(*chosen, height, parent);
}

void BrandMark::resetForTesting() {
    lightCache().reset();
    darkCache().reset();
}

BrandMarkView::BrandMarkView(QImage image, qreal height, QWidget* parent)
    : QWidget(parent)
    , _image(std::move(image)) {
    const qreal width = height * _image.width() / _image.height();
    setFixedSize(int(std::round(width)), int(std::round(height)));
    setObjectName(QStringLiteral("brandMark"));
    setAccessibleName(QString());
}

void BrandMarkView::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels(int(std::round(width() * ratio)), int(std::round(height() * ratio)));
    if (_scaled.size() != pixels) {
        _scaled = QPixmap::fromImage(_image.scaled(pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        _scaled.setDevicePixelRatio(ratio);
    }
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF shown = _scaled.deviceIndependentSize();
    p.drawPixmap(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), _scaled);
}

} // namespace Quillaby
