#include "Settings/SwitchToggle.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace Quillaby {

namespace {

constexpr qreal trackWidth = 30;
constexpr qreal trackHeight = 17;
constexpr qreal knobInset = 2;
constexpr int labelGap = 8;

} // namespace

SwitchToggle::SwitchToggle(const QString& text, QWidget* parent)
    : QCheckBox(text, parent) {
    setCursor(Qt::PointingHandCursor);
}

QSize SwitchToggle::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    const int width = int(trackWidth) + labelGap + metrics.horizontalAdvance(text()) + 2;
    return QSize(width, std::max(int(trackHeight) + 4, metrics.height() + 2));
}

bool SwitchToggle::hitButton(const QPoint& point) const {
    return rect().contains(point);
}

void SwitchToggle::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& colors = palette();
    const QRectF track(0.5, (height() - trackHeight) / 2, trackWidth, trackHeight);
    QColor trackColor = isChecked() ? colors.color(QPalette::Highlight) : colors.color(QPalette::Mid);
    if (!isEnabled()) trackColor.setAlphaF(0.4f);
    p.setPen(Qt::NoPen);
    p.setBrush(trackColor);
    p.drawRoundedRect(track, trackHeight / 2, trackHeight / 2);

    const qreal knob = trackHeight - 2 * knobInset;
    const qreal knobX = isChecked() ? track.right() - knobInset - knob : track.left() + knobInset;
    p.setBrush(QColor(Qt::white));
    p.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
    p.drawEllipse(QRectF(knobX, track.top() + knobInset, knob, knob));

    if (hasFocus()) {
        QColor ring = colors.color(QPalette::Highlight);
        ring.setAlphaF(0.5f);
        p.setPen(QPen(ring, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(track.adjusted(-1.5, -1.5, 1.5, 1.5), trackHeight / 2 + 1.5, trackHeight / 2 + 1.5);
    }

    p.setPen(colors.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QRectF label(trackWidth + labelGap, 0, width() - trackWidth - labelGap, height());
    p.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, text());
}

} // namespace Quillaby
