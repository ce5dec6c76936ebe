#pragma once

#include <QColor>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace Quillaby {

// A small indeterminate progress indicator: twelve spokes whose brightness turns. It animates only
// while it is visible.
class ActivitySpinner : public QWidget {
    Q_OBJECT

public:
    static constexpr int frameCount = 12;

    explicit ActivitySpinner(int size = 16, QWidget* parent = nullptr);

    QSize sizeHint() const override { return QSize(_size, _size); }

    // One frame of the turn, for places that can show only an image (a button's icon).
    static QPixmap frame(int index, int size, const QColor& color, qreal devicePixelRatio);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int _size;
    int _index = 0;
    QTimer _timer;
};

} // namespace Quillaby
