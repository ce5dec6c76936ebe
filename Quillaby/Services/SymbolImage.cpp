#include "Services/SymbolImage.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace Quillaby {

namespace {

using Symbol = SymbolImage::Symbol;

QPen strokePen(const QColor& color, qreal width) {
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// Paints in a 1 x 1 square (the painter is scaled to the pixmap).
void paint(QPainter& p, Symbol symbol, const QColor& color) {
    const QPen cut = strokePen(Qt::black, 0.09);
    switch (symbol) {
    case Symbol::TerminalFill: {
        QPainterPath body;
        body.addRoundedRect(QRectF(0.04, 0.14, 0.92, 0.72), 0.14, 0.14);
        p.fillPath(body, color);
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(cut);
        p.drawPolyline(QPolygonF{{0.2, 0.34}, {0.35, 0.47}, {0.2, 0.6}});
        p.drawLine(QPointF(0.44, 0.64), QPointF(0.64, 0.64));
        break;
    }
    case Symbol::ArrowDownCircleFill:
    case Symbol::CheckmarkCircleFill: {
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(QRectF(0.04, 0.04, 0.92, 0.92));
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setBrush(Qt::NoBrush);
        p.setPen(cut);
        if (symbol == Symbol::ArrowDownCircleFill) {
            p.drawLine(QPointF(0.5, 0.26), QPointF(0.5, 0.72));
            p.drawPolyline(QPolygonF{{0.32, 0.54}, {0.5, 0.72}, {0.68, 0.54}});
        } else {
            p.drawPolyline(QPolygonF{{0.29, 0.52}, {0.44, 0.67}, {0.72, 0.36}});
        }
        break;
    }
    case Symbol::WifiSlash: {
        // Two arcs and a dot: small sizes cannot carry the third arc.
        p.setPen(strokePen(color, 0.11));
        const QPointF centre(0.5, 0.8);
        for (qreal radius : {0.3, 0.56}) {
            QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
            p.drawArc(box, 40 * 16, 100 * 16);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(centre, 0.1, 0.1);
        // The slash, with a gap cut around it so it reads over the arcs.
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(strokePen(Qt::black, 0.24));
        p.drawLine(QPointF(0.14, 0.1), QPointF(0.86, 0.9));
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setPen(strokePen(color, 0.1));
        p.drawLine(QPointF(0.14, 0.1), QPointF(0.86, 0.9));
        break;
    }
    case Symbol::ArrowDownToLine:
        p.setPen(strokePen(color, 0.09));
        p.drawLine(QPointF(0.5, 0.1), QPointF(0.5, 0.66));
        p.drawPolyline(QPolygonF{{0.26, 0.43}, {0.5, 0.67}, {0.74, 0.43}});
        p.drawLine(QPointF(0.16, 0.88), QPointF(0.84, 0.88));
        break;
    case Symbol::Checkmark:
        p.setPen(strokePen(color, 0.1));
        p.drawPolyline(QPolygonF{{0.14, 0.54}, {0.38, 0.78}, {0.86, 0.22}});
        break;
    case Symbol::InfoCircle:
        p.setPen(strokePen(color, 0.08));
        p.drawEllipse(QRectF(0.08, 0.08, 0.84, 0.84));
        p.drawLine(QPointF(0.5, 0.46), QPointF(0.5, 0.72));
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(QPointF(0.5, 0.31), 0.06, 0.06);
        break;
    case Symbol::Gear: {
        // Eight teeth on a ring, with a hole through the middle.
        constexpr int teeth = 8;
        QPolygonF outline;
        for (int i = 0; i < teeth * 4; ++i) {
            const qreal angle = (i - 1.5) * M_PI * 2 / (teeth * 4);
            const qreal radius = (i % 4 < 2) ? 0.47 : 0.36;
            outline << QPointF(0.5 + radius * std::cos(angle), 0.5 + radius * std::sin(angle));
        }
        QPainterPath body;
        body.addPolygon(outline);
        body.closeSubpath();
        QPainterPath hole;
        hole.addEllipse(QPointF(0.5, 0.5), 0.15, 0.15);
        p.setPen(strokePen(color, 0.04));
        p.setBrush(color);
        p.drawPath(body.subtracted(hole));
        break;
    }
    case Symbol::Paintbrush: {
        p.setPen(strokePen(color, 0.1));
        p.drawLine(QPointF(0.86, 0.14), QPointF(0.5, 0.52));
        QPainterPath tip;
        tip.moveTo(0.44, 0.5);
        tip.cubicTo(0.56, 0.58, 0.52, 0.72, 0.4, 0.78);
        tip.cubicTo(0.3, 0.84, 0.2, 0.84, 0.12, 0.88);
        tip.cubicTo(0.18, 0.78, 0.18, 0.68, 0.26, 0.58);
        tip.cubicTo(0.32, 0.5, 0.38, 0.46, 0.44, 0.5);
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawPath(tip);
        break;
    }
    case Symbol::WandAndStars: {
        p.setPen(strokePen(color, 0.1));
        p.drawLine(QPointF(0.14, 0.86), QPointF(0.62, 0.38));
        // Four-pointed sparkles of falling size.
        auto star = [&](QPointF c, qreal r) {
            QPainterPath s;
            s.moveTo(c.x(), c.y() - r);
            s.quadTo(c, QPointF(c.x() + r, c.y()));
            s.quadTo(c, QPointF(c.x(), c.y() + r));
            s.quadTo(c, QPointF(c.x() - r, c.y()));
            s.quadTo(c, QPointF(c.x(), c.y() - r));
            p.setPen(Qt::NoPen);
            p.setBrush(color);
            p.drawPath(s);
        };
        star(QPointF(0.76, 0.24), 0.2);
        star(QPointF(0.34, 0.2), 0.12);
        star(QPointF(0.82, 0.64), 0.11);
        break;
    }
    case Symbol::Keyboard: {
        p.setPen(strokePen(color, 0.07));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(0.05, 0.22, 0.9, 0.56), 0.08, 0.08);
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        for (int row = 0; row < 2; ++row) {
            for (int column = 0; column < 5; ++column)
                p.drawRect(QRectF(0.16 + column * 0.15, 0.32 + row * 0.13, 0.08, 0.07));
        }
        p.drawRect(QRectF(0.3, 0.6, 0.4, 0.07));
        break;
    }
    case Symbol::Shuffle: {
        p.setPen(strokePen(color, 0.08));
        p.setBrush(Qt::NoBrush);
        QPainterPath down;
        down.moveTo(0.1, 0.28);
        down.lineTo(0.28, 0.28);
        down.cubicTo(0.5, 0.28, 0.5, 0.72, 0.72, 0.72);
        down.lineTo(0.86, 0.72);
        QPainterPath up;
        up.moveTo(0.1, 0.72);
        up.lineTo(0.28, 0.72);
        up.cubicTo(0.5, 0.72, 0.5, 0.28, 0.72, 0.28);
        up.lineTo(0.86, 0.28);
        p.drawPath(down);
        p.drawPath(up);
        p.drawPolyline(QPolygonF{{0.74, 0.16}, {0.88, 0.28}, {0.74, 0.4}});
        p.drawPolyline(QPolygonF{{0.74, 0.6}, {0.88, 0.72}, {0.74, 0.84}});
        break;
    }
    case Symbol::ArrowUturnBackwardCircle: {
        p.setPen(strokePen(color, 0.07));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(0.08, 0.08, 0.84, 0.84));
        QPainterPath turn;
        turn.moveTo(0.3, 0.4);
        turn.lineTo(0.56, 0.4);
        turn.cubicTo(0.76, 0.4, 0.76, 0.7, 0.56, 0.7);
        turn.lineTo(0.42, 0.7);
        p.drawPath(turn);
        p.drawPolyline(QPolygonF{{0.4, 0.28}, {0.28, 0.4}, {0.4, 0.52}});
        break;
    }
    case Symbol::KeyboardFill: {
        QPainterPath body;
        body.addRoundedRect(QRectF(0.02, 0.2, 0.96, 0.6), 0.1, 0.1);
        p.fillPath(body, color);
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        for (int row = 0; row < 2; ++row) {
            for (int key = 0; key < 5; ++key)
                p.drawRect(QRectF(0.12 + key * 0.16, 0.3 + row * 0.14, 0.1, 0.08));
        }
        p.drawRect(QRectF(0.26, 0.6, 0.48, 0.08));
        break;
    }
    case Symbol::GridFill:
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        for (qreal x : {0.08, 0.54})
            for (qreal y : {0.08, 0.54})
                p.drawRoundedRect(QRectF(x, y, 0.38, 0.38), 0.08, 0.08);
        break;
    case Symbol::Pencil: {
        QPolygonF shaft{{0.7, 0.1}, {0.9, 0.3}, {0.36, 0.84}, {0.16, 0.64}};
        QPolygonF tip{{0.14, 0.68}, {0.32, 0.86}, {0.08, 0.92}};
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawPolygon(shaft);
        p.drawPolygon(tip);
        break;
    }
    case Symbol::Trash: {
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        QPainterPath can;
        can.moveTo(0.2, 0.3);
        can.lineTo(0.8, 0.3);
        can.lineTo(0.74, 0.92);
        can.lineTo(0.26, 0.92);
        can.closeSubpath();
        p.drawPath(can);
        p.drawRoundedRect(QRectF(0.1, 0.17, 0.8, 0.09), 0.03, 0.03);
        p.drawRoundedRect(QRectF(0.38, 0.08, 0.24, 0.12), 0.03, 0.03);
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(strokePen(Qt::black, 0.06));
        for (qreal x : {0.4, 0.5, 0.6})
            p.drawLine(QPointF(x, 0.42), QPointF(x, 0.8));
        break;
    }
    case Symbol::Command: {
        // Four loops joined by a square.
        p.setPen(strokePen(color, 0.075));
        p.setBrush(Qt::NoBrush);
        const qreal a = 0.36, b = 0.64, r = 0.13;
        p.drawRect(QRectF(a, a, b - a, b - a));
        for (const QPointF& c : {QPointF(a - r, a - r), QPointF(b + r, a - r), QPointF(a - r, b + r), QPointF(b + r, b + r)})
            p.drawEllipse(c, r, r);
        break;
    }
    case Symbol::Terminal: {
        p.setPen(strokePen(color, 0.07));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(0.08, 0.16, 0.84, 0.68), 0.12, 0.12);
        p.drawPolyline(QPolygonF{{0.24, 0.36}, {0.37, 0.47}, {0.24, 0.58}});
        p.drawLine(QPointF(0.45, 0.62), QPointF(0.64, 0.62));
        break;
    }
    case Symbol::Plus:
        p.setPen(strokePen(color, 0.1));
        p.drawLine(QPointF(0.5, 0.16), QPointF(0.5, 0.84));
        p.drawLine(QPointF(0.16, 0.5), QPointF(0.84, 0.5));
        break;
    case Symbol::ArrowTriangle2Circlepath: {
        p.setPen(strokePen(color, 0.08));
        p.setBrush(Qt::NoBrush);
        const QRectF ring(0.16, 0.16, 0.68, 0.68);
        p.drawArc(ring, 20 * 16, 140 * 16);
        p.drawArc(ring, 200 * 16, 140 * 16);
        // Arrow heads at the ends of the arcs, turning the same way.
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawPolygon(QPolygonF{{0.68, 0.50}, {0.92, 0.50}, {0.80, 0.66}});
        p.drawPolygon(QPolygonF{{0.08, 0.50}, {0.32, 0.50}, {0.20, 0.34}});
        break;
    }
    case Symbol::RectangleStack: {
        p.setPen(strokePen(color, 0.07));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(0.26, 0.14), QPointF(0.74, 0.14));
        p.drawLine(QPointF(0.17, 0.26), QPointF(0.83, 0.26));
        p.drawRoundedRect(QRectF(0.08, 0.38, 0.84, 0.5), 0.1, 0.1);
        break;
    }
    }
}

} // namespace

QPixmap SymbolImage::pixmap(Symbol symbol, qreal size, const QColor& color, qreal devicePixelRatio) {
    const int pixels = std::max(1, int(std::ceil(size * devicePixelRatio)));
    QPixmap image(pixels, pixels);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(pixels, pixels);
        paint(p, symbol, color);
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

QIcon SymbolImage::icon(Symbol symbol, qreal size, const QColor& color, qreal devicePixelRatio) {
    QIcon icon;
    QPixmap normal = pixmap(symbol, size, color, devicePixelRatio);
    icon.addPixmap(normal, QIcon::Normal);
    QColor faded = color;
    faded.setAlphaF(color.alphaF() * 0.45);
    icon.addPixmap(pixmap(symbol, size, faded, devicePixelRatio), QIcon::Disabled);
    return icon;
}

} // namespace Quillaby
