#include "TerminalDebugView.h"

#include "Buffer.h"
#include "BufferLine.h"
#include "TerminalView.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>

#include <cstdio>

namespace Tessaline {

namespace {

QFont debugFont() {
    const QStringList families = QFontDatabase::families();
    for (const char* name : {"Lucida Sans Typewriter", "Courier"}) {
        if (families.contains(QString::fromLatin1(name))) {
            QFont font(QString::fromLatin1(name));
            font.setPointSizeF(8);
            return font;
        }
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(8);
    return font;
}

std::string format3(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%03d", value);
    return text;
}

} // namespace

TerminalDebugView::TerminalDebugView(const QRect& frame, TerminalView* terminal, QWidget* parent)
    : QWidget(parent)
    , _terminalView(terminal)
    , _font(debugFont()) {
    setGeometry(frame);
    _dbg = new QLabel(QStringLiteral("WAITING"), this);
    _dbg->setGeometry(0, 8, frame.width(), 14);
    _dbg->setFont(_font);
    if (terminal) terminal->setDebugView(this);
    _height = QFontMetricsF(_font).boundingRect(QStringLiteral("W")).height();
}

QString TerminalDebugView::statusLine() const {
    return _dbg->text();
}

void TerminalDebugView::update() {
    QWidget::update();
    if (!_terminalView) return;
    const Buffer& buffer = _terminalView->terminal().buffer();
    const auto& lines = buffer.lines();
    const std::string status = "x: " + std::to_string(buffer.x()) + " y: " + std::to_string(buffer.y()) +
                               " yDisp: " + std::to_string(buffer.yDisp()) +
                               " yBase: " + std::to_string(buffer.yBase()) +
                               " clc: " + std::to_string(lines.getArray().size()) +
                               " startIndex: " + std::to_string(lines.getStartIndex());
    _dbg->setText(QString::fromStdString(status));
}

std::string TerminalDebugView::getDebugString(const Terminal& terminal, const BufferLine* line, int cols,
                                              const std::string& prefix) {
    std::string out = prefix;
    if (!line) return out + "<empty>";
    const int count = line->count();
    for (int col = 0; col < cols; ++col) {
        if (count == 0) {
            out += ' ';
            continue;
        }
        const CharData& cell = (*line)[std::min(col, count - 1)];
        if (cell.code == 0)
            out += ' ';
        else
            out += terminal.getCharacter(cell);
    }
    return out;
}

std::optional<std::pair<std::string, std::string>> TerminalDebugView::slotTexts(int i) const {
    if (!_terminalView) return std::nullopt;
    Terminal& terminal = _terminalView->terminal();
    const Buffer& buffer = terminal.buffer();
    const auto& lines = buffer.lines();
    const auto& storage = lines.getArray();
    const std::string marks =
        std::string(i == buffer.yDisp() ? "D" : " ") + (i == buffer.yBase() ? "B" : " ");
    const int slotCount = int(storage.size());
    const int mapped = slotCount == 0 ? 0 : (i + lines.getStartIndex()) % slotCount;
    const BufferLine* stored = i < slotCount ? storage[size_t(i)].get() : nullptr;
    const BufferLine* presented = lines.peek(i).get();
    return std::pair{getDebugString(terminal, stored, terminal.cols(),
                                    "[" + format3(i) + ":" + format3(mapped) + "]" + marks),
                     getDebugString(terminal, presented, terminal.cols(), "[" + format3(i) + "]" + marks)};
}

void TerminalDebugView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    painter.setFont(_font);
    if (!_terminalView) return;
    const int maxLength = _terminalView->terminal().buffer().lines().maxLength();
    const QFontMetricsF metrics(_font);
    const double h = std::max(1.0, _height);
    // Row i sits h x (i + 2) below the top; rows past the bottom edge are not drawn.
    for (int i = 0; i < maxLength; ++i) {
        const double baseline = h * (i + 2);
        if (baseline - h > height()) break;
        const auto texts = slotTexts(i);
        if (!texts) break;
        const QString first = QString::fromStdString(texts->first);
        painter.drawText(QPointF(0, baseline), first);
        painter.drawText(QPointF(metrics.horizontalAdvance(first), baseline),
                         QString::fromStdString(texts->second));
    }
}

} // namespace Tessaline
