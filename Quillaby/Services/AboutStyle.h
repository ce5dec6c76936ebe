#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace Quillaby {

// The look shared by the About window and the About tab: text styles sized from the desktop's own
// font, the dimmed secondary colour, accent-tinted buttons and link-style buttons.
class AboutStyle {
public:
    enum class Text {
        Headline,
        Body,
        Callout,
        Caption
    };

    // Body is the application font; callout one pixel smaller, caption three (never under 10);
    // headline is body in semibold.
    static QFont font(Text style);
    // A system font of a given size in logical pixels, for the product name.
    static QFont displayFont(qreal pixelSize, QFont::Weight weight);

    // The label colour at half strength.
    static QColor secondary(const QPalette& palette);
    // Black or white, whichever reads better on the colour.
    static QColor contrastingText(const QColor& background);

    static QLabel* label(const QString& text, Text style, QWidget* parent = nullptr);
    static void setTextColor(QWidget* widget, const QColor& color);

    // A filled button in the accent colour (dimmed while disabled).
    static void makeProminent(QPushButton* button, const QColor& accent);
    // A flat button drawn as a link in the palette's link colour, with a pointing hand.
    static QPushButton* linkButton(const QString& text, Text style, QWidget* parent = nullptr);

    // "rgba(r, g, b, a)" for style sheets.
    static QString css(const QColor& color);
};

} // namespace Quillaby
