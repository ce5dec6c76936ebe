// The pointer: mouse reports for programs that ask for them, selection gestures otherwise, the wheel, and
// links (highlight on hover, a URL preview with the link modifier, open on click).
#include "TerminalView.h"

#include "BufferLine.h"

#include <QApplication>
#include <QCursor>
#include <QFontDatabase>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QStyleHints>
#include <QWheelEvent>

#include <algorithm>
#include <any>
#include <cmath>
#include <set>

namespace Tessaline {

namespace {

using MouseMode = Terminal::MouseMode;

// The link modifier: Ctrl+Shift, the chord the application's own commands use.
bool holdsLinkModifier(Qt::KeyboardModifiers modifiers) {
    return modifiers.testFlag(Qt::ControlModifier) && modifiers.testFlag(Qt::ShiftModifier);
}

bool reportsReleases(MouseMode mode) {
    return mode == MouseMode::vt200 || mode == MouseMode::buttonEventTracking || mode == MouseMode::anyEvent;
}

bool reportsDrags(MouseMode mode) {
    return mode == MouseMode::buttonEventTracking || mode == MouseMode::anyEvent;
}

std::vector<std::string_view> split(std::string_view text, char separator, bool keepEmpty) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        const size_t at = text.find(separator, start);
        const std::string_view part = text.substr(start, at == std::string_view::npos ? at : at - start);
        if (keepEmpty || !part.empty()) parts.push_back(part);
        if (at == std::string_view::npos) break;
        start = at + 1;
    }
    return parts;
}

} // namespace

// MARK: Hits and reports

TerminalView::MouseHit TerminalView::calculateMouseHit(QPointF point) {
    Terminal& terminal = *_terminal;
    const Buffer& shown = terminal.displayBuffer();
    const QSizeF cell = cellDimension();
    const int column = int(point.x() / cell.width());
    const int64_t col = std::clamp(column, 0, std::max(terminal.cols() - 1, 0));
    // Truncated towards zero, as a pointer just above the view still counts as the top row.
    const int rowFromTop = int(point.y() / cell.height());
    const int lineCount = shown.lines().count();
    const int64_t row = lineCount == 0 ? 0 : std::clamp(shown.yDisp() + rowFromTop, 0, lineCount - 1);
    const int64_t px = int64_t(std::clamp(point.x(), 0.0, double(width())));
    const int64_t py = int64_t(std::clamp(point.y(), 0.0, double(height())));
    return {Position(col, row), Position(px, py)};
}

int TerminalView::encodeMouseEvent(bool release, Qt::KeyboardModifiers modifiers) const {
    int value = release ? 3 : 0;
    const MouseMode mode = _terminal->mouseMode();
    if (mode == MouseMode::vt200 || mode == MouseMode::buttonEventTracking || mode == MouseMode::anyEvent) {
        if (modifiers.testFlag(Qt::ShiftModifier)) value |= 4;
        if (modifiers.testFlag(Qt::AltModifier)) value |= 8;
        if (modifiers.testFlag(Qt::ControlModifier)) value |= 16;
    }
    return value;
}

namespace {

// x and y of a report: the column and the row on screen.
std::pair<int, int> reportCell(Terminal& terminal, const TerminalView::MouseHit& hit) {
    const int y = int(hit.grid.row) - terminal.displayBuffer().yDisp();
    return {int(hit.grid.col), std::clamp(y, 0, std::max(terminal.rows() - 1, 0))};
}

} // namespace

// MARK: Qt events

int TerminalView::countClick(QPointF point) {
    const auto now = std::chrono::steady_clock::now();
    const auto interval =
        std::chrono::milliseconds(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    const double distance = QGuiApplication::styleHints()->mouseDoubleClickDistance();
    const bool follows = _lastClickTime && now - *_lastClickTime <= interval &&
                         std::abs(point.x() - _lastClickPoint.x()) <= distance &&
                         std::abs(point.y() - _lastClickPoint.y()) <= distance;
    _clickCount = follows ? _clickCount + 1 : 1;
    _lastClickTime = now;
    _lastClickPoint = point;
    return _clickCount;
}

void TerminalView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    setFocus(Qt::MouseFocusReason);
    const int clicks = countClick(event->position());
    Terminal& terminal = *_terminal;
    const MouseHit hit = calculateMouseHit(event->position());
    if (_allowMouseReporting && terminal.mouseMode() != MouseMode::off) {
        const auto [x, y] = reportCell(terminal, hit);
        terminal.sendEvent(encodeMouseEvent(false, event->modifiers()), x, y, int(hit.pixels.col),
                           int(hit.pixels.row));
        return;
    }
    SelectionService& selection = *_selection;
    if (clicks == 1) {
        if (selection.active()) {
            if (event->modifiers().testFlag(Qt::ShiftModifier))
                selection.shiftExtend(hit.grid);
            else
                selection.setActive(false);
        }
    } else if (clicks == 2) {
        selection.selectWordOrExpression(hit.grid, terminal.displayBuffer());
    } else {
        selection.select(int(hit.grid.row));
    }
    update();
}

void TerminalView::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt turns the second press into this; the view counts clicks itself.
    mousePressEvent(event);
}

void TerminalView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    const MouseHit hit = calculateMouseHit(event->position());
    const bool command = _commandActive || holdsLinkModifier(event->modifiers());
    updateHoverLink(hit.grid, command);
    if (auto link = linkForClick(hit.grid, holdsLinkModifier(event->modifiers()))) {
        if (auto* delegate = _terminalDelegate.get())
            delegate->requestOpenLink(*this, link->first, link->second);
        return;
    }
    Terminal& terminal = *_terminal;
    if (_allowMouseReporting && reportsReleases(terminal.mouseMode())) {
        const auto [x, y] = reportCell(terminal, hit);
        terminal.sendEvent(encodeMouseEvent(true, event->modifiers()), x, y, int(hit.pixels.col),
                           int(hit.pixels.row));
        return;
    }
    _didSelectionDrag = false;
}

void TerminalView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    Terminal& terminal = *_terminal;
    const MouseHit hit = calculateMouseHit(event->position());
    if (event->buttons().testFlag(Qt::LeftButton)) {
        // A drag.
        if (_allowMouseReporting && terminal.mouseMode() != MouseMode::off) {
            if (reportsDrags(terminal.mouseMode())) {
                const auto [x, y] = reportCell(terminal, hit);
                terminal.sendEvent(encodeMouseEvent(false, event->modifiers()) + 32, x, y,
                                   int(hit.pixels.col), int(hit.pixels.row));
            }
            return;
        }
        SelectionService& selection = *_selection;
        if (selection.active()) {
            selection.dragExtend(hit.grid);
        } else {
            selection.setSoftStart(hit.grid);
            selection.startSelection();
        }
        _didSelectionDrag = true;
        update();
        return;
    }
    if (event->buttons() != Qt::NoButton) return;
    // Plain motion.
    if (_commandActive) {
        if (auto payload = payloadString(hit.grid)) previewUrl(*payload);
    }
    updateHoverLink(hit.grid);
    if (terminal.mouseMode() == MouseMode::anyEvent) {
        const auto [x, y] = reportCell(terminal, hit);
        terminal.sendMotion(encodeMouseEvent(true, event->modifiers()), x, y, int(hit.pixels.col),
                            int(hit.pixels.row));
    }
}

void TerminalView::leaveEvent(QEvent* event) {
    turnOffUrlPreview();
    if (_linkHighlightMode == LinkHighlightMode::hover ||
        _linkHighlightMode == LinkHighlightMode::hoverWithModifier) {
        if (auto old = std::exchange(_linkHighlightRange, std::nullopt)) {
            invalidateLinkHighlight(old, std::nullopt);
            queuePendingDisplay();
        }
    }
    QWidget::leaveEvent(event);
}

void TerminalView::wheelEvent(QWheelEvent* event) {
    event->accept();
    // Notches of 120; finer wheels add up until they make one.
    _wheelRemainder += event->angleDelta().y();
    const int notches = _wheelRemainder / 120;
    if (notches == 0) return;
    _wheelRemainder -= notches * 120;
    scrollWheelLines(double(notches));
}

void TerminalView::scrollWheelLines(double delta) {
    if (delta == 0) return;
    const int n = int(std::abs(delta));
    const int lines = n < 2 ? 1 : n <= 5 ? 3 : n <= 9 ? 10 : std::max(20, _terminal->rows());
    if (delta > 0)
        scrollTo(std::max(0, _terminal->displayBuffer().yDisp() - lines), true);
    else
        scrollDown(lines);
}

// MARK: Links

std::optional<std::string> TerminalView::payloadString(Position at) {
    Terminal& terminal = *_terminal;
    const Buffer& shown = terminal.displayBuffer();
    if (at.row < 0 || at.row >= shown.lines().count()) return std::nullopt;
    const BufferLinePtr& slot = shown.lines().peek(int(at.row));
    if (!slot) return std::nullopt;
    const BufferLine& line = *slot;
    const int limit = std::min(line.count(), terminal.cols());
    // An empty row has no cell to look at.
    if (limit <= 0) return std::nullopt;
    const int col = int(std::clamp<int64_t>(at.col, 0, limit - 1));
    auto stringPayload = [&](const CharData& cell) -> std::optional<std::string> {
        const std::any* value = terminal.payload(cell);
        if (const auto* text = value ? std::any_cast<std::string>(value) : nullptr) return *text;
        return std::nullopt;
    };
    const CharData& cell = line[col];
    if (auto text = stringPayload(cell)) return text;
    if (cell.code == 0 && col != 0) {
        // The right half of a wide character belongs to the link of its left half.
        const int before = at.col >= line.count() ? line.count() - 1 : col - 1;
        const CharData& left = line[before];
        if (left.width() == 2) return stringPayload(left);
    }
    return std::nullopt;
}

std::optional<std::pair<std::string, TerminalView::LinkParams>>
TerminalView::urlAndParamsFrom(std::string_view payload) {
    const std::vector<std::string_view> fields = split(payload, ';', true);
    if (fields.size() < 2) return std::nullopt;
    LinkParams params;
    for (std::string_view piece : split(fields[0], ':', false)) {
        const std::vector<std::string_view> parts = split(piece, '=', false);
        if (parts.size() == 2) params[std::string(parts[0])] = std::string(parts[1]);
    }
    return std::pair{std::string(fields[1]), std::move(params)};
}

std::optional<std::pair<std::string, TerminalView::LinkParams>>
TerminalView::linkForClick(Position at, bool hasCommandModifier) {
    const std::optional<Terminal::LinkMatch> match = _terminal->linkMatch(
        Terminal::LinkLookupLocation::buffer(at), Terminal::LinkLookupMode::explicitAndImplicit);
    if (!match) return std::nullopt;
    const bool highlighted = _linkHighlightRange && *_linkHighlightRange == match->rowRanges;
    bool accepted = false;
    switch (_linkHighlightMode) {
    case LinkHighlightMode::hover:
        accepted = highlighted;
        break;
    case LinkHighlightMode::hoverWithModifier:
        accepted = highlighted && hasCommandModifier;
        break;
    case LinkHighlightMode::always:
        accepted = match->isExplicit;
        break;
    case LinkHighlightMode::alwaysWithModifier:
        accepted = match->isExplicit && hasCommandModifier;
        break;
    }
    if (!accepted) return std::nullopt;
    if (match->isExplicit) {
        if (auto payload = payloadString(at))
            if (auto split = urlAndParamsFrom(*payload)) return split;
    }
    return std::pair{match->text, LinkParams{}};
}

void TerminalView::updateHoverLink(Position at, std::optional<bool> commandOverride) {
    const bool command = commandOverride.value_or(_commandActive);
    if (_linkHighlightMode == LinkHighlightMode::hover ||
        (_linkHighlightMode == LinkHighlightMode::hoverWithModifier && command)) {
        const std::optional<Terminal::LinkMatch> match = _terminal->linkMatch(
            Terminal::LinkLookupLocation::buffer(at), Terminal::LinkLookupMode::explicitAndImplicit);
        if (match && _linkHighlightRange == match->rowRanges) return;
        if (!match && !_linkHighlightRange) return;
        std::optional<LinkRowRanges> old = std::move(_linkHighlightRange);
        _linkHighlightRange = match ? std::optional(match->rowRanges) : std::nullopt;
        invalidateLinkHighlight(old, _linkHighlightRange);
        queuePendingDisplay();
        return;
    }
    if (auto old = std::exchange(_linkHighlightRange, std::nullopt)) {
        invalidateLinkHighlight(old, std::nullopt);
        queuePendingDisplay();
    }
}

void TerminalView::invalidateLinkHighlight(const std::optional<LinkRowRanges>& oldRange,
                                           const std::optional<LinkRowRanges>& newRange) {
    std::set<int> rows;
    for (const auto* ranges : {&oldRange, &newRange})
        if (*ranges)
            for (const auto& piece : **ranges)
                rows.insert(piece.row);
    Terminal& terminal = *_terminal;
    const int yDisp = terminal.displayBuffer().yDisp();
    for (int row : rows) {
        const int screenRow = row - yDisp;
        if (screenRow < 0 || screenRow >= terminal.rows()) continue;
        terminal.updateRange(screenRow);
    }
}

void TerminalView::setLinkHighlightMode(LinkHighlightMode mode) {
    _linkHighlightMode = mode;
    _linkHighlightRange.reset();
    updateLinkHighlightTracking();
    _terminal->updateFullScreen();
    queuePendingDisplay();
}

bool TerminalView::shouldTrackMouse() const {
    return _terminal->mouseMode() == MouseMode::anyEvent || _commandActive ||
           _linkHighlightMode == LinkHighlightMode::hover;
}

void TerminalView::updateLinkHighlightTracking() {
    // Qt delivers plain motion only with tracking on; presses and drags come regardless.
    setMouseTracking(shouldTrackMouse());
}

void TerminalView::commandChanged(bool held, std::optional<QPointF> pointer) {
    if (!held) {
        turnOffUrlPreview();
        return;
    }
    if (_commandActive) return;
    _commandActive = true;
    updateLinkHighlightTracking();
    const QPointF at = pointer.value_or(QPointF(mapFromGlobal(QCursor::pos())));
    if (rect().contains(at.toPoint())) {
        const Position grid = calculateMouseHit(at).grid;
        if (auto payload = payloadString(grid)) previewUrl(*payload);
        updateHoverLink(grid);
    }
    if (_linkHighlightMode == LinkHighlightMode::alwaysWithModifier) {
        _terminal->updateFullScreen();
        queuePendingDisplay();
    }
}

QFont TerminalView::tryUrlFont() {
    const QStringList families = QFontDatabase::families();
    for (const char* name : {"Optima", "Helvetica", "Helvetica Neue"}) {
        if (families.contains(QString::fromLatin1(name))) {
            QFont font(QString::fromLatin1(name));
            font.setPointSizeF(12);
            return font;
        }
    }
    QFont font = QApplication::font();
    font.setPointSizeF(12);
    return font;
}

void TerminalView::previewUrl(const std::string& payload) {
    const auto link = urlAndParamsFrom(payload);
    if (!link) return;
    const QString url = QString::fromStdString(link->first);
    if (!_urlPreview) {
        _urlPreview = new QLabel(this);
        _urlPreview->setFont(tryUrlFont());
        _urlPreview->setAutoFillBackground(true);
        _urlPreview->setAttribute(Qt::WA_TransparentForMouseEvents);
        _urlPreview->setContentsMargins(3, 1, 3, 1);
        // Inverted: the terminal's foreground as the background.
        QPalette palette = _urlPreview->palette();
        palette.setColor(QPalette::Window, nativeForegroundColor());
        palette.setColor(QPalette::WindowText, nativeBackgroundColor());
        _urlPreview->setPalette(palette);
    }
    _urlPreview->setText(url);
    _urlPreview->adjustSize();
    // The bottom-left corner of the view.
    _urlPreview->move(0, height() - _urlPreview->height());
    _urlPreview->show();
}

void TerminalView::turnOffUrlPreview() {
    if (!_commandActive) return;
    _commandActive = false;
    updateLinkHighlightTracking();
    delete std::exchange(_urlPreview, nullptr);
    if (_linkHighlightMode == LinkHighlightMode::hoverWithModifier) {
        if (auto old = std::exchange(_linkHighlightRange, std::nullopt)) {
            invalidateLinkHighlight(old, std::nullopt);
            queuePendingDisplay();
        }
    } else if (_linkHighlightMode == LinkHighlightMode::alwaysWithModifier) {
        _terminal->updateFullScreen();
        queuePendingDisplay();
    }
}

// MARK: Selection

std::string TerminalView::selectionText() {
    Position start = _selection->start();
    Position end = _selection->end();
    if (Position::compare(start, end) == Position::CompareResult::after) std::swap(start, end);
    return _terminal->getDisplayText(start, end);
}

std::optional<std::string> TerminalView::getSelection() {
    if (!_selection->active()) return std::nullopt;
    return selectionText();
}

void TerminalView::selectAll() {
    _selection->selectAll();
}

void TerminalView::selectNone() {
    if (!_selection->active()) return;
    _selection->setActive(false);
    _selection->selectionMode = SelectionService::SelectionMode::character;
}

} // namespace Tessaline
