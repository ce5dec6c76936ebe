// "Walkie MK-1": a rugged two-way radio, a graphite face plate in an orange rubber bumper, a rubber
// antenna and a knurled channel knob on top, a push-to-talk bar on the left flank, a rubber key row and a
// slotted speaker. Transparent around the silhouette: the window takes the radio's shape.
#include "SkinArt.h"

#include <QLinearGradient>

#include <cmath>

namespace QuillabyArt {

namespace {

const QColor bumperTop(240, 124, 48);
const QColor bumperBottom(196, 84, 26);
const QColor plateTop(62, 66, 72);
const QColor plateBottom(36, 39, 43);
const QColor rubber(44, 46, 50);
const QColor legend(214, 218, 224);
const QColor orange(240, 122, 46);

// A cylinder seen from the front: dark at both edges, brightest left of centre.
QLinearGradient cylinder(qreal left, qreal right, QColor tone) {
    QLinearGradient g(QPointF(left, 0), QPointF(right, 0));
    g.setColorAt(0, tone.darker(210));
    g.setColorAt(0.3, tone.lighter(150));
    g.setColorAt(0.55, tone);
    g.setColorAt(1, tone.darker(260));
    return g;
}

void drawAntenna(QPainter& p) {
    const qreal cx = 96;
    QPainterPath whip;
    whip.moveTo(cx - 12, 152);
    whip.lineTo(cx - 7, 18);
    whip.quadTo(cx - 7, 9, cx, 9);
    whip.quadTo(cx + 7, 9, cx + 7, 18);
    whip.lineTo(cx + 12, 152);
    whip.closeSubpath();
    p.fillPath(whip, cylinder(cx - 12, cx + 12, QColor(58, 60, 64)));
    // Moulded rings on the lower part, a thicker tip cap.
    p.save();
    p.setClipPath(whip);
    for (qreal y = 70; y < 150; y += 8) {
        p.fillRect(QRectF(cx - 14, y, 28, 1.2), QColor(0, 0, 0, 110));
        p.fillRect(QRectF(cx - 14, y + 1.2, 28, 0.8), QColor(255, 255, 255, 36));
    }
    p.restore();
    QPainterPath tip = roundedRect(QRectF(cx - 8.5, 6, 17, 16), 7);
    p.fillPath(tip, cylinder(cx - 8.5, cx + 8.5, QColor(66, 68, 72)));
    // Chrome hex nut at the foot.
    const QRectF nut(cx - 19, 146, 38, 22);
    QLinearGradient facets(nut.topLeft(), nut.topRight());
    facets.setColorAt(0, QColor(120, 125, 132));
    facets.setColorAt(0.28, QColor(150, 155, 162));
    facets.setColorAt(0.29, QColor(232, 235, 239));
    facets.setColorAt(0.7, QColor(190, 195, 201));
    facets.setColorAt(0.71, QColor(110, 115, 122));
    facets.setColorAt(1, QColor(84, 88, 94));
    p.fillPath(roundedRect(nut, 2), facets);
    p.fillRect(QRectF(nut.left(), nut.top(), nut.width(), 1.2), QColor(255, 255, 255, 120));
}

void drawKnob(QPainter& p) {
    const QRectF body(292, 102, 52, 60);
    // Collar under the knob.
    const QRectF collar(286, 156, 64, 12);
    p.fillPath(roundedRect(collar, 2), cylinder(collar.left(), collar.right(), QColor(150, 154, 160)));
    QPainterPath knob = roundedRect(body, 5);
    p.fillPath(knob, cylinder(body.left(), body.right(), QColor(70, 73, 78)));
    // Knurling: ridges bunch towards the edges as the cylinder turns away.
    p.save();
    p.setClipPath(knob);
    const int ridges = 26;
    for (int i = 0; i <= ridges; ++i) {
        qreal angle = M_PI * i / ridges;
        qreal x = body.center().x() - std::cos(angle) * body.width() / 2;
        p.fillRect(QRectF(x - 0.5, body.top() + 6, 0.8, body.height() - 6), QColor(0, 0, 0, 120));
        p.fillRect(QRectF(x + 0.3, body.top() + 6, 0.6, body.height() - 6), QColor(255, 255, 255, 40));
    }
    p.restore();
    // The top face, seen from a little above, with its index line.
    QPainterPath top;
    top.addEllipse(QRectF(body.left(), body.top() - 5, body.width(), 12));
    p.fillPath(top, verticalGradient(top.boundingRect(), QColor(120, 124, 130), QColor(78, 81, 86)));
    p.fillPath(roundedRect(QRectF(body.center().x() - 1.2, body.top() - 4, 2.4, 9), 1.2),
               QColor(250, 250, 250));
}

void drawPushToTalk(QPainter& p) {
    QPainterPath bar = roundedRect(QRectF(14, 262, 22, 104), 8);
    p.fillPath(bar, cylinder(14, 36, QColor(54, 56, 60)));
    p.save();
    p.setClipPath(bar);
    for (qreal y = 272; y < 358; y += 6)
        p.fillRect(QRectF(14, y, 10, 1.4), QColor(0, 0, 0, 120));
    p.restore();
}

void drawBumper(QPainter& p, const QPainterPath& body) {
    litSurface(p, body, bumperTop, bumperBottom, 2.0);
    p.setPen(QPen(QColor(70, 30, 8, 160), 0.9));
    p.setBrush(Qt::NoBrush);
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    // Grip grooves down both flanks.
    QPainterPath grooves;
    for (qreal y = 440; y < 610; y += 7) {
        grooves.addRoundedRect(QRectF(25.5, y, 8, 2.2), 1.1, 1.1);
        grooves.addRoundedRect(QRectF(387.5, y, 8, 2.2), 1.1, 1.1);
    }
    recess(p, grooves, QColor(150, 62, 18), 0.6);
}

void drawFace(QPainter& p, const SkinArt& skin) {
    const QRectF plateBox(36, 176, 349, 466);
    QPainterPath plate = roundedRect(plateBox, 24);
    dropShadow(p, plate, QPointF(0, 1.5), 3, QColor(0, 0, 0, 120));
    litSurface(p, plate, plateTop, plateBottom, 1.4);
    brushedStreaks(p, plate, 7, 0.035);

    for (QPointF at : {QPointF(52, 190), QPointF(369, 190), QPointF(52, 628), QPointF(369, 628)})
        screw(p, at, 3.4, 35);

    // Top band: maker, activity lights, model.
    const qreal band = 189.5;
    printText(p,
              placed(textPath(Face::SansBold, 8.2, "QUILLABY", 2.2), QPointF(66, band),
                     Qt::AlignLeft | Qt::AlignVCenter, capHeight(Face::SansBold, 8.2)),
              legend);
    led(p, QPointF(218, band), 2.6, QColor(255, 70, 60), false);
    printText(p,
              placed(textPath(Face::SansBold, 5.4, "TX", 0.4), QPointF(224, band),
                     Qt::AlignLeft | Qt::AlignVCenter, capHeight(Face::SansBold, 5.4)),
              QColor(150, 155, 163));
    led(p, QPointF(252, band), 2.6, QColor(110, 230, 90), true);
    printText(p,
              placed(textPath(Face::SansBold, 5.4, "RX", 0.4), QPointF(258, band),
                     Qt::AlignLeft | Qt::AlignVCenter, capHeight(Face::SansBold, 5.4)),
              QColor(150, 155, 163));
    printText(p,
              placed(textPath(Face::SansBold, 9, "MK-1", 1.0), QPointF(356, band),
                     Qt::AlignRight | Qt::AlignVCenter, capHeight(Face::SansBold, 9)),
              orange);

    // Screen glass.
    const QRectF glassBox(56, 200.5, 309, 168.5);
    QPainterPath glass = roundedRect(glassBox, 12);
    recess(p, roundedRect(glassBox.adjusted(-2, -2, 2, 2), 14), QColor(20, 21, 24), 1.0);
    p.fillPath(glass, verticalGradient(glassBox, QColor(30, 32, 36), QColor(14, 15, 17)));
    QLinearGradient sheen(glassBox.topLeft(), QPointF(glassBox.left() + 120, glassBox.bottom()));
    sheen.setColorAt(0, QColor(255, 255, 255, 30));
    sheen.setColorAt(0.5, QColor(255, 255, 255, 8));
    sheen.setColorAt(0.51, QColor(255, 255, 255, 0));
    p.fillPath(glass, sheen);
    QPainterPath lip = roundedQuadPath(grownQuad(skin.corners(), 2.5), grownRadii(skin.radii(), 2.5));
    p.fillPath(lip, QColor(6, 6, 7));
}

void drawKeys(QPainter& p, const QList<ButtonArt>& buttons) {
    recess(p, roundedRect(QRectF(45, 369, 327, 61), 14), QColor(22, 23, 26), 1.2);
    for (const ButtonArt& button : buttons) {
        bool enter = button.label == "ENT";
        QPainterPath cap = roundedRect(button.rect.adjusted(2.5, 2.5, -2.5, -2.5), 9);
        raisedCap(p, cap, enter ? orange : rubber);
        QPainterPath label = centredText(Face::SansBold, 9.5, button.label, button.rect.center(), 1.2);
        embossText(p, label, enter ? QColor(50, 24, 8) : legend, false);
    }
}

void drawSpeaker(QPainter& p) {
    const QRectF area(60, 444, 301, 146);
    QPainterPath plate = roundedRect(area, 16);
    recess(p, plate, QColor(42, 45, 50), 1.0);
    p.fillPath(plate, verticalGradient(area, QColor(44, 47, 52), QColor(54, 57, 62)));
    slotGrille(p, area.adjusted(16, 14, -16, -14), 12, 5.2, true, QColor(10, 10, 12));
    printText(p, centredText(Face::SansBold, 6.6, "TWO-WAY TERMINAL  ·  16 CH", QPointF(210.5, 608), 1.4),
              QColor(150, 155, 163));
}

} // namespace

SkinArt drawWalkie(qreal scale) {
    SkinArt skin;
    skin.folder = "walkie";
    skin.imageName = "Walkie_alpha.png";
    skin.name = "Walkie MK-1";
    skin.frame = QSizeF(421, 661);
    skin.viewport = QRectF(68, 213, 285, 147);
    skin.cornerRadius = 6;
    skin.palette = {QColor::fromRgbF(1, 0.55, 0), QColor::fromRgbF(0.05, 0.03, 0), {}, {}};
    skin.buttons = {{"MENU", QRectF(52, 375, 72, 48)},
                    {"SCAN", QRectF(132, 375, 80, 48)},
                    {"MON", QRectF(214, 375, 70, 48)},
                    {"ENT", QRectF(293, 375, 72, 48)}};

    skin.image = newCanvas(skin.frame, scale);
    QPainter p;
    beginPoints(p, skin.image, scale);
    p.setPen(Qt::NoPen);
    drawAntenna(p);
    drawKnob(p);
    drawPushToTalk(p);
    QPainterPath body = roundedRect(QRectF(24, 166, 373, 488), 34);
    drawBumper(p, body);
    drawFace(p, skin);
    drawKeys(p, skin.buttons);
    drawSpeaker(p);
    punch(p, skin.screenPath());
    p.end();
    return skin;
}

} // namespace QuillabyArt
