#pragma once

#include <QColor>
#include <QPushButton>

namespace Quillaby {

// A button showing a colour; a click opens the colour chooser (AppHooks::runColorDialog) on it and
// reports the colour chosen. Setting the colour from code reports nothing.
class ColorWell : public QPushButton {
    Q_OBJECT

public:
    explicit ColorWell(QWidget* parent = nullptr);

    QColor color() const { return _color; }
    void setColor(const QColor& color);

    QSize sizeHint() const override { return QSize(44, 24); }

signals:
    void colorChosen(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void choose();

    QColor _color = Qt::green;
};

} // namespace Quillaby
