// The view as its terminal's delegate: what it does with each outward effect of the emulator, and the
// progress bar that shows the program's progress reports.
#include "TerminalView.h"

#include "ColorConversion.h"
#include "TerminalProgressBarView.h"
#include "WindowReports.h"

#include <QMetaObject>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace Tessaline {

void TerminalView::setTerminalTitle(Terminal&, const std::string& title) {
    if (auto* delegate = _terminalDelegate.get()) delegate->setTerminalTitle(*this, title);
}

void TerminalView::setTerminalIconTitle(Terminal&, const std::string&) {}

std::optional<std::vector<uint8_t>> TerminalView::windowCommand(Terminal& source,
                                                                const WindowManipulationCommand& command) {
    using Kind = WindowManipulationCommand::Kind;
    switch (command.kind()) {
    case Kind::reportTextAreaPixelDimension:
        if (!_cellDimension) return std::nullopt;
        return WindowReports::textAreaReport(*_cellDimension, backingScale(), source.cols(), source.rows(),
                                             source.cc);
    case Kind::reportCellSizeInPixels:
        if (!_cellDimension) return std::nullopt;
        return WindowReports::cellSizeReport(*_cellDimension, backingScale(), source.cc);
    case Kind::resizeWindowTo:
        std::printf("Request to resize to %dx%d\n", command.width(), command.height());
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

void TerminalView::sizeChanged(Terminal& source) {
    if (auto* delegate = _terminalDelegate.get()) delegate->sizeChanged(*this, source.cols(), source.rows());
    updateScroller();
}

void TerminalView::send(Terminal&, std::span<const uint8_t> data) {
    // Replies go out as they are: unlike keys, they do not scroll the view back to the cursor.
    if (auto* delegate = _terminalDelegate.get()) delegate->send(*this, data);
}

void TerminalView::scrolled(Terminal&, int) {
    // Output scrolls once per line; the bar follows at the next redraw, the only time it is seen.
    _scrollerStale = true;
    if (auto* delegate = _terminalDelegate.get()) delegate->scrolled(*this, scrollPosition());
}

void TerminalView::linefeed(Terminal&) {
    if (_allowMouseReporting && _selection && _selection->active()) {
        _selection->setActive(false);
        _selection->selectionMode = SelectionService::SelectionMode::character;
    }
}

void TerminalView::bufferActivated(Terminal&) {
    updateScroller();
}

void TerminalView::synchronizedOutputChanged(Terminal&, bool) {
    updateScroller();
    queuePendingDisplay();
}

void TerminalView::bell(Terminal&) {
    if (auto* delegate = _terminalDelegate.get()) delegate->bell(*this);
}

void TerminalView::selectionChanged(Terminal&) {
    if (!_gpuView) {
        update();
        return;
    }
    const Buffer& shown = _terminal->displayBuffer();
    const int count = shown.lines().count();
    const int last = std::min(shown.yDisp() + _terminal->rows() - 1, count - 1);
    if (count > 0 && last >= shown.yDisp()) addGpuDirtyRange(std::pair{shown.yDisp(), last});
    queueGpuDisplay();
}

bool TerminalView::isProcessTrusted(Terminal&) {
    return true;
}

std::optional<CellPixelSize> TerminalView::cellSizeInPixels(Terminal&) {
    const QSizeF cell = cellDimension();
    const double scale = backingScale();
    return CellPixelSize{int(std::lround(cell.width() * scale)), int(std::lround(cell.height() * scale))};
}

void TerminalView::mouseModeChanged(Terminal& source) {
    // Called once while the terminal is being made, before the view holds it.
    setMouseTracking(source.mouseMode() == Terminal::MouseMode::anyEvent || _commandActive ||
                     _linkHighlightMode == LinkHighlightMode::hover);
}

void TerminalView::hostCurrentDirectoryUpdated(Terminal& source) {
    if (auto* delegate = _terminalDelegate.get())
        delegate->hostCurrentDirectoryUpdate(*this, source.hostCurrentDirectory());
}

void TerminalView::hostCurrentDocumentUpdated(Terminal&) {}

void TerminalView::colorChanged(Terminal&, std::optional<int> idx) {
    if (!idx)
        _colors.fill(std::nullopt);
    else if (*idx >= 0 && *idx < int(_colors.size()))
        _colors[size_t(*idx)].reset();
    colorsChanged();
}

void TerminalView::setForegroundColor(Terminal&, const Color& color) {
    setNativeForegroundColor(qColor(color));
    colorsChanged();
}

void TerminalView::setBackgroundColor(Terminal&, const Color& color) {
    setNativeBackgroundColor(qColor(color));
    colorsChanged();
}

void TerminalView::setCursorColor(Terminal& source, const std::optional<Color>& color) {
    TerminalDelegate::setCursorColor(source, color);
}

TerminalColors TerminalView::getColors(Terminal& source) {
    return TerminalDelegate::getColors(source);
}

void TerminalView::iTermContent(Terminal&, std::span<const uint8_t> content) {
    if (auto* delegate = _terminalDelegate.get()) delegate->iTermContent(*this, content);
}

void TerminalView::clipboardCopy(Terminal&, const std::vector<uint8_t>&) {}

void TerminalView::notify(Terminal&, const std::string&, const std::string&) {}

// MARK: Progress

void TerminalView::progressReport(Terminal&, const ProgressReport& report) {
    if (QThread::currentThread() == thread()) {
        handleProgressReport(report);
        return;
    }
    // Queued with the view as context: dropped when the view has gone meanwhile.
    QMetaObject::invokeMethod(
        this, [this, report] { handleProgressReport(report); }, Qt::QueuedConnection);
}

void TerminalView::setupProgressBar() {
    _progressBarView = new TerminalProgressBarView(this);
    _progressBarView->hide();
    _progressBarView->setGeometry(0, 0, width(), 2);
    _progressBarView->raise();
}

void TerminalView::handleProgressReport(const ProgressReport& report) {
    std::optional<uint8_t> value;
    switch (report.state) {
    case ProgressReportState::remove:
        clearProgressReport();
        return;
    case ProgressReportState::set:
        value = report.progress.value_or(0);
        _lastProgressValue = value;
        break;
    case ProgressReportState::error:
        value = report.progress ? report.progress : _lastProgressValue;
        if (value) _lastProgressValue = value;
        break;
    case ProgressReportState::indeterminate:
        break;
    case ProgressReportState::pause:
        value = report.progress ? report.progress : _lastProgressValue ? _lastProgressValue : uint8_t(100);
        _lastProgressValue = value;
        break;
    }
    _progressBarView->apply(report.state, value);
    resetProgressReportTimer();
}

void TerminalView::resetProgressReportTimer() {
    if (_progressReportTimer != 0) _executor.cancel(_progressReportTimer);
    QPointer<TerminalView> self(this);
    _progressReportTimer = _executor.postAfter(progressReportTimeout, [self] {
        if (!self) return;
        self->_progressReportTimer = 0;
        self->clearProgressReport();
    });
}

void TerminalView::clearProgressReport() {
    if (_progressReportTimer != 0) _executor.cancel(_progressReportTimer);
    _progressReportTimer = 0;
    _lastProgressValue.reset();
    _progressBarView->apply(ProgressReportState::remove, std::nullopt);
}

} // namespace Tessaline
