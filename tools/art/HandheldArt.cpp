// "Handheld v1": a pale grey pocket console, the screen set in a dark glass bezel, four round keys in a
// row under it, status lights, vents and a speaker below.
#include "SkinArt.h"

#include <QLinearGradient>

#include <utility>

namespace QuillabyArt {

namespace {

const QColor shellTop(232, 234, 238);
const QColor shellBottom(196, 200, 207);
const QColor ink(58, 63, 71);
const QColor quietInk(112, 118, 128);
const QColor lime(139, 227, 107);
const QColor teal(63, 182, 168);
const QColor amber(242, 170, 60);

void drawShell(QPainter& p, const QPainterPath& body, const QRectF& box) {
    litSurface(p, body, shellTop, shellBottom, 1.8);
    // Rounded flanks: the right side turns away from the light.
    QLinearGradient flank(box.topLeft(), box.topRight());
    flank.setColorAt(0, QColor(255, 255, 255, 40));
    flank.setColorAt(0.12, QColor(255, 255, 255, 0));
    flank.setColorAt(0.86, QColor(0, 0, 0, 0));
    flank.setColorAt(1, QColor(0, 0, 0, 34));
    p.fillPath(body, flank);
    p.setPen(QPen(QColor(0, 0, 0, 110), 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawPath(body);
    p.setPen(Qt::NoPen);
}

void drawPowerSlide(QPainter& p) {
    recess(p, roundedRect(QRectF(46, 19, 44, 10), 5), QColor(70, 74, 80), 0.8);
    raisedCap(p, roundedRect(QRectF(70, 20, 18, 8), 4), QColor(150, 155, 163));
    printText(p, placed(textPath(Face::SansBold, 5.6, "OFF", 0.4), QPointF(46, 36.5), Qt::AlignLeft, 0),
              quietInk);
    printText(p, placed(textPath(Face::SansBold, 5.6, "ON", 0.4), QPointF(90, 36.5), Qt::AlignRight, 0),
              quietInk);
}

void drawBezel(QPainter& p, const SkinArt& skin) {
    const QRectF bezelBox(30, 42, 338, 244);
    QPainterPath bezel = roundedRect(bezelBox, 18);
    recess(p, roundedRect(bezelBox.adjusted(-2.5, -2.5, 2.5, 2.5), 20.5), QColor(150, 154, 161), 1.2);
    p.fillPath(bezel, verticalGradient(bezelBox, QColor(46, 50, 57), QColor(26, 28, 32)));
    innerShadow(p, bezel, QPointF(0, 1.2), 2, QColor(255, 255, 255, 50));
    // A sheen across the upper left of the glass.
    QLinearGradient sheen(bezelBox.topLeft(), QPointF(bezelBox.left() + 150, bezelBox.top() + 190));
    sheen.setColorAt(0, QColor(255, 255, 255, 26));
    sheen.setColorAt(0.55, QColor(255, 255, 255, 10));
    sheen.setColorAt(0.56, QColor(255, 255, 255, 0));
    p.fillPath(bezel, sheen);

    // Stripe and title across the top band.
    const qreal y = 61;
    QPainterPath title = placed(textPath(Face::SansBold, 7.2, "HANDHELD TERMINAL", 1.3), QPointF(199, y),
                                Qt::AlignHCenter | Qt::AlignVCenter, capHeight(Face::SansBold, 7.2));
    QRectF ink = title.boundingRect();
    for (auto [x0, x1] : {std::pair{58.0, ink.left() - 8}, std::pair{ink.right() + 8, 340.0}}) {
        p.fillRect(QRectF(x0, y - 2.6, x1 - x0, 1.5), lime);
        p.fillRect(QRectF(x0, y + 1.1, x1 - x0, 1.5), teal);
    }
    p.fillPath(title, QColor(160, 166, 176));

    // Power light in the left margin.
    led(p, QPointF(44, 150), 3.2, lime, true);
    p.fillPath(centredText(Face::SansBold, 5.2, "PWR", QPointF(44, 162), 0.3), QColor(140, 146, 156));

    // The lip around the screen opening.
    QPainterPath lip = roundedQuadPath(grownQuad(skin.corners(), 3.5), grownRadii(skin.radii(), 3.5));
    p.fillPath(lip, QColor(10, 11, 13));
    innerShadow(p, lip, QPointF(0, -1.0), 1.5, QColor(255, 255, 255, 26));
}

void drawLettering(QPainter& p) {
    QPainterPath mark = textPath(Face::SansBold, 23, "Quillaby", -0.2);
    mark = QTransform().shear(-0.16, 0).map(mark);
    embossText(p, placed(mark, QPointF(38, 322), Qt::AlignLeft, 0), ink, false);
    QPainterPath model =
        placed(textPath(Face::SansBold, 7.5, "HH-1", 1.0), QPointF(360, 318), Qt::AlignRight, 0);
    QRectF plate = model.boundingRect().adjusted(-6, -4.5, 6, 4.5);
    recess(p, roundedRect(plate, 4), QColor(44, 48, 54), 0.8);
    p.fillPath(model, lime);
}

void drawKeys(QPainter& p, const QList<ButtonArt>& buttons) {
    const QColor caps[] = {QColor(60, 64, 72), QColor(60, 64, 72), QColor(86, 106, 138),
                           QColor(226, 104, 48)};
    for (int i = 0; i < buttons.size(); ++i) {
        QRectF r = buttons[i].rect;
        QPointF c = r.center();
        qreal radius = r.width() / 2;
        recess(p, circle(c, radius), QColor(150, 155, 163), 1.4);
        raisedCap(p, circle(c, radius - 4.8), caps[i], true);
    }
}

void drawLowerPanel(QPainter& p) {
    // Status lights.
    struct Light {
        qreal x;
        const char* label;
        QColor colour;
        bool lit;
    };
    for (const Light& light :
         {Light{54, "PWR", lime, true}, Light{86, "LINK", teal, true}, Light{118, "BUSY", amber, false}}) {
        led(p, QPointF(light.x, 446), 2.6, light.colour, light.lit);
        printText(p, centredText(Face::SansBold, 5.2, light.label, QPointF(light.x, 457), 0.4), quietInk);
    }
    // Vents.
    slotGrille(p, QRectF(42, 474, 104, 36), 9, 4.4, false, QColor(58, 62, 68));
    printText(
        p,
        placed(textPath(Face::Mono, 6.2, "QUILLABY SYSTEMS  MODEL HH-1"), QPointF(42, 527), Qt::AlignLeft, 0),
        quietInk);

    // Speaker behind a round-hole plate.
    QPainterPath plate = roundedRect(QRectF(250, 430, 112, 92), 18);
    recess(p, plate, QColor(205, 209, 215), 0.9);
    p.fillPath(plate, verticalGradient(plate.boundingRect(), QColor(204, 208, 214), QColor(222, 225, 230)));
    holeGrille(p, roundedRect(plate.boundingRect().adjusted(7, 7, -7, -7), 12), 8.6, 2.4, QColor(40, 43, 48));
}

} // namespace

SkinArt drawHandheld(qreal scale) {
    SkinArt skin;
    skin.folder = "handheld";
    skin.imageName = "frame@2x.png";
    skin.name = "Handheld v1";
    skin.frame = QSizeF(398, 555);
    skin.viewport = QRectF(58, 82, 282, 172);
    skin.cornerRadius = 8;
    skin.palette = {QColor::fromRgbF(0, 1, 0.25), QColor::fromRgbF(0.02, 0.02, 0.02), {}, {}};
    skin.buttons = {{"", QRectF(72, 340, 65, 65)},
                    {"", QRectF(148, 340, 65, 65)},
                    {"", QRectF(222, 340, 60, 60)},
                    {"", QRectF(305, 335, 70, 70)}};

    skin.image = newCanvas(skin.frame, scale);
    QPainter p;
    beginPoints(p, skin.image, scale);
    p.setPen(Qt::NoPen);
    const QRectF box(5, 5, 388, 545);
    QPainterPath body = roundedRect(box, 34);
    drawShell(p, body, box);
    for (QPointF at : {QPointF(24, 24), QPointF(374, 24), QPointF(24, 531), QPointF(374, 531)})
        screw(p, at, 3.6, 20);
    drawPowerSlide(p);
    drawBezel(p, skin);
    drawLettering(p);
    drawKeys(p, skin.buttons);
    drawLowerPanel(p);
    punch(p, skin.screenPath());
    p.end();
    return skin;
}

} // namespace QuillabyArt
