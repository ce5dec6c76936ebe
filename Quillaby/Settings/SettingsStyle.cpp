#include "Settings/SettingsStyle.h"

#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include <cmath>

namespace Quillaby {

QColor SettingsStyle::secondary(const QPalette& palette) {
    return AboutStyle::secondary(palette);
}

QColor SettingsStyle::tertiary(const QPalette& palette) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.3f);
    return color;
}

QColor SettingsStyle::hairline(const QPalette& palette) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.12f);
    return color;
}

QFont SettingsStyle::systemFont(qreal pixelSize, QFont::Weight weight) {
    return AboutStyle::displayFont(pixelSize, weight);
}

QFont SettingsStyle::monospaced(Text style) {
    return monospaced(AboutStyle::font(style).pixelSize(), AboutStyle::font(style).weight());
}

QFont SettingsStyle::monospaced(qreal pixelSize, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(std::max(1, int(std::round(pixelSize))));
    font.setWeight(weight);
    return font;
}

QLabel* SettingsStyle::label(const QString& text, Text style, QWidget* parent) {
    return AboutStyle::label(text, style, parent);
}

QLabel* SettingsStyle::secondaryLabel(const QString& text, Text style, QWidget* parent) {
    QLabel* result = AboutStyle::label(text, style, parent);
    AboutStyle::setTextColor(result, secondary(result->palette()));
    return result;
}

QLabel* SettingsStyle::rowLabel(const QString& text, int width, QWidget* parent) {
    QLabel* result = secondaryLabel(text, Text::Body, parent);
    result->setFixedWidth(width);
    result->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return result;
}

QPushButton* SettingsStyle::smallButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setFont(AboutStyle::font(Text::Caption));
    button->setAutoDefault(false);
    return button;
}

QFrame* SettingsStyle::divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace Quillaby
