#include "Builder/OpacityColorWell.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionToolButton>

namespace Quillaby {

OpacityColorWell::OpacityColorWell(QWidget* parent)
    : QToolButton(parent) {
    setFixedSize(36, 22);
    setCursor(Qt::PointingHandCursor);
    connect(this, &QToolButton::clicked, this, [this] {
        const QColor picked =
            QColorDialog::getColor(_color, window(), QString(), QColorDialog::ShowAlphaChannel);
        if (picked.isValid()) pick(picked);
    });
}

void OpacityColorWell::setColor(const QColor& color) {
    if (color == _color) return;
    _color = color;
    update();
}

void OpacityColorWell::pick(const QColor& color) {
    setColor(color);
    emit colorPicked(color);
}

void OpacityColorWell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    // A checkerboard behind shows the opacity.
    painter.setClipRect(box);
    for (int y = 0; y < height(); y += 6)
        for (int x = 0; x < width(); x += 6)
            painter.fillRect(x, y, 6, 6, ((x + y) / 6) % 2 ? QColor(200, 200, 200) : Qt::white);
    painter.setClipping(false);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(_color);
    painter.drawRoundedRect(box, 3, 3);
}

} // namespace Quillaby
