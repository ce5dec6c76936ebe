// The data path of the view: bytes in, coalesced redraws of the changed rows, scrolling over the
// scroll-back with the scroll bar, bytes out to the delegate, and the paint pass.
#include "TerminalView.h"

#include "RowPainter.h"
#include "ScrollMetrics.h"
#include "TerminalProgressBarView.h"

#include <QAbstractSlider>
#include <QAccessible>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace Tessaline {

namespace {

// The scroll bar, painted flat: a track and a knob in solid colours where the desktop's style lays them
// out. The styles' own bars fill gradients over their whole height, which under a flood of output (the
// bar changes with every switch of screens) cost more than the rows themselves.
class FlatScrollBar final : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void paintEvent(QPaintEvent*) override {
        // Drawn in the terminal's own colours: the bar is part of the terminal's screen (a device's glass
        // among others), where the desktop's light window colour shows as a bright strip.
        const auto* view = qobject_cast<const TerminalView*>(parentWidget());
        const QColor background = view ? view->nativeBackgroundColor() : palette().color(QPalette::Window);
        QColor mark = view ? view->nativeForegroundColor() : palette().color(QPalette::WindowText);
        mark.setAlphaF(isEnabled() ? 0.45f : 0.2f);
        QPainter painter(this);
        painter.fillRect(rect(), background);
        QStyleOptionSlider option;
        initStyleOption(&option);
        for (auto [control, up] :
             {std::pair{QStyle::SC_ScrollBarSubLine, true}, {QStyle::SC_ScrollBarAddLine, false}}) {
            const QRectF box = style()->subControlRect(QStyle::CC_ScrollBar, &option, control, this);
            if (box.isEmpty()) continue;
            const QPointF c = box.center();
            const double r = std::min(box.width(), box.height()) / 5;
            const QPointF tip(c.x(), up ? c.y() - r : c.y() + r);
            const QPointF left(c.x() - r, up ? c.y() + r / 2 : c.y() - r / 2);
            const QPointF right(c.x() + r, up ? c.y() + r / 2 : c.y() - r / 2);
            QPainterPath arrow(tip);
            arrow.lineTo(left);
            arrow.lineTo(right);
            arrow.closeSubpath();
            painter.fillPath(arrow, mark);
        }
        if (!isEnabled() || maximum() <= minimum()) return;
        const QRect knob =
            style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
        painter.fillRect(knob.adjusted(3, 1, -3, -1), mark);
    }
};

} // namespace

// MARK: Feeding and redraw

void TerminalView::feed(std::span<const uint8_t> byteArray) {
    _search->invalidate();
    if (_allowMouseReporting) _selection->setActive(false);
    _terminal->parser().parse(byteArray);
    queuePendingDisplay();
}

void TerminalView::feed(std::string_view text) {
    feed(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void TerminalView::queuePendingDisplay() {
    if (_pendingDisplay) return;
    _pendingDisplay = true;
    // The executor may outlive the view: the job finds it gone and does nothing.
    // A typed key's echo on an idle screen shows at once; under a flood the redraws still come once a frame.
    std::chrono::nanoseconds delay{0};
    if (_lastDisplay) delay = std::max(delay, *_lastDisplay + redrawDelay - _executor.now());
    QPointer<TerminalView> self(this);
    _pendingDisplayTask = _executor.postAfter(delay, [self] {
        if (!self) return;
        self->_pendingDisplayTask = 0;
        self->updateDisplay(true);
        self->_pendingDisplay = false;
    });
}

void TerminalView::updateDisplay(bool notifyAccessibility) {
    // A redraw now covers what a scheduled one would have shown.
    if (_pendingDisplayTask != 0) {
        _executor.cancel(_pendingDisplayTask);
        _pendingDisplayTask = 0;
    }
    _lastDisplay = _executor.now();
    updateCursorPosition();
    updateInputMethodCursor();
    if (_scrollerStale) updateScroller();
    Terminal& terminal = *_terminal;
    const int s = terminal.refreshStart;
    const int e = terminal.refreshEnd;
    if (e == -1 && s == INT_MAX) {
        if (_notifyUpdateChanges) {
            if (auto* delegate = _terminalDelegate.get()) {
                Buffer& shown = terminal.displayBuffer();
                const int y = shown.yDisp() + shown.y();
                delegate->rangeChanged(*this, y, y);
            }
        }
        // No row changed, but the cursor may have moved: the GPU frame draws it.
        if (_gpuView) gpuNeedsDisplay();
        _pendingDisplay = false;
        if (_debug) _debug->update();
        return;
    }
    if (_notifyUpdateChanges) {
        if (auto* delegate = _terminalDelegate.get()) delegate->rangeChanged(*this, s, e);
    }
    terminal.refreshStart = INT_MAX;
    terminal.scrollInvariantRefreshStart = INT_MAX;
    terminal.refreshEnd = -1;
    terminal.scrollInvariantRefreshEnd = -1;

    if (_gpuView) {
        Buffer& shown = terminal.displayBuffer();
        addGpuDirtyRange(gpuDirtyRange(s, e, terminal.rows(), shown.yDisp(), shown.lines().count()));
        gpuNeedsDisplay();
    } else {
        // The scroll bar lies over the right edge and is not part of the rows.
        QRect rows = dirtyRowsRect(s, e, terminal.rows(), size(), cellDimension().height()).toAlignedRect();
        if (_scroller && _scroller->isVisible()) rows.setRight(std::min(rows.right(), _scroller->x() - 1));
        update(rows);
    }
    if (notifyAccessibility && QAccessible::isActive()) {
        QAccessibleValueChangeEvent changed(this, QVariant());
        QAccessible::updateAccessibility(&changed);
        QAccessibleTextSelectionEvent selected(this, 0, 0);
        QAccessible::updateAccessibility(&selected);
    }
    _pendingDisplay = false;
    if (_debug) _debug->update();
}

QRectF TerminalView::dirtyRowsRect(int s, int e, int rows, QSizeF viewSize, double cellHeight) {
    // Worked out bottom-up as the rows lie on the grid (row r's band starts h x (r + 1) below the top),
    // then turned into the widget's top-down coordinates.
    const double H = viewSize.height();
    const double h = cellHeight;
    double y = H - h * (double(e) + 1);
    double height = h * (double(e) - s + 1);
    if (e == rows - 1) {
        height += y;
        y = 0;
    }
    return QRectF(0, H - y - height, viewSize.width(), height);
}

std::optional<std::pair<int, int>> TerminalView::gpuDirtyRange(int s, int e, int rows, int yDisp,
                                                               int lineCount) {
    if (lineCount <= 0) return std::nullopt;
    const int last = lineCount - 1;
    if (s >= 0 && s <= e && e < rows) {
        const int lower = std::max(0, std::min(last, s + yDisp));
        const int upper = std::max(0, std::min(last, e + yDisp));
        if (lower <= upper) return std::pair{lower, upper};
    }
    const int upper = std::min(yDisp + rows - 1, last);
    if (yDisp > upper) return std::nullopt;
    return std::pair{yDisp, upper};
}

// MARK: GPU redraws

void TerminalView::addGpuDirtyRange(std::optional<std::pair<int, int>> range) {
    // Two redraws before one frame must both reach it: the second range alone would leave the first
    // one's lines stale on screen.
    if (!range) return;
    if (_gpuDirtyRange)
        range = std::pair{std::min(range->first, _gpuDirtyRange->first),
                          std::max(range->second, _gpuDirtyRange->second)};
    _gpuDirtyRange = range;
}

void TerminalView::queueGpuDisplay() {
    if (!_gpuView || _pendingGpuDisplay) return;
    _pendingGpuDisplay = true;
    QPointer<TerminalView> self(this);
    _pendingGpuDisplayTask = _executor.postAfter(redrawDelay, [self] {
        if (!self) return;
        self->_pendingGpuDisplayTask = 0;
        self->_pendingGpuDisplay = false;
        if (QWidget* gpuView = self->_gpuView) {
            // A throttled resize left the widget at its earlier size.
            if (gpuView->geometry() != self->rect()) gpuView->setGeometry(self->rect());
            self->gpuNeedsDisplay();
        }
    });
}

void TerminalView::gpuViewResized() {
    const Executor::Clock::time_point now = _executor.now();
    _inLiveResize = _lastResize && now - *_lastResize < liveResizeInterval;
    _lastResize = now;
    if (_inLiveResize && gpuLiveResizeThrottleEnabled()) {
        // The widget follows when the redraw runs: at most one new framebuffer and frame per 16.67 ms
        // while the edge is dragged. The view paints its background in the strip it leaves meanwhile.
        queueGpuDisplay();
        update();
        return;
    }
    _gpuView->setGeometry(rect());
    gpuNeedsDisplay();
}

void TerminalView::gpuNeedsDisplay() {
    if (_gpuNeedsDisplay)
        _gpuNeedsDisplay();
    else if (_gpuView)
        _gpuView->update();
}

bool TerminalView::parseLiveResizeThrottle(const char* value) {
    if (!value) return true;
    const std::string_view text(value);
    return text != "0" && text != "false" && text != "FALSE";
}

bool TerminalView::gpuLiveResizeThrottleEnabled() {
    static const bool enabled = parseLiveResizeThrottle(std::getenv("TESSALINE_METAL_LIVE_RESIZE_THROTTLE"));
    return enabled;
}

// MARK: Scrolling

ScrollMetrics TerminalView::scrollMetrics() const {
    Buffer& shown = _terminal->displayBuffer();
    return {shown.rows(), shown.lines().count(), shown.yDisp(), shown.hasScrollback(),
            _terminal->isDisplayBufferAlternate()};
}

double TerminalView::scrollPosition() const {
    return scrollMetrics().position();
}

double TerminalView::scrollThumbsize() const {
    return scrollMetrics().thumbsize();
}

bool TerminalView::canScroll() const {
    return scrollMetrics().canScroll();
}

void TerminalView::scrollTo(int row, bool notifyAccessibility) {
    Terminal& terminal = *_terminal;
    // A public entry: a row outside the scroll-back would show lines that do not exist.
    row = scrollMetrics().clampTop(row);
    if (row == terminal.displayBuffer().yDisp()) return;
    terminal.buffer().setYDisp(row);
    if (terminal.synchronizedOutputBuffer) terminal.synchronizedOutputBuffer->setYDisp(row);
    terminal.updateRange(0, false);
    terminal.updateRange(terminal.rows() - 1, false);
    updateDisplay(notifyAccessibility);
    if (auto* delegate = _terminalDelegate.get()) delegate->scrolled(*this, scrollPosition());
    updateScroller();
    update();
}

void TerminalView::scrollToPosition(double position) {
    const ScrollMetrics metrics = scrollMetrics();
    const int target = metrics.topForPosition(position);
    if (target != metrics.yDisp) scrollTo(target, true);
}

void TerminalView::scrollUp(int lines) {
    const ScrollMetrics metrics = scrollMetrics();
    scrollTo(std::max(0, metrics.yDisp - lines), true);
}

void TerminalView::scrollDown(int lines) {
    const ScrollMetrics metrics = scrollMetrics();
    scrollTo(std::max(0, std::min(metrics.maxTop(), metrics.yDisp + lines)), true);
}

void TerminalView::pageUp() {
    if (_terminal->isDisplayBufferAlternate()) {
        send(std::span<const uint8_t>(EscapeSequences::cmdPageUp));
        return;
    }
    scrollUp(scrollMetrics().rows);
}

void TerminalView::pageDown() {
    if (_terminal->isDisplayBufferAlternate()) {
        send(std::span<const uint8_t>(EscapeSequences::cmdPageDown));
        return;
    }
    scrollDown(scrollMetrics().rows);
}

void TerminalView::ensureCaretIsVisible() {
    Buffer& shown = _terminal->displayBuffer();
    const int cursorRow = shown.y() + shown.yBase();
    if (cursorRow < shown.yDisp() || cursorRow >= shown.yDisp() + shown.rows()) scrollTo(shown.yBase(), true);
}

void TerminalView::setupScroller() {
    if (!_scroller) {
        _scroller = new FlatScrollBar(Qt::Vertical, this);
        _scroller->setCursor(Qt::ArrowCursor);
        _scroller->setFocusPolicy(Qt::NoFocus);
        connect(_scroller, &QAbstractSlider::actionTriggered, this, &TerminalView::scrollerActivated);
    }
    _scroller->setRange(0, 0);
    _scroller->setPageStep(1);
    _scroller->setEnabled(false);
    if (_progressBarView) _progressBarView->raise();
}

void TerminalView::scrollerActivated(int action) {
    // The bar moves itself after this returns, to its slider position: the actions that do not scroll put
    // that back where it was, and those that do leave it where scrolling put it.
    const int before = _scroller->value();
    switch (action) {
    case QAbstractSlider::SliderMove:
    case QAbstractSlider::SliderToMinimum:
    case QAbstractSlider::SliderToMaximum: {
        const int maximum = _scroller->maximum();
        scrollToPosition(maximum > 0 ? double(_scroller->sliderPosition()) / maximum : 0);
        return;
    }
    case QAbstractSlider::SliderPageStepSub:
        pageUp();
        break;
    case QAbstractSlider::SliderPageStepAdd:
        pageDown();
        break;
    case QAbstractSlider::SliderSingleStepSub:
        std::printf("Scroller .decrementLine clicked\n");
        _scroller->setSliderPosition(before);
        return;
    case QAbstractSlider::SliderSingleStepAdd:
        std::printf("Scroller .incrementLine clicked\n");
        _scroller->setSliderPosition(before);
        return;
    default:
        std::printf("Scroller: New value introduced\n");
        _scroller->setSliderPosition(before);
        return;
    }
    updateScroller();
}

void TerminalView::updateScroller() {
    _scrollerStale = false;
    if (!_scroller) return;
    const ScrollMetrics metrics = scrollMetrics();
    const ScrollerSteps steps = ScrollerSteps::of(metrics);
    const ScrollerState state{metrics.canScroll(), steps.maximum, steps.pageStep, steps.value};
    if (_scrollerState == state && _scroller->sliderPosition() == steps.value) return;
    _scrollerState = state;
    const QSignalBlocker quiet(_scroller);
    _scroller->setEnabled(metrics.canScroll());
    _scroller->setRange(0, steps.maximum);
    _scroller->setPageStep(steps.pageStep);
    _scroller->setSingleStep(1);
    _scroller->setValue(steps.value);
    _scroller->setSliderPosition(steps.value);
}

void TerminalView::changeScrollback(std::optional<int> lines) {
    Terminal& terminal = *_terminal;
    terminal.normalBuffer().changeHistorySize(lines);
    terminal.options.scrollback = lines.value_or(0);
    terminal.updateRange(0, false);
    terminal.updateRange(terminal.rows() - 1, false);
    updateScroller();
    if (auto* delegate = _terminalDelegate.get()) delegate->scrolled(*this, scrollPosition());
    queuePendingDisplay();
}

// MARK: Sending

void TerminalView::send(std::span<const uint8_t> data) {
    ensureCaretIsVisible();
    if (auto* delegate = _terminalDelegate.get()) delegate->send(*this, data);
}

void TerminalView::send(std::string_view txt) {
    send(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(txt.data()), txt.size()));
}

// MARK: Painting

void TerminalView::paintEvent(QPaintEvent* event) {
    if (_gpuView) {
        // Only what the GL widget does not cover yet (it follows a live resize late) shows through.
        QPainter painter(this);
        painter.fillRect(event->rect(), nativeBackgroundColor());
        return;
    }
    _rectsBeingDrawn.clear();
    for (const QRect& rect : event->region())
        _rectsBeingDrawn.emplace_back(rect);
    QPainter painter(this);
    for (const QRectF& rect : _rectsBeingDrawn)
        drawTerminalContents(painter, rect);
    if (hasMarkedText()) drawMarkedText(painter);
    _rectsBeingDrawn.clear();
}

void TerminalView::drawTerminalContents(QPainter& painter, const QRectF& dirtyRect) {
    const QSizeF cell = cellDimension();
    const double h = cell.height();
    Buffer& shown = _terminal->displayBuffer();
    const int yDisp = shown.yDisp();
    const QColor background = nativeBackgroundColor();
    _rowPainter->beginPass();

    // Rows paint their whole band (the last run of a row reaches the right edge); what lies above, below
    // and between them in the rectangle is the native background, the strip below the last whole row
    // included.
    const int first = yDisp + int(std::floor(dirtyRect.top() / h));
    const int last = yDisp + int(std::floor((dirtyRect.bottom() - 0.001) / h));
    const int lineCount = shown.lines().count();
    double paintedTo = dirtyRect.top();
    auto fillTo = [&](double y) {
        if (y > paintedTo)
            painter.fillRect(QRectF(dirtyRect.left(), paintedTo, dirtyRect.width(), y - paintedTo),
                             background);
    };
    for (int line = std::max(first, 0); line <= last && line < lineCount; ++line) {
        const double top = h * (line - yDisp);
        if (top + h > height() + 0.001) break;
        fillTo(top);
        drawRow(painter, line, *shown.lines()[line], top, dirtyRect);
        paintedTo = std::max(paintedTo, top + h);
    }
    fillTo(dirtyRect.bottom());
}

void TerminalView::drawRow(QPainter& painter, int line, const BufferLine& row, double top,
                           const QRectF& dirtyRect) {
    _rowPainter->draw(painter, line, row, top, dirtyRect);
}

void TerminalView::pending(const std::string& message) const {
    std::printf("%s\n", message.c_str());
    for (const QRectF& rect : _rectsBeingDrawn)
        std::printf("   -> (%g, %g, %g, %g)\n", rect.x(), rect.y(), rect.width(), rect.height());
}

} // namespace Tessaline
