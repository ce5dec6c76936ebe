#include "Builder/SkinBuilderModel.h"

#include <QFileInfo>

namespace Quillaby {

namespace {

QList<QPointF> zeroOffsets() {
    return QList<QPointF>(4, QPointF(0, 0));
}

QList<double> defaultRadii() {
    return QList<double>(4, SkinBuilderModel::defaultCornerRadius);
}

bool isBlank(const QString& text) {
    for (QChar c : text)
        if (c != u' ' && c != u'\t') return false;
    return true;
}

// The file name without its last extension; a leading dot does not start one.
QString nameFromFile(const QString& path) {
    QString name = QFileInfo(path).fileName();
    qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0) name.truncate(dot);
    name.replace(u'_', u' ');
    name.replace(u'-', u' ');
    return name;
}

} // namespace

// The toolkit's standard green and an almost black ground.
const RgbColor SkinBuilderModel::defaultForeground = RgbColor::rgb(0, 1, 0);
const RgbColor SkinBuilderModel::defaultBackground = RgbColor::rgb(0.04, 0.04, 0.04);

SkinBuilderModel::SkinBuilderModel(QObject* parent)
    : QObject(parent)
    , _viewportCornerOffsets(zeroOffsets())
    , _viewportCornerRadii(defaultRadii())
    , _fgColor(defaultForeground)
    , _bgColor(defaultBackground)
    , _scanlineStyle(QStringLiteral("standard")) {}

SkinBuilderModel::~SkinBuilderModel() = default;

void SkinBuilderModel::notify(bool image) {
    ChangeBatch batch(*this);
    _pendingChange = true;
    if (image) _pendingImageChange = true;
}

void SkinBuilderModel::clearHistory() {
    if (_history.stack.isEmpty()) return;
    _history.stack.clear();
    notify();
}

void SkinBuilderModel::setViewport(const std::optional<QRectF>& viewport) {
    assign(_viewport, viewport);
}
void SkinBuilderModel::setViewportCornerOffsets(const QList<QPointF>& offsets) {
    assign(_viewportCornerOffsets, offsets);
}
void SkinBuilderModel::setViewportCornerRadii(const QList<double>& radii) {
    assign(_viewportCornerRadii, radii);
}
void SkinBuilderModel::setButtons(const QList<ButtonDef>& buttons) {
    assign(_buttons, buttons);
}
void SkinBuilderModel::setDrawerEnabled(bool enabled) {
    assign(_drawerEnabled, enabled);
}
void SkinBuilderModel::setDrawerEdge(DrawerEdge edge) {
    assign(_drawerEdge, edge);
}
void SkinBuilderModel::setDrawerViewport(const std::optional<QRectF>& rect) {
    assign(_drawerViewport, rect);
}
void SkinBuilderModel::setDrawerMask(const QList<BezierNode>& nodes) {
    assign(_drawerMask, nodes);
}
void SkinBuilderModel::setDrawerMaskInProgress(const QList<BezierNode>& nodes) {
    assign(_drawerMaskInProgress, nodes);
}
void SkinBuilderModel::setDrawerMaskDragging(bool dragging) {
    assign(_drawerMaskDragging, dragging);
}
void SkinBuilderModel::setDrawerDefaultWidget(const QString& widget) {
    assign(_drawerDefaultWidget, widget);
}
void SkinBuilderModel::setCurrentTool(DrawTool tool) {
    assign(_currentTool, tool);
}
void SkinBuilderModel::setMagicWandTolerance(double tolerance) {
    assign(_magicWandTolerance, tolerance);
}
void SkinBuilderModel::setButtonShape(ButtonShape shape) {
    assign(_buttonShape, shape);
}
void SkinBuilderModel::setLaunchScale(double scale) {
    assign(_launchScale, scale);
}
void SkinBuilderModel::setScreenInFront(bool inFront) {
    assign(_screenInFront, inFront);
}
void SkinBuilderModel::setSkinName(const QString& name) {
    assign(_skinName, name);
}
void SkinBuilderModel::setAuthor(const QString& author) {
    assign(_author, author);
}
void SkinBuilderModel::setFgColor(const RgbColor& color) {
    assign(_fgColor, color);
}
void SkinBuilderModel::setBgColor(const RgbColor& color) {
    assign(_bgColor, color);
}
void SkinBuilderModel::setCursorColor(const std::optional<RgbColor>& color) {
    assign(_cursorColor, color);
}
void SkinBuilderModel::setAnsiColors(const std::optional<QList<RgbColor>>& colors) {
    assign(_ansiColors, colors);
}
void SkinBuilderModel::setLastShuffledId(const std::optional<QString>& id) {
    assign(_lastShuffledId, id);
}
void SkinBuilderModel::setScanlines(bool on) {
    assign(_scanlines, on);
}
void SkinBuilderModel::setScanlineIntensity(double intensity) {
    assign(_scanlineIntensity, intensity);
}
void SkinBuilderModel::setScanlineStyle(const QString& style) {
    assign(_scanlineStyle, style);
}
void SkinBuilderModel::setGlow(bool on) {
    assign(_glow, on);
}
void SkinBuilderModel::setGlowIntensity(double intensity) {
    assign(_glowIntensity, intensity);
}
void SkinBuilderModel::setCurvature(bool on) {
    assign(_curvature, on);
}
void SkinBuilderModel::setCurvatureAmount(double amount) {
    assign(_curvatureAmount, amount);
}

void SkinBuilderModel::setStatus(const QString& message, bool isError) {
    ChangeBatch batch(*this);
    assign(_statusMessage, std::optional<QString>(message));
    assign(_statusIsError, isError);
}

void SkinBuilderModel::reset() {
    ChangeBatch batch(*this);
    emit previewCloseRequested();
    clearHistory();
    _source.reset();

    if (_skinImage || _imagePixelSize != QSizeF(0, 0) || _imageGeneration != 0) notify(true);
    _skinImage.reset();
    _imagePixelSize = QSizeF(0, 0);
    _imageGeneration = 0;
    assign(_imageURL, QString());
    assign(_viewport, std::optional<QRectF>());
    assign(_viewportCornerOffsets, zeroOffsets());
    assign(_viewportCornerRadii, defaultRadii());
    assign(_buttons, QList<ButtonDef>());
    assign(_drawerEnabled, false);
    assign(_drawerEdge, DrawerEdge::top);
    assign(_drawerViewport, std::optional<QRectF>());
    assign(_drawerMask, QList<BezierNode>());
    assign(_drawerMaskInProgress, QList<BezierNode>());
    assign(_drawerDefaultWidget, QString());
    assign(_currentTool, DrawTool::viewport);
    assign(_buttonShape, ButtonShape::rect);
    assign(_launchScale, 1.0);
    assign(_screenInFront, false);
    assign(_skinName, QString());
    assign(_author, QString());
    assign(_fgColor, defaultForeground);
    assign(_bgColor, defaultBackground);
    assign(_cursorColor, std::optional<RgbColor>());
    assign(_scanlines, false);
    assign(_scanlineIntensity, 0.3);
    assign(_scanlineStyle, QStringLiteral("standard"));
    assign(_glow, false);
    assign(_glowIntensity, 0.4);
    assign(_curvature, false);
    assign(_curvatureAmount, 0.2);
    assign(_statusMessage, std::optional<QString>());
    assign(_statusIsError, false);
}

void SkinBuilderModel::loadImage(const QString& path) {
    std::optional<SkinImage> image = SkinImage::load(path);
    if (!image) {
        setStatus(QStringLiteral("Failed to load image"), true);
        return;
    }
    adoptImage(*image, path);
}

void SkinBuilderModel::adoptImage(const SkinImage& image, const QString& path) {
    ChangeBatch batch(*this);
    // A new image starts a new skin: nothing opened from a folder is carried any more.
    _source.reset();
    assign(_viewport, std::optional<QRectF>());
    assign(_viewportCornerOffsets, zeroOffsets());
    assign(_viewportCornerRadii, defaultRadii());
    assign(_buttons, QList<ButtonDef>());
    assign(_currentTool, DrawTool::viewport);
    clearHistory();

    replaceImage(image);
    assign(_imageURL, path);

    assign(_skinName, nameFromFile(path));
    setStatus(QStringLiteral("Loaded %1x%2px")
                  .arg(qint64(_imagePixelSize.width()))
                  .arg(qint64(_imagePixelSize.height())),
              false);
}

void SkinBuilderModel::replaceImage(const SkinImage& image) {
    _skinImage = image;
    _imagePixelSize = image.pixelSize();
    ++_imageGeneration;
    notify(true);
}

QStringList SkinBuilderModel::validationIssues() const {
    QStringList issues;
    if (!_skinImage) issues.append(QStringLiteral("Drop a PNG to start."));
    if (isBlank(_skinName)) issues.append(QStringLiteral("Skin needs a name."));
    if (!_viewport) issues.append(QStringLiteral("Draw the viewport rect over the screen area."));
    return issues;
}

CoordinateConverter SkinBuilderModel::makeConverter() const {
    CoordinateConverter converter;
    converter.imageSize = _skinImage ? _skinImage->size : _imagePixelSize;
    converter.pixelSize = _imagePixelSize;
    converter.launchScale = _launchScale;
    return converter;
}

} // namespace Quillaby
