#pragma once

#include <QFont>
#include <QPointer>
#include <QWidget>

#include <optional>
#include <string>

class QLabel;

namespace Tessaline {

class BufferLine;
class Terminal;
class TerminalView;

// A developer's window on a terminal view's buffer: the cursor and scroll state in one status line, and
// every slot of the buffer's line ring both as stored and as the ring presents it ("D" marks the first row
// on display, "B" the first row of the live screen). It registers itself with the view, which refreshes
// it after every redraw; the two hold each other weakly.
class TerminalDebugView : public QWidget {
    Q_OBJECT
public:
    TerminalDebugView(const QRect& frame, TerminalView* terminal, QWidget* parent = nullptr);

    // Refreshes the status line and repaints the listing.
    void update();
    using QWidget::update;
    QString statusLine() const;
    // One slot: the prefix, then the line's cells (blanks for empty cells), or "<empty>" for no line.
    static std::string getDebugString(const Terminal& terminal, const BufferLine* line, int cols,
                                      const std::string& prefix);
    // The two texts of ring slot i, as the listing draws them; nothing once the terminal view is gone.
    std::optional<std::pair<std::string, std::string>> slotTexts(int i) const;
    double rowHeight() const { return _height; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<TerminalView> _terminalView;
    QFont _font;
    double _height = 0;
    QLabel* _dbg = nullptr;
};

} // namespace Tessaline
