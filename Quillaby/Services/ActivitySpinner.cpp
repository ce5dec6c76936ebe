#include "Services/ActivitySpinner.h"

#include <QPainter>

#include <cmath>

namespace Quillaby {

namespace {

void paintSpokes(QPainter& p, int index, qreal size, const QColor& color) {
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(size / 2, size / 2);
    const qreal outer = size / 2 - 0.5;
    const qreal inner = outer * 0.5;
    QPen pen(color, std::max<qreal>(1.2, size / 9));
    pen.setCapStyle(Qt::RoundCap);
    for (int spoke = 0; spoke < ActivitySpinner::frameCount; ++spoke) {
        // The spoke at `index` is brightest; those behind it fade.
        int age = (index - spoke + ActivitySpinner::frameCount) % ActivitySpinner::frameCount;
        QColor c = color;
        c.setAlphaF(color.alphaF() * std::max(0.15, 1.0 - age / 8.0));
        pen.setColor(c);
        p.setPen(pen);
        qreal angle = spoke * 2 * M_PI / ActivitySpinner::frameCount - M_PI / 2;
        p.drawLine(QPointF(std::cos(angle) * inner, std::sin(angle) * inner),
                   QPointF(std::cos(angle) * outer, std::sin(angle) * outer));
    }
}

} // namespace

ActivitySpinner::ActivitySpinner(int size, QWidget* parent)
    : QWidget(parent)
    , _size(size) {
    setFixedSize(size, size);
    _timer.setInterval(80);
    connect(&_timer, &QTimer::timeout, this, [this] {
        _index = (_index + 1) % frameCount;
        update();
    });
}

QPixmap ActivitySpinner::frame(int index, int size, const QColor& color, qreal devicePixelRatio) {
    QPixmap image(int(std::ceil(size * devicePixelRatio)), int(std::ceil(size * devicePixelRatio)));
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.scale(devicePixelRatio, devicePixelRatio);
        paintSpokes(p, index, size, color);
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

void ActivitySpinner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintSpokes(p, _index, _size, palette().color(QPalette::WindowText));
}

void ActivitySpinner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    _timer.start();
}

void ActivitySpinner::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    _timer.stop();
}

} // namespace Quillaby
