#include "Picker/SkinCard.h"

#include "App/AppResources.h"
#include "Skins/SkinImageFile.h"

#include <QEnterEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace Quillaby {

namespace {

constexpr int symbolBadgeSize = 9;
constexpr int badgePadding = 4;
constexpr int actionSymbolSize = 10;
constexpr int actionPadding = 5;
constexpr int overlayInset = 6;
constexpr int thumbnailRadius = 6;

QColor withAlpha(QColor color, qreal alpha) {
    color.setAlphaF(alpha);
    return color;
}

QFont monospaced(qreal pixelSize, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(int(std::lround(pixelSize)));
    font.setWeight(weight);
    return font;
}

QRectF fitted(qreal aspect, const QRectF& box) {
    if (!(aspect > 0) || box.isEmpty()) return QRectF(box.center(), QSizeF(0, 0));
    QSizeF size(box.width(), box.width() / aspect);
    if (size.height() > box.height()) size = QSizeF(box.height() * aspect, box.height());
    return QRectF(box.center().x() - size.width() / 2, box.center().y() - size.height() / 2, size.width(),
                  size.height());
}

// The badge of a skin whose keys light up: a keyboard on a dark circle, in the skin's text colour.
class KeyboardBadge : public QWidget {
public:
    KeyboardBadge(const QColor& color, int keys, QWidget* parent)
        : QWidget(parent)
        , _color(color) {
        setObjectName(QStringLiteral("keyboardBadge"));
        setFixedSize(symbolBadgeSize + 2 * badgePadding, symbolBadgeSize + 2 * badgePadding);
        setToolTip(QStringLiteral("Keyboard-reactive: %1 keys mapped").arg(keys));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 140));
        p.drawEllipse(rect());
        p.drawPixmap(QPointF(badgePadding, badgePadding),
                     SymbolImage::pixmap(SymbolImage::Symbol::KeyboardFill, symbolBadgeSize, _color,
                                         devicePixelRatioF()));
    }

private:
    QColor _color;
};

} // namespace

CircleIconButton::CircleIconButton(SymbolImage::Symbol symbol, const QColor& tint, const QString& help,
                                   QWidget* parent)
    : QAbstractButton(parent)
    , _symbol(symbol)
    , _tint(tint) {
    setToolTip(help);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(sizeHint());
    setCursor(Qt::PointingHandCursor);
}

QSize CircleIconButton::sizeHint() const {
    const int side = actionSymbolSize + 2 * actionPadding;
    return QSize(side, side);
}

void CircleIconButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(_tint, isDown() ? 1.0 : 0.85));
    p.drawEllipse(rect());
    p.drawPixmap(QPointF(actionPadding, actionPadding),
                 SymbolImage::pixmap(_symbol, actionSymbolSize, Qt::white, devicePixelRatioF()));
}

SkinCard::SkinCard(SkinManifest skin, std::optional<QString> userFolder, bool isCurrent, QWidget* parent)
    : QAbstractButton(parent)
    , _skin(std::move(skin))
    , _userFolder(std::move(userFolder))
    , _isCurrent(isCurrent) {
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setText(_skin.name);
    if (_skin.frameImageName) _image = loadSkinImage(*_skin.frameImageName);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (onSelect) onSelect();
    });

    if (!_skin.keys.isEmpty())
        _keyboardBadge = new KeyboardBadge(_skin.palette.foreground.toQColor(), int(_skin.keys.size()), this);
    if (_userFolder) {
        _editButton = new CircleIconButton(SymbolImage::Symbol::Pencil, QColor(10, 132, 255),
                                           QStringLiteral("Edit in Skin Builder"), this);
        _editButton->setObjectName(QStringLiteral("editButton"));
        connect(_editButton, &QAbstractButton::clicked, this, [this] {
            if (onEdit && _userFolder) onEdit(*_userFolder);
        });
        _deleteButton = new CircleIconButton(SymbolImage::Symbol::Trash, QColor(255, 69, 58),
                                             QStringLiteral("Delete skin"), this);
        _deleteButton->setObjectName(QStringLiteral("deleteButton"));
        connect(_deleteButton, &QAbstractButton::clicked, this, [this] {
            if (onDelete) onDelete();
        });
        _editButton->hide();
        _deleteButton->hide();
    }
    setFixedHeight(sizeHint().height());
}

std::optional<QImage> SkinCard::loadSkinImage(const QString& frameImageName) {
    QString path;
    if (frameImageName.startsWith(QLatin1Char('/'))) {
        path = frameImageName;
    } else {
        const std::optional<QString> resources = AppResources::bundle().resourcePath();
        if (!resources) return std::nullopt;
        path = *resources + QStringLiteral("/Skins/") + frameImageName;
    }
    QImage image = SkinImageFile::read(path);
    if (image.isNull()) return std::nullopt;
    return image;
}

QFont SkinCard::nameFont() const {
    return monospaced(10, _isCurrent ? QFont::Bold : QFont::Medium);
}

QSize SkinCard::sizeHint() const {
    const qreal nameHeight = QFontMetricsF(nameFont()).height();
    const int height = int(std::ceil(2 * margin + thumbnailHeight + spacing + nameHeight));
    return QSize(160, height);
}

QSize SkinCard::minimumSizeHint() const {
    return QSize(2 * margin + 10, sizeHint().height());
}

QRectF SkinCard::thumbnailRect() const {
    const QRectF box(margin, margin, width() - 2 * margin, thumbnailHeight);
    if (_image) return fitted(qreal(_image->width()) / _image->height(), box);
    return fitted(_skin.frameSize.width() / _skin.frameSize.height(), box);
}

void SkinCard::setHovering(bool hovering) {
    if (_hovering == hovering) return;
    _hovering = hovering;
    if (_editButton) {
        _editButton->setVisible(hovering);
        _deleteButton->setVisible(hovering);
    }
    update();
}

void SkinCard::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    setHovering(true);
}

void SkinCard::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    setHovering(false);
}

void SkinCard::changeEvent(QEvent* event) {
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::FontChange) setFixedHeight(sizeHint().height());
}

void SkinCard::resizeEvent(QResizeEvent* event) {
    QAbstractButton::resizeEvent(event);
    layoutOverlays();
}

void SkinCard::layoutOverlays() {
    const QRect inner = rect().adjusted(margin, margin, -margin, -margin);
    if (_keyboardBadge) _keyboardBadge->move(inner.topLeft() + QPoint(overlayInset, overlayInset));
    if (_editButton) {
        const int side = _deleteButton->width();
        const int top = inner.top() + overlayInset;
        const int right = inner.right() + 1 - overlayInset;
        _deleteButton->move(right - side, top);
        _editButton->move(right - 2 * side - overlayInset, top);
    }
}

void SkinCard::paintThumbnail(QPainter& p, const QRectF& box) {
    QPainterPath clip;
    clip.addRoundedRect(box, thumbnailRadius, thumbnailRadius);
    if (_image) {
        const qreal ratio = devicePixelRatioF();
        const QSize pixels((box.size() * ratio).toSize());
        if (_scaled.size() != pixels && !pixels.isEmpty()) {
            _scaled =
                QPixmap::fromImage(_image->scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            _scaled.setDevicePixelRatio(ratio);
        }
        p.save();
        p.setClipPath(clip);
        p.drawPixmap(box.topLeft(), _scaled);
        p.restore();
        return;
    }
    const QColor foreground = _skin.palette.foreground.toQColor();
    p.fillPath(clip, _skin.palette.background.toQColor());
    // A one-point border inside the shape.
    QPainterPath border;
    border.addRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), thumbnailRadius - 0.5, thumbnailRadius - 0.5);
    p.setPen(QPen(withAlpha(foreground, 0.3), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(border);
    p.setFont(monospaced(11, QFont::Medium));
    p.setPen(withAlpha(foreground, 0.5));
    p.drawText(box, Qt::AlignCenter, QStringLiteral(">>>_"));
}

void SkinCard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (isDown()) p.setOpacity(0.75);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    p.setClipPath(card);
    p.fillPath(card, QColor(255, 255, 255, _hovering ? 23 : 13));

    paintThumbnail(p, thumbnailRect());

    const QColor accent = palette().color(QPalette::Highlight);
    const QRectF inner = QRectF(rect()).adjusted(margin, margin, -margin, -margin);
    const QFont font = nameFont();
    const QFontMetricsF metrics(font);
    const qreal rowTop = margin + thumbnailHeight + spacing;
    const qreal checkWidth = _isCurrent ? symbolBadgeSize + 4 : 0;
    const QString name =
        metrics.elidedText(_skin.name, Qt::ElideRight, std::max<qreal>(0, inner.width() - checkWidth));
    const qreal rowWidth = checkWidth + metrics.horizontalAdvance(name);
    qreal x = inner.center().x() - rowWidth / 2;
    if (_isCurrent) {
        const qreal y = rowTop + (metrics.height() - symbolBadgeSize) / 2;
        p.drawPixmap(QPointF(x, y), SymbolImage::pixmap(SymbolImage::Symbol::CheckmarkCircleFill,
                                                        symbolBadgeSize, accent, devicePixelRatioF()));
        x += checkWidth;
    }
    p.setFont(font);
    p.setPen(_isCurrent ? accent : QColor(255, 255, 255, 204));
    p.drawText(QRectF(x, rowTop, rowWidth - checkWidth + 1, metrics.height()),
               Qt::AlignLeft | Qt::AlignVCenter, name);

    if (_isCurrent) {
        // A two-point border drawn inside the label's bounds.
        p.setPen(QPen(accent, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(inner.adjusted(1, 1, -1, -1), cornerRadius - 1, cornerRadius - 1);
    }
}

} // namespace Quillaby
