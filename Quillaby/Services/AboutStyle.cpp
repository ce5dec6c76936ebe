#include "Services/AboutStyle.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace Quillaby {

namespace {

qreal bodyPixelSize() {
    QFont font = QApplication::font();
    if (font.pixelSize() > 0) return font.pixelSize();
    // Points to logical pixels at the 96 dpi that Qt's logical coordinates assume.
    return std::max<qreal>(11, std::round(font.pointSizeF() * 96 / 72));
}

} // namespace

QFont AboutStyle::font(Text style) {
    QFont font = QApplication::font();
    const qreal body = bodyPixelSize();
    switch (style) {
    case Text::Headline:
        font.setPixelSize(int(body));
        font.setWeight(QFont::DemiBold);
        break;
    case Text::Body:
        font.setPixelSize(int(body));
        break;
    case Text::Callout:
        font.setPixelSize(int(body - 1));
        break;
    case Text::Caption:
        font.setPixelSize(int(std::max<qreal>(10, body - 3)));
        break;
    }
    return font;
}

QFont AboutStyle::displayFont(qreal pixelSize, QFont::Weight weight) {
    QFont font = QApplication::font();
    font.setPixelSize(int(std::round(pixelSize)));
    font.setWeight(weight);
    return font;
}

QColor AboutStyle::secondary(const QPalette& palette) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.55);
    return color;
}

QColor AboutStyle::contrastingText(const QColor& background) {
    // Relative luminance of sRGB, without the gamma step: close enough to pick black or white.
    const qreal luminance =
        0.2126 * background.redF() + 0.7152 * background.greenF() + 0.0722 * background.blueF();
    return luminance > 0.55 ? QColor(Qt::black) : QColor(Qt::white);
}

QLabel* AboutStyle::label(const QString& text, Text style, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font(style));
    label->setTextFormat(Qt::PlainText);
    return label;
}

void AboutStyle::setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

QString AboutStyle::css(const QColor& color) {
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha());
}

void AboutStyle::makeProminent(QPushButton* button, const QColor& accent) {
    QColor pressed = accent.darker(125);
    QColor disabled = accent;
    disabled.setAlphaF(0.35);
    QColor text = contrastingText(accent);
    QColor disabledText = text;
    disabledText.setAlphaF(0.55);
    button->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: %2; border: none; border-radius: 6px;"
                       " padding: 5px 14px; }"
                       "QPushButton:pressed { background: %3; }"
                       "QPushButton:disabled { background: %4; color: %5; }")
            .arg(css(accent), css(text), css(pressed), css(disabled), css(disabledText)));
}

QPushButton* AboutStyle::linkButton(const QString& text, Text style, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setFont(font(style));
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0px; color: %1; }"
                                         "QPushButton:hover { text-decoration: underline; }")
                              .arg(css(button->palette().color(QPalette::Link))));
    return button;
}

} // namespace Quillaby
