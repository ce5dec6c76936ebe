// "Pocket Glass P2": a pocket terminal in dark anodised aluminium whose screen is a glass slab laid on
// top of the body (the terminal is drawn above this art), with a calculator-like keypad that lights.
#include "SkinArt.h"

#include <QJsonObject>
#include <QLinearGradient>

namespace QuillabyArt {

namespace {

const QColor alloyTop(64, 76, 94);
const QColor alloyBottom(34, 41, 52);
const QColor keyGraphite(46, 52, 62);
const QColor keyCyan(52, 190, 226);
const QColor keyCoral(236, 104, 96);
const QColor keySlate(88, 100, 118);
const QColor legendLight(236, 242, 248);
const QColor legendDark(12, 34, 44);
const QColor silver(176, 188, 204);

constexpr qreal columnsLeft = 32;
constexpr qreal cellWidth = 84;

struct PadKey {
    const char* legend;
    const char* key;
    QColor colour;
    int columns = 1;
};

void drawBody(QPainter& p, const QPainterPath& body, const QRectF& box) {
    litSurface(p, body, alloyTop, alloyBottom, 1.6);
    brushedStreaks(p, body, 11, 0.05);
    // A diamond-cut chamfer: bright where it faces the light.
    QLinearGradient chamfer(box.topLeft(), box.bottomRight());
    chamfer.setColorAt(0, QColor(255, 255, 255, 170));
    chamfer.setColorAt(0.5, QColor(255, 255, 255, 40));
    chamfer.setColorAt(1, QColor(255, 255, 255, 90));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QBrush(chamfer), 1.1));
    p.drawPath(roundedRect(box.adjusted(2, 2, -2, -2), 44));
    p.setPen(QPen(QColor(8, 10, 14, 200), 0.9));
    p.drawPath(body);
    p.setPen(Qt::NoPen);
}

void drawGlass(QPainter& p, const SkinArt& skin) {
    QPainterPath glass = roundedQuadPath(grownQuad(skin.corners(), 12), grownRadii(skin.radii(), 12));
    QRectF box = glass.boundingRect();
    // The slab floats a little above the metal.
    dropShadow(p, glass, QPointF(0, 3.5), 8, QColor(0, 0, 0, 170));
    p.fillPath(glass, verticalGradient(box, QColor(14, 17, 22), QColor(6, 8, 11)));
    QLinearGradient sheen(box.topLeft(), box.bottomRight());
    sheen.setColorAt(0, QColor(255, 255, 255, 30));
    sheen.setColorAt(0.32, QColor(255, 255, 255, 12));
    sheen.setColorAt(0.33, QColor(255, 255, 255, 0));
    p.fillPath(glass, sheen);
    QLinearGradient edge(box.topLeft(), box.bottomLeft());
    edge.setColorAt(0, QColor(255, 255, 255, 150));
    edge.setColorAt(1, QColor(255, 255, 255, 30));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QBrush(edge), 0.9));
    p.drawPath(glass);
    p.setPen(Qt::NoPen);
    // Front camera in the top border.
    QPointF camera(box.center().x(), box.top() + 7.5);
    p.fillPath(circle(camera, 3.4), QColor(30, 35, 46));
    p.fillPath(circle(camera, 1.9), QColor(44, 66, 110));
    p.fillPath(circle(camera, 0.9), QColor(8, 10, 16));
    p.fillPath(circle(camera + QPointF(-0.7, -0.8), 0.6), QColor(255, 255, 255, 170));
}

void drawKey(QPainter& p, const QRectF& rect, bool round, QColor colour, const QString& legend) {
    QPainterPath shape =
        round ? circle(rect.center(), rect.width() / 2) : roundedRect(rect, rect.height() / 2);
    QRectF well = rect.adjusted(-2.5, -2.5, 2.5, 2.5);
    recess(p, round ? circle(well.center(), well.width() / 2) : roundedRect(well, well.height() / 2),
           QColor(18, 22, 28), 1.0);
    raisedCap(p, shape, colour, false);
    bool dark = colour == keyCyan;
    bool word = legend.size() > 1;
    qreal size = word ? 8 : (round && rect.width() > 44 ? 17 : 11);
    QPainterPath text = centredText(Face::SansBold, size, legend, rect.center(), word ? 0.6 : 0);
    p.fillPath(text, dark ? legendDark : legendLight);
}

void drawKeypad(QPainter& p, SkinArt& skin) {
    auto cell = [](int column, qreal top, qreal height, int columns = 1) {
        return QRectF(columnsLeft + column * cellWidth, top, columns * cellWidth, height);
    };
    // Small pills: escape, tab and two modifiers.
    const PadKey pills[] = {{"esc", "escape", keyCoral},
                            {"tab", "tab", keySlate},
                            {"ctrl", "ctrl", keySlate},
                            {"shift", "shift", keySlate}};
    for (int i = 0; i < 4; ++i) {
        QRectF rect = cell(i, 370, 24).adjusted(9, 0, -9, 0);
        drawKey(p, rect, false, pills[i].colour, pills[i].legend);
        skin.keys.append({pills[i].key, rect, false});
    }
    // Arrows.
    const PadKey arrows[] = {{"\u25C0", "left", keySlate},
                             {"\u25BC", "down", keySlate},
                             {"\u25B2", "up", keySlate},
                             {"\u25B6", "right", keySlate}};
    for (int i = 0; i < 4; ++i) {
        QPointF c = cell(i, 406, 36).center();
        QRectF rect(c.x() - 18, c.y() - 18, 36, 36);
        drawKey(p, rect, true, arrows[i].colour, QString::fromUtf8(arrows[i].legend));
        skin.keys.append({arrows[i].key, rect, true});
    }
    // The calculator block.
    const PadKey grid[4][4] = {
        {{"7", "7", keyGraphite}, {"8", "8", keyGraphite}, {"9", "9", keyGraphite}, {"\u00F7", "/", keyCyan}},
        {{"4", "4", keyGraphite}, {"5", "5", keyGraphite}, {"6", "6", keyGraphite}, {"\u00D7", "*", keyCyan}},
        {{"1", "1", keyGraphite}, {"2", "2", keyGraphite}, {"3", "3", keyGraphite}, {"\u2212", "-", keyCyan}},
        {{"0", "0", keyGraphite},
         {".", ".", keyGraphite},
         {"\u232B", "delete", keyCoral},
         {"+", "+", keyCyan}},
    };
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            const PadKey& key = grid[row][column];
            QPointF c = cell(column, 454 + row * 58, 52).center();
            QRectF rect(c.x() - 25, c.y() - 25, 50, 50);
            drawKey(p, rect, true, key.colour, QString::fromUtf8(key.legend));
            skin.keys.append({key.key, rect, true});
        }
    }
    QRectF space = cell(0, 690, 40, 3).adjusted(9, 0, -9, 0);
    drawKey(p, space, false, keyGraphite, "space");
    skin.keys.append({"space", space, false});
    QRectF enter = cell(3, 690, 40).adjusted(9, 0, -9, 0);
    drawKey(p, enter, false, keyCyan, "\u23CE");
    skin.keys.append({"return", enter, false});
}

void drawTrim(QPainter& p) {
    printText(p,
              placed(textPath(Face::SansBold, 8, "QUILLABY", 2.6), QPointF(40, 350),
                     Qt::AlignLeft | Qt::AlignVCenter, capHeight(Face::SansBold, 8)),
              silver);
    printText(p,
              placed(textPath(Face::SansBold, 8, "P2", 1.0), QPointF(360, 350),
                     Qt::AlignRight | Qt::AlignVCenter, capHeight(Face::SansBold, 8)),
              keyCyan);
    led(p, QPointF(200, 350), 2.2, keyCyan, true);
    slotGrille(p, QRectF(170, 740, 60, 3.2), 1, 3.2, true, QColor(10, 12, 16));
}

QList<QColor> ansi() {
    QList<QColor> colours;
    for (const char* hex :
         {"#1B2433", "#F0717A", "#7FD99A", "#F2CF7A", "#6AA8FF", "#C79BFF", "#5ED6E6", "#C9D6E3", "#4A5870",
          "#FF9AA2", "#A5F2BD", "#FFE3A3", "#9CC6FF", "#DDBFFF", "#92EEF8", "#F4F8FC"})
        colours.append(QColor(hex));
    return colours;
}

} // namespace

SkinArt drawPocketGlass(qreal scale) {
    SkinArt skin;
    skin.folder = "pocket-glass";
    skin.imageName = "frame@2x.png";
    skin.name = "Pocket Glass P2";
    skin.hasManifest = true;
    skin.frame = QSizeF(400, 760);
    skin.viewport = QRectF(26, 28, 348, 290);
    skin.cornerRadius = 12;
    skin.cornerRadii = {30, 30, 12, 12};
    skin.perCorner = true;
    skin.screenInFront = true;
    skin.palette = {QColor("#D6E4F0"), QColor("#0B1220"), QColor("#5EC8FF"), ansi()};
    skin.effects = QJsonObject{{"colorGrade", "cool"}};

    skin.image = newCanvas(skin.frame, scale);
    QPainter p;
    beginPoints(p, skin.image, scale);
    p.setPen(Qt::NoPen);
    const QRectF box(4, 4, 392, 752);
    drawBody(p, roundedRect(box, 46), box);
    drawGlass(p, skin);
    drawTrim(p);
    drawKeypad(p, skin);
    punch(p, skin.screenPath());
    p.end();
    return skin;
}

} // namespace QuillabyArt
