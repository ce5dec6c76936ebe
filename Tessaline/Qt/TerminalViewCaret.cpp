// The caret: where it stands, what it shows, its colours, the terminal's cursor callbacks, and the focus
// that decides between its solid and its hollow look.
#include "TerminalView.h"

#include "CaretView.h"
#include "ColorConversion.h"

#include <QEvent>
#include <QFocusEvent>

#include <algorithm>
#include <cmath>

namespace Tessaline {

void TerminalView::resetCaret() {
    if (!_caretView) return;
    _caretView->resize(_caretView->caretSize());
    _caretView->updateView();
}

void TerminalView::updateCursorPosition() {
    if (!_caretView) return;
    Buffer& shown = _terminal->displayBuffer();
    const int cursorRow = shown.y() + shown.yBase();
    // Scrolled back so far that the cursor's row is below the rows on display.
    if (cursorRow >= shown.yDisp() + shown.rows()) {
        _caretView->hide();
        return;
    }
    // In GPU mode the renderer draws the caret; the caret view only keeps its colours and place.
    _caretView->setVisible(!_terminal->cursorHidden && !_gpuView);

    const QSizeF cell = cellDimension();
    const int screenRow = shown.y() - (shown.yDisp() - shown.yBase());
    const BufferLine& line = *shown.lines()[cursorRow];
    const int factor = line.renderMode == BufferLine::RenderLineMode::single ? 1 : 2;
    // A cursor waiting to wrap stands on the last column, not beside the grid.
    const int column = std::clamp(shown.x(), 0, std::max(shown.cols() - 1, 0));
    // Whole pixels of a widget: the edges of the cell rounded, so that the caret covers the cell drawn.
    const double x = factor * cell.width() * column;
    const double y = cell.height() * screenRow;
    const QPoint topLeft(int(std::lround(x)), int(std::lround(y)));
    _caretView->setGeometry(QRect(
        topLeft, QPoint(int(std::lround(x + cell.width())) - 1, int(std::lround(y + cell.height())) - 1)));

    // The character under the cursor; past the end of the line its last cell, and on a line without
    // cells a blank.
    static const CharData blank;
    const int count = line.count();
    _caretView->setText(count == 0 ? blank : line[std::min(shown.x(), count - 1)]);
}

// MARK: Colours

QColor TerminalView::caretColor() const {
    return _caretView->caretColor();
}

void TerminalView::setCaretColor(const QColor& color) {
    _caretView->setCaretColor(color);
}

std::optional<QColor> TerminalView::caretTextColor() const {
    return _caretView->caretTextColor();
}

void TerminalView::setCaretTextColor(const std::optional<QColor>& color) {
    _caretView->setCaretTextColor(color);
}

bool TerminalView::caretViewTracksFocus() const {
    return _caretView->tracksFocus();
}

void TerminalView::setCaretViewTracksFocus(bool value) {
    _caretView->setTracksFocus(value);
}

QRect TerminalView::caretFrame() const {
    return _caretView ? _caretView->geometry() : QRect();
}

void TerminalView::setCursorColor(Terminal&, const std::optional<Color>& color,
                                  const std::optional<Color>& textColor) {
    if (!_caretView) return;
    _caretView->setCaretColor(color ? qColor(*color) : _caretView->defaultCaretColor());
    _caretView->setCaretTextColor(textColor ? std::optional<QColor>(qColor(*textColor))
                                            : _caretView->defaultCaretTextColor());
    _caretView->update();
    queueGpuDisplay();
}

// MARK: The terminal's cursor

void TerminalView::showCursor(Terminal&) {
    if (_gpuView) {
        queueGpuDisplay();
        return;
    }
    updateCursorPosition();
}

void TerminalView::hideCursor(Terminal&) {
    if (_gpuView) {
        queueGpuDisplay();
        return;
    }
    if (_caretView) _caretView->hide();
}

void TerminalView::cursorStyleChanged(Terminal&, CursorStyle newStyle) {
    if (!_caretView) return;
    _caretView->setStyle(newStyle);
    _caretView->resize(_caretView->caretSize());
    _caretView->updateView();
    queueGpuDisplay();
}

// MARK: Focus

bool TerminalView::terminalHasFocus() const {
    // Focus counts only while the window is the active one, as for typing.
    const QWidget* top = window();
    return _hasFocus && (!top->isVisible() || top->isActiveWindow());
}

void TerminalView::setTerminalHasFocus(bool value) {
    _hasFocus = value;
    if (!_caretView) return;
    _caretView->setFocused(value);
    _caretView->update();
}

void TerminalView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    // A window coming back to the front (or a popup closing) hands its focus widget the focus again: the
    // view kept it all along, which is no focus change for the program.
    const bool hadFocus = _hasFocus;
    setTerminalHasFocus(true);
    if (_caretView) _caretView->updateView();
    if (!hadFocus) _terminal->setTerminalFocus(true);
    updateInputMethodCursor();
}

void TerminalView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (_caretView) {
        _caretView->disableAnimations();
        _caretView->update();
    }
    // The window going to the back keeps the focus inside it: the caret turns hollow through
    // terminalHasFocus.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
    setTerminalHasFocus(false);
    _terminal->setTerminalFocus(false);
}

void TerminalView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !_caretView) return;
    if (isActiveWindow())
        _caretView->updateView();
    else
        _caretView->disableAnimations();
    _caretView->update();
}

} // namespace Tessaline
