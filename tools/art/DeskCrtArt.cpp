// "Desk CRT 80": a putty-coloured desk monitor seen a little from above (its tube a keystoned, rounded
// quadrilateral), on a short stand, with a two-tone keyboard in front whose keys light as they are typed.
#include "SkinArt.h"

#include <QJsonObject>
#include <QLinearGradient>

#include <tuple>
#include <utility>
#include <vector>

namespace QuillabyArt {

namespace {

const QColor puttyTop(233, 226, 210);
const QColor puttyBottom(204, 195, 176);
const QColor darkInk(96, 88, 76);
const QColor capLight(236, 230, 216);
const QColor capDark(160, 151, 137);
const QColor capAccent(214, 88, 46);
const QColor capArrow(112, 105, 95);

enum class Cap {
    Light,
    Dark,
    Accent,
    Arrow
};

struct KeySpec {
    QString legend;
    QString key;
    qreal units;
    Cap cap;
    bool circle = false;
};

constexpr qreal unitSize = 38;
constexpr qreal keysLeft = 55;
constexpr qreal keysTop = 580;

using Row = std::vector<KeySpec>;

// One light one-unit key per character, the character its own name.
Row characters(const char* keys) {
    Row row;
    for (const char* c = keys; *c; ++c)
        row.push_back({QString(QChar(*c)), QString(QChar(*c)), 1, Cap::Light});
    return row;
}

Row joined(std::initializer_list<Row> parts) {
    Row row;
    for (const Row& part : parts)
        row.insert(row.end(), part.begin(), part.end());
    return row;
}

// The keyboard, row by row, 15 units wide; the arrows are round keys in an inverted T.
const std::vector<Row>& layout() {
    static const std::vector<Row> rows{
        joined({characters("`1234567890-="), {{"delete", "delete", 2, Cap::Dark}}}),
        joined(
            {{{"tab", "tab", 1.5, Cap::Dark}}, characters("qwertyuiop[]"), {{"\\", "\\", 1.5, Cap::Light}}}),
        joined({{{"caps", "caps", 1.75, Cap::Dark}},
                characters("asdfghjkl;'"),
                {{"return", "return", 2.25, Cap::Accent}}}),
        joined({{{"shift", "shift", 2.25, Cap::Dark}},
                characters("zxcvbnm,./"),
                {{"shift", "shift", 1.75, Cap::Dark}, {"\u25B2", "up", 1, Cap::Arrow, true}}}),
        {{"ctrl", "ctrl", 1.25, Cap::Dark},
         {"alt", "option", 1.25, Cap::Dark},
         {"meta", "cmd", 1.5, Cap::Dark},
         {"", "space", 6.5, Cap::Light},
         {"meta", "cmd", 1.5, Cap::Dark},
         {"\u25C0", "left", 1, Cap::Arrow, true},
         {"\u25BC", "down", 1, Cap::Arrow, true},
         {"\u25B6", "right", 1, Cap::Arrow, true}},
    };
    return rows;
}

QColor capColour(Cap cap) {
    switch (cap) {
    case Cap::Light:
        return capLight;
    case Cap::Dark:
        return capDark;
    case Cap::Accent:
        return capAccent;
    case Cap::Arrow:
        return capArrow;
    }
    return capLight;
}

// A keycap seen from above and a little in front: the skirt, and the top face set back from its front.
void drawKeycap(QPainter& p, const QRectF& rect, QColor colour, bool round, const QString& legend) {
    QPainterPath skirt = round ? circle(rect.center(), rect.width() / 2) : roundedRect(rect, 4.5);
    dropShadow(p, skirt, QPointF(0, 1.6), 2.4, QColor(0, 0, 0, 150));
    p.fillPath(skirt, verticalGradient(rect, colour.darker(112), colour.darker(150)));
    QRectF face = round ? QRectF(rect.center().x() - rect.width() * 0.36, rect.top() + 2.2,
                                 rect.width() * 0.72, rect.width() * 0.72)
                        : rect.adjusted(3.2, 1.6, -3.2, -5.2);
    QPainterPath top = round ? circle(face.center(), face.width() / 2) : roundedRect(face, 3.5);
    p.fillPath(top, verticalGradient(face, colour.lighter(108), colour.darker(104)));
    innerShadow(p, top, QPointF(0, -1.2), 2.2, QColor(0, 0, 0, 40));
    innerShadow(p, top, QPointF(0.4, 0.8), 1.2, QColor(255, 255, 255, 120));
    if (legend.isEmpty()) return;
    bool word = legend.size() > 1;
    const qreal size = word ? 7.2 : 11;
    QColor ink = colour == capLight ? QColor(70, 64, 56) : QColor(250, 246, 238);
    QPainterPath text = textPath(Face::SansBold, size, word ? legend : legend.toUpper(), word ? 0.3 : 0);
    QPointF centre = face.center();
    p.fillPath(placed(text, centre, Qt::AlignCenter, capHeight(Face::SansBold, size)), ink);
}

void drawMonitor(QPainter& p, const SkinArt& skin) {
    const QRectF caseBox(40, 8, 600, 494);
    QPainterPath shell = roundedRect(caseBox, 26);
    litSurface(p, shell, puttyTop, puttyBottom, 1.8);
    p.setPen(QPen(QColor(60, 50, 36, 150), 0.9));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shell);
    p.setPen(Qt::NoPen);

    // The top of the case, seen from above, with its vents.
    p.save();
    p.setClipPath(shell);
    p.fillRect(QRectF(40, 8, 600, 18),
               verticalGradient(QRectF(40, 8, 600, 18), QColor(244, 239, 226), QColor(226, 218, 202)));
    p.fillRect(QRectF(40, 25.2, 600, 1.0), QColor(90, 78, 60, 120));
    p.fillRect(QRectF(40, 26.2, 600, 1.0), QColor(255, 255, 255, 150));
    p.restore();
    slotGrille(p, QRectF(200, 12.5, 280, 9), 22, 3.2, false, QColor(70, 62, 52));

    // The bezel's opening slopes in to the tube: the upper wall in shade, the lower wall in light.
    Quad corners = skin.corners();
    QPainterPath opening = roundedQuadPath(grownQuad(corners, 30), grownRadii(skin.radii(), 30));
    recess(p, opening, QColor(150, 140, 122), 1.2);
    QRectF openBox = opening.boundingRect();
    QLinearGradient walls(openBox.topLeft(), openBox.bottomLeft());
    walls.setColorAt(0, QColor(118, 108, 92));
    walls.setColorAt(0.5, QColor(170, 160, 142));
    walls.setColorAt(1, QColor(232, 225, 209));
    p.fillPath(opening, walls);
    innerShadow(p, opening, QPointF(0, 2.4), 4, QColor(40, 32, 20, 150));

    // The tube's dark glass border, a lip, and the highlight of curved glass in its upper left.
    QPainterPath tube = roundedQuadPath(grownQuad(corners, 13), grownRadii(skin.radii(), 13));
    dropShadow(p, tube, QPointF(0, -1), 2.5, QColor(0, 0, 0, 120));
    p.fillPath(tube, verticalGradient(tube.boundingRect(), QColor(30, 34, 32), QColor(14, 16, 15)));
    QLinearGradient sheen(tube.boundingRect().topLeft(), tube.boundingRect().center());
    sheen.setColorAt(0, QColor(255, 255, 255, 34));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillPath(tube, sheen);
    QPainterPath lip = roundedQuadPath(grownQuad(corners, 3), grownRadii(skin.radii(), 3));
    p.fillPath(lip, QColor(6, 8, 7));

    // Chin: badge, controls, power.
    QPainterPath plateText = placed(textPath(Face::SansBold, 10, "QUILLABY", 2.4), QPointF(72, 462),
                                    Qt::AlignLeft | Qt::AlignVCenter, capHeight(Face::SansBold, 10));
    QRectF plate = plateText.boundingRect().adjusted(-10, -8, 10, 8);
    raisedCap(p, roundedRect(plate, 4), QColor(52, 50, 48));
    p.fillPath(plateText, QColor(222, 214, 198));
    embossText(p,
               placed(textPath(Face::SansBold, 8.5, "CRT-80", 1.6), QPointF(plate.right() + 14, 462),
                      Qt::AlignLeft | Qt::AlignVCenter, capHeight(Face::SansBold, 8.5)),
               darkInk, true);
    for (auto [x, label] : {std::pair{444.0, "BRT"}, std::pair{484.0, "CON"}}) {
        QPainterPath knob = circle(QPointF(x, 458), 10);
        recess(p, circle(QPointF(x, 458), 12.5), QColor(120, 110, 96), 0.8);
        raisedCap(p, knob, QColor(96, 90, 82));
        p.fillRect(QRectF(x - 0.8, 449, 1.6, 6), QColor(240, 236, 228));
        embossText(p, centredText(Face::SansBold, 5.6, label, QPointF(x, 480), 0.6), darkInk, true);
    }
    led(p, QPointF(528, 458), 3.2, QColor(110, 240, 120), true);
    recess(p, roundedRect(QRectF(548, 444, 56, 28), 5), QColor(90, 82, 70), 1.0);
    raisedCap(p, roundedRect(QRectF(551, 446.5, 50, 23), 4), QColor(214, 206, 190));
    embossText(p, centredText(Face::SansBold, 7, "POWER", QPointF(576, 458), 0.8), darkInk, true);
}

void drawStand(QPainter& p) {
    QPainterPath neck;
    neck.moveTo(262, 500);
    neck.lineTo(418, 500);
    neck.lineTo(446, 530);
    neck.lineTo(234, 530);
    neck.closeSubpath();
    QLinearGradient shade(QPointF(234, 0), QPointF(446, 0));
    shade.setColorAt(0, QColor(150, 140, 122));
    shade.setColorAt(0.4, QColor(196, 187, 168));
    shade.setColorAt(1, QColor(128, 118, 102));
    p.fillPath(neck, shade);
    p.fillRect(QRectF(262, 500, 156, 3), QColor(40, 32, 22, 90));
}

void drawKeyboard(QPainter& p, SkinArt& skin) {
    const QRectF slabBox(22, 522, 636, 270);
    QPainterPath slab = roundedRect(slabBox, 16);
    dropShadow(p, slab, QPointF(0, -1.5), 4, QColor(0, 0, 0, 90));
    litSurface(p, slab, QColor(226, 218, 202), QColor(198, 189, 170), 1.6);
    // The front edge, facing the viewer.
    p.save();
    p.setClipPath(slab);
    p.fillRect(QRectF(22, 778, 636, 14),
               verticalGradient(QRectF(22, 778, 636, 14), QColor(170, 160, 142), QColor(140, 130, 112)));
    p.fillRect(QRectF(22, 777.5, 636, 0.8), QColor(255, 255, 255, 140));
    p.restore();
    p.setPen(QPen(QColor(60, 50, 36, 150), 0.9));
    p.setBrush(Qt::NoBrush);
    p.drawPath(slab);
    p.setPen(Qt::NoPen);

    // Function strip: escape, name, lights.
    QRectF escape(53, 536, 28, 28);
    skin.keys.append({"escape", escape, true});
    drawKeycap(p, escape, capAccent, true, "esc");
    embossText(p,
               placed(textPath(Face::SansBold, 8.5, "QUILLABY", 2.2), QPointF(98, 550),
                      Qt::AlignLeft | Qt::AlignVCenter, capHeight(Face::SansBold, 8.5)),
               darkInk, true);
    for (auto [x, label, lit] : {std::tuple{560.0, "CAPS", false}, std::tuple{608.0, "PWR", true}}) {
        led(p, QPointF(x, 546), 2.6, QColor(110, 240, 120), lit);
        embossText(p, centredText(Face::SansBold, 5.6, label, QPointF(x, 559), 0.6), darkInk, true);
    }

    recess(p, roundedRect(QRectF(49, 574, 582, 202), 7), QColor(74, 68, 60), 1.4);
    for (std::size_t row = 0; row < layout().size(); ++row) {
        qreal x = keysLeft;
        const qreal y = keysTop + row * unitSize;
        for (const KeySpec& spec : layout()[row]) {
            QRectF cell(x, y, spec.units * unitSize, unitSize);
            QRectF cap =
                spec.circle ? QRectF(cell.center().x() - 15.5, y + 2.5, 31, 31) : cell.adjusted(2, 2, -2, -2);
            drawKeycap(p, cap, capColour(spec.cap), spec.circle, spec.legend);
            skin.keys.append({spec.key, cap, spec.circle});
            x += cell.width();
        }
    }
}

QList<QColor> ansi() {
    QList<QColor> colours;
    for (const char* hex :
         {"#0A1F12", "#E0594A", "#5BE37D", "#E6C45A", "#4F8FD6", "#B673D6", "#4FCFC4", "#BFE8C8", "#3C5E48",
          "#FF7A6B", "#8CFFA8", "#FFE08A", "#7DB4FF", "#D9A0FF", "#8AF5EC", "#EFFFF2"})
        colours.append(QColor(hex));
    return colours;
}

} // namespace

SkinArt drawDeskCrt(qreal scale) {
    SkinArt skin;
    skin.folder = "desk-crt";
    skin.imageName = "frame@2x.png";
    skin.name = "Desk CRT 80";
    skin.hasManifest = true;
    skin.frame = QSizeF(680, 800);
    skin.viewport = QRectF(110, 58, 460, 345);
    skin.offsets = {QPointF(7, 4), QPointF(-7, 4), QPointF(0, 0), QPointF(0, 0)};
    skin.cornerRadius = 22;
    skin.palette = {QColor("#6CFF9A"), QColor("#04110A"), QColor("#C8FFD8"), ansi()};
    skin.effects = QJsonObject{
        {"scanlines", true}, {"scanlineIntensity", 0.35}, {"glow", true}, {"glowIntensity", 0.45}};

    skin.image = newCanvas(skin.frame, scale);
    QPainter p;
    beginPoints(p, skin.image, scale);
    p.setPen(Qt::NoPen);
    drawStand(p);
    drawMonitor(p, skin);
    drawKeyboard(p, skin);
    punch(p, skin.screenPath());
    p.end();
    return skin;
}

} // namespace QuillabyArt
