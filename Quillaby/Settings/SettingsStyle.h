#pragma once

#include "Services/AboutStyle.h"

#include <QColor>
#include <QFont>
#include <QString>

class QFrame;
class QLabel;
class QPushButton;
class QWidget;

namespace Quillaby {

// The look shared by the Settings window's tabs, on top of the About views' text styles.
class SettingsStyle {
public:
    using Text = AboutStyle::Text;

    // The label colour at half strength, and fainter still.
    static QColor secondary(const QPalette& palette);
    static QColor tertiary(const QPalette& palette);
    // The label colour at 12 %: hairline borders round swatches and samples.
    static QColor hairline(const QPalette& palette);
    // A system-font size in logical pixels.
    static QFont systemFont(qreal pixelSize, QFont::Weight weight = QFont::Normal);
    // The fixed-pitch system font in a text style.
    static QFont monospaced(Text style);
    static QFont monospaced(qreal pixelSize, QFont::Weight weight = QFont::Normal);

    static QLabel* label(const QString& text, Text style, QWidget* parent);
    static QLabel* secondaryLabel(const QString& text, Text style, QWidget* parent);
    // A form row's label: fixed width, text at the right edge, secondary colour.
    static QLabel* rowLabel(const QString& text, int width, QWidget* parent);
    // A compact push button in the caption font.
    static QPushButton* smallButton(const QString& text, QWidget* parent);
    static QFrame* divider(QWidget* parent);
};

} // namespace Quillaby
