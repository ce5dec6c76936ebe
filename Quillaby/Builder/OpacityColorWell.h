#pragma once

#include <QColor>
#include <QToolButton>

namespace Quillaby {

// A swatch of a colour; clicking it opens the colour dialog, opacity included. Setting the colour from
// code does not announce it; a pick does.
class OpacityColorWell : public QToolButton {
    Q_OBJECT

public:
    explicit OpacityColorWell(QWidget* parent = nullptr);

    QColor color() const { return _color; }
    void setColor(const QColor& color);
    // What the dialog does when the user confirms: shows the colour and announces it.
    void pick(const QColor& color);

signals:
    void colorPicked(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor _color = Qt::black;
};

} // namespace Quillaby
