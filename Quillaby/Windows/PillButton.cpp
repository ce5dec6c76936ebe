#include "Windows/PillButton.h"

#include <QEnterEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace Quillaby {

namespace {

QFont labelFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(9);
    font.setWeight(QFont::DemiBold);
    return font;
}

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(float(alpha));
    return color;
}

} // namespace

PillButton::Appearance PillButton::appearance(bool active, bool hovered) {
    if (active) return {0.85, 0, true};
    if (hovered) return {0.35, 0.9, false};
    return {0.12, 0.6, false};
}

PillButton::PillButton(const QString& label, QWidget* parent)
    : QWidget(parent)
    , _label(label) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
}

void PillButton::setLabel(const QString& label) {
    if (label == _label) return;
    _label = label;
    update();
}

void PillButton::setActive(bool active) {
    if (active == _isActive) return;
    _isActive = active;
    update();
}

void PillButton::setPaletteForeground(const QColor& color) {
    if (color == _paletteForeground) return;
    _paletteForeground = color;
    update();
}

std::unique_ptr<QMenu> PillButton::makeContextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    QAction* close = menu->addAction(QStringLiteral("Close Tab ") + _label);
    // Queued: closing a session may remove this very pill, which must not go while its menu runs.
    connect(close, &QAction::triggered, this, &PillButton::menuCloseTab, Qt::QueuedConnection);
    return menu;
}

void PillButton::menuCloseTab() {
    if (onRightClick) onRightClick();
}

void PillButton::mousePressEvent(QMouseEvent* event) {
    // Taken here, so the press never reaches a window that would start a move.
    event->accept();
    if (event->button() == Qt::LeftButton) {
        if (onClick) onClick();
    } else if (event->button() == Qt::RightButton) {
        std::unique_ptr<QMenu> menu = makeContextMenu();
        menu->exec(event->globalPosition().toPoint());
    }
}

void PillButton::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    // Hover shows only in the active window.
    if (!window()->isActiveWindow()) return;
    _isHovered = true;
    update();
}

void PillButton::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (!_isHovered) return;
    _isHovered = false;
    update();
}

void PillButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Appearance look = appearance(_isActive, _isHovered);

    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    painter.fillPath(outline, withAlpha(_paletteForeground, look.fillAlpha));
    if (look.outlineAlpha > 0) {
        painter.setPen(QPen(withAlpha(_paletteForeground, look.outlineAlpha), 0.75));
        painter.drawPath(outline);
    }

    const QFont font = labelFont();
    const QFontMetricsF metrics(font);
    QColor labelColor = look.blackLabel ? QColor(Qt::black) : _paletteForeground.toRgb();
    labelColor.setAlphaF(1);
    const double x = (width() - metrics.horizontalAdvance(_label)) / 2;
    // Half a point above the exact centre.
    const double y = (height() - metrics.height()) / 2 - 0.5;
    painter.setFont(font);
    painter.setPen(labelColor);
    painter.drawText(QPointF(x, y + metrics.ascent()), _label);
}

} // namespace Quillaby
