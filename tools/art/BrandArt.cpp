// The brand mark and the application icon: a small device whose screen shows a prompt. Large sizes are
// drawn smoothly with light and shade; 16 and 32 pixels are set on the pixel grid so they stay legible.
#include "SkinArt.h"

namespace QuillabyArt {

namespace {

const QColor lime(124, 255, 122);
const QColor orange(230, 106, 48);
const QColor screenInk(8, 22, 14);

struct BodyTones {
    QColor top;
    QColor bottom;
    QColor outline;
    QColor key;
};

const BodyTones graphite{QColor(74, 80, 90), QColor(36, 39, 45), QColor(12, 13, 16), QColor(112, 120, 134)};
const BodyTones pale{QColor(236, 238, 242), QColor(190, 195, 203), QColor(40, 44, 52), QColor(70, 76, 86)};

// Drawn in a 512-unit square.
void drawSmoothDevice(QPainter& p, const BodyTones& tones) {
    const QRectF bodyBox(64, 24, 384, 464);
    QPainterPath body = roundedRect(bodyBox, 76);
    dropShadow(p, body, QPointF(0, 6), 14, QColor(0, 0, 0, 90));
    litSurface(p, body, tones.top, tones.bottom, 5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(tones.outline, 4));
    p.drawPath(body);
    p.setPen(Qt::NoPen);

    const QRectF bezelBox(100, 62, 312, 238);
    QPainterPath bezel = roundedRect(bezelBox, 34);
    recess(p, bezel, QColor(22, 24, 28), 4);
    p.fillPath(bezel, verticalGradient(bezelBox, QColor(38, 42, 48), QColor(18, 20, 23)));
    const QRectF screenBox(124, 86, 264, 190);
    QPainterPath screen = roundedRect(screenBox, 16);
    p.fillPath(screen, screenInk);
    innerShadow(p, screen, QPointF(0, 4), 10, QColor(0, 0, 0, 200));

    QPainterPath chevron;
    chevron.moveTo(166, 138);
    chevron.lineTo(214, 181);
    chevron.lineTo(166, 224);
    QPainterPathStroker stroker;
    stroker.setWidth(26);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    QPainterPath prompt = stroker.createStroke(chevron);
    prompt.addRoundedRect(QRectF(236, 211, 76, 24), 5, 5);
    prompt = prompt.simplified();
    dropShadow(p, prompt, QPointF(), 26, QColor(124, 255, 122, 170));
    p.fillPath(prompt, lime);
    // Glass sheen over the screen's upper left.
    QLinearGradient sheen(bezelBox.topLeft(), QPointF(bezelBox.left() + 170, bezelBox.bottom()));
    sheen.setColorAt(0, QColor(255, 255, 255, 36));
    sheen.setColorAt(0.5, QColor(255, 255, 255, 10));
    sheen.setColorAt(0.51, QColor(255, 255, 255, 0));
    p.fillPath(bezel, sheen);

    recess(p, circle(QPointF(178, 392), 44), tones.bottom.darker(130), 4);
    raisedCap(p, circle(QPointF(178, 392), 33), tones.key, true);
    recess(p, circle(QPointF(330, 392), 50), tones.bottom.darker(130), 4);
    raisedCap(p, circle(QPointF(330, 392), 39), orange, true);
}

// Drawn on a 16-unit grid, every edge on a pixel boundary at 16 and 32 pixels.
void drawPixelDevice(QPainter& p, const BodyTones& tones) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillPath(roundedRect(QRectF(1, 0, 14, 16), 3), tones.outline);
    p.fillPath(roundedRect(QRectF(2, 1, 12, 14), 2),
               verticalGradient(QRectF(2, 1, 12, 14), tones.top, tones.bottom));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRectF(3, 2, 10, 8), screenInk);
    for (QPointF at : {QPointF(4, 3), QPointF(5, 4), QPointF(6, 5), QPointF(5, 6), QPointF(4, 7)})
        p.fillRect(QRectF(at, QSizeF(1, 1)), lime);
    p.fillRect(QRectF(8, 7, 4, 1), lime);
    p.fillRect(QRectF(4, 11, 3, 3), tones.key);
    p.fillRect(QRectF(9, 11, 3, 3), orange);
}

} // namespace

QImage drawMark(int size, bool onDark) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p;
    beginPoints(p, image, size / 512.0);
    p.setPen(Qt::NoPen);
    drawSmoothDevice(p, onDark ? pale : graphite);
    p.end();
    return image;
}

QImage drawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p;
    if (size <= 32) {
        beginPoints(p, image, size / 16.0);
        drawPixelDevice(p, pale);
    } else {
        beginPoints(p, image, size / 512.0);
        p.setPen(Qt::NoPen);
        drawSmoothDevice(p, pale);
    }
    p.end();
    return image;
}

} // namespace QuillabyArt
