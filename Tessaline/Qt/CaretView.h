#pragma once

#include "CursorStyle.h"

#include <QColor>
#include <QGlyphRun>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class QSequentialAnimationGroup;

namespace Tessaline {

class CharData;
class TerminalView;

// The cursor on the painted path: a child widget one cell in size that the view moves over the cursor's
// cell. It draws the style's shape in the caret colour, the character under a block again in the caret
// text colour, a hollow frame while the view has no focus, and blinks by animating its own opacity, so
// that a blink repaints no more than the cell beneath it. Clicks go through it to the view.
class CaretView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double opacity READ opacity WRITE setOpacity)
public:
    // One fade of the blink: out over this long, then in over as long again.
    static constexpr int blinkFadeMs = 700;

    CaretView(const QRect& frame, CursorStyle cursorStyle, TerminalView* terminal);
    ~CaretView() override;

    TerminalView* terminal() const { return _terminal; }
    // Drawn focused or not after the view's focus; when off, always focused.
    bool tracksFocus() const { return _tracksFocus; }
    void setTracksFocus(bool value) { _tracksFocus = value; }

    CursorStyle style() const { return _style; }
    // A new style takes its blink state and redraws.
    void setStyle(CursorStyle style);
    static bool blinks(CursorStyle style);

    // Lays out the character of a cell for a block caret to draw.
    void setText(const CharData& ch);
    // The character laid out, as text; nothing before the first setText.
    const std::optional<QString>& text() const { return _text; }

    void updateCursorStyle();
    // Stops any blink at full opacity, then starts one when asked to.
    void updateAnimation(bool blink);
    void disableAnimations();
    bool isBlinking() const;
    // The blink state of the style, then a redraw.
    void updateView();

    QColor defaultCaretColor() const { return _defaultCaretColor; }
    void setDefaultCaretColor(const QColor& color) { _defaultCaretColor = color; }
    QColor caretColor() const { return _caretColor; }
    void setCaretColor(const QColor& color);
    std::optional<QColor> defaultCaretTextColor() const { return _defaultCaretTextColor; }
    void setDefaultCaretTextColor(const std::optional<QColor>& color) { _defaultCaretTextColor = color; }
    // Nothing: the view's native foreground.
    std::optional<QColor> caretTextColor() const { return _caretTextColor; }
    void setCaretTextColor(const std::optional<QColor>& color);
    bool focused() const { return _focused; }
    void setFocused(bool value) { _focused = value; }

    double opacity() const { return _opacity; }
    void setOpacity(double value);

    // One cell of the view.
    QSize caretSize() const;

    // Draws the caret as it shows with or without focus.
    void drawCursor(QPainter& painter, bool hasFocus);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<TerminalView> _terminal;
    bool _tracksFocus = true;
    CursorStyle _style;
    QColor _defaultCaretColor;
    QColor _caretColor;
    std::optional<QColor> _defaultCaretTextColor;
    std::optional<QColor> _caretTextColor;
    bool _focused = false;
    double _opacity = 1;
    // The fade is drawn in this many steps, the opacity drawn now being `_drawnStep` of them.
    static constexpr int fadeSteps = 20;
    int _drawnStep = fadeSteps;
    QSequentialAnimationGroup* _blink = nullptr;
    // The laid-out character: its text, face and glyphs.
    std::optional<QString> _text;
    QFont _font;
    QList<QGlyphRun> _glyphs;
};

} // namespace Tessaline
