#include "Settings/ColorWell.h"

#include "App/AppHooks.h"
#include "Settings/SettingsStyle.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace Quillaby {

ColorWell::ColorWell(QWidget* parent)
    : QPushButton(parent) {
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, &ColorWell::choose);
}

void ColorWell::setColor(const QColor& color) {
    if (color == _color) return;
    _color = color;
    update();
}

void ColorWell::choose() {
    std::optional<QColor> chosen = AppHooks::current().runColorDialog(
        ColorDialogRequest{QStringLiteral("Cursor Colour"), _color, window()});
    if (!chosen || !chosen->isValid()) return;
    setColor(*chosen);
    emit colorChosen(*chosen);
}

void ColorWell::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF swatch = QRectF(rect()).adjusted(6, 5, -6, -5);
    p.setPen(QPen(SettingsStyle::hairline(palette()), 1));
    p.setBrush(_color);
    p.drawRoundedRect(swatch, 3, 3);
}

} // namespace Quillaby
