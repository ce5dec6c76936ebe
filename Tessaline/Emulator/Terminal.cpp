// Construction, set-up and full reset, the two buffers and their switching, resizing, the changed-row
// ranges, the host's accessors and the log.
#include "Terminal.h"

#include <algorithm>
#include <cstdio>

namespace Tessaline {

Terminal::Terminal(TerminalDelegate* delegate, const TerminalOptions& options)
    : options(options)
    , tdel(delegate) {
    installedColors.assign(Color::terminalAppColors.begin(), Color::terminalAppColors.end());
    rebuildAnsiPalette(false);

    _parser = std::make_unique<EscapeSequenceParser>();
    _normalBuffer = makeBuffer(80, 25, options.scrollback);
    _normalBuffer->fillViewportRows();
    _altBuffer = makeBuffer(80, 25, std::nullopt);
    _buffer = _normalBuffer.get();
    cc.send8bit = false;
    _parser->terminal = this;
    configureParser(*_parser);
    _normalBuffer->setupTabStops(-1, 8);
    _altBuffer->setupTabStops(-1, 8);
    _blankLine = BufferLine::make(0);
    setup(false);
}

// Destruction calls nothing but the executor: a pending synchronized-output time-out must never run on a
// terminal that is gone.
Terminal::~Terminal() {
    if (executor != nullptr && synchronizedOutputTimeoutItem != 0)
        executor->cancel(synchronizedOutputTimeoutItem);
}

std::unique_ptr<Buffer> Terminal::makeBuffer(int cols, int rows, std::optional<int> scrollback) {
    auto buffer = std::make_unique<Buffer>(cols, rows, tabStopWidth, scrollback);
    // The terminal owns its buffers, so the callback never outlives it.
    buffer->scroll = [this](bool isWrapped) { scroll(isWrapped); };
    return buffer;
}

// MARK: Set-up and reset

void Terminal::setup(bool isReset) {
    _cols = std::max(options.cols, MINIMUM_COLS);
    _rows = std::max(options.rows, MINIMUM_ROWS);

    if (isReset) {
        resetNormalBuffer();
        activateNormalBuffer(false);
    } else {
        for (Buffer* b : {_normalBuffer.get(), _altBuffer.get()}) {
            const int oldCols = b->cols();
            if (oldCols != _cols || b->rows() != _rows) {
                b->resize(_cols, _rows);
            } else {
                // What a resize to the same size does, without its walk over every row (a column switch
                // comes here after its own resize).
                b->setScrollTop(0);
                b->setScrollBottom(_rows - 1);
            }
            b->setupTabStops(oldCols, tabStopWidth);
        }
    }

    cursorHidden = false;
    applicationKeypad = false;
    applicationCursor = false;
    originMode = false;
    marginMode = false;
    insertMode = false;
    wraparound = true;
    for (Buffer* b : {_normalBuffer.get(), _altBuffer.get()}) {
        b->marginMode = false;
        b->insertMode = false;
        b->wraparound = true;
    }
    _bracketedPasteMode = false;

    _keyboardModeNormal = {};
    _keyboardModeAlt = {};

    gCharsets = {};
    charset = gCharsets[0];
    gcharset = 0;
    gLevel = 0;

    _curAttr = Attribute::defaultAttribute();

    setMouseMode(MouseMode::off);

    _buffer->setScrollTop(0);
    _buffer->setScrollBottom(_rows - 1);
    _buffer->setMarginLeft(0);
    _buffer->setMarginRight(_cols - 1);

    cc.send8bit = false;
    conformance = TerminalConformance::vt500;
    allow80To132 = true;
    xtermTitleSetUtf = false;
    xtermTitleSetHex = false;
    xtermTitleQueryUtf = false;
    xtermTitleQueryHex = false;
    hyperLinkTracking.reset();
    cursorBlink = false;
    _hostCurrentDirectory.reset();
    lineFeedMode = options.convertEol;
}

void Terminal::resetNormalBuffer() {
    dropPayloadPass(true);
    restartGraphemeRows();
    const bool wasActive = _buffer == _normalBuffer.get();
    _normalBuffer = makeBuffer(_cols, _rows, options.scrollback);
    if (wasActive) _buffer = _normalBuffer.get();
    _normalBuffer->fillViewportRows();
    _normalBuffer->setupTabStops(-1, tabStopWidth);
}

void Terminal::activateNormalBuffer(bool clearAlt) {
    settlePending();
    if (_buffer == _normalBuffer.get()) return;
    // A negative column or row is refused by the setters.
    _normalBuffer->setX(_altBuffer->x());
    _normalBuffer->setY(_altBuffer->y());
    if (clearAlt) {
        clearKittyImages(*_altBuffer, true);
        _altBuffer->clear();
    }
    _buffer = _normalBuffer.get();
}

void Terminal::activateAltBuffer(const std::optional<Attribute>& fillAttr) {
    settlePending();
    if (_buffer == _altBuffer.get()) return;
    _altBuffer->setX(_normalBuffer->x());
    _altBuffer->setY(_normalBuffer->y());
    _altBuffer->fillViewportRows(fillAttr);
    _buffer = _altBuffer.get();
    clearKittyImages(*_altBuffer, true);
}

void Terminal::cmdReset() {
    _parser->reset();
    resetToInitialState();
}

void Terminal::resetToInitialState() {
    settlePending();
    endSynchronizedOutput();
    options.rows = _rows;
    options.cols = _cols;
    const bool hidden = cursorHidden;
    setup(true);
    // The new normal buffer took the alternate buffer's cursor; a reset starts from the home position.
    _buffer->setX(0);
    _buffer->setY(0);
    clearAllKittyImages();
    // The table starts afresh: what a stream before the reset filled it with no longer holds it full.
    reclaimGraphemes();
    cursorHidden = hidden;
    markWholeScreen();
}

// MARK: Size

void Terminal::resizeBuffers(int newColumns, int newRows) {
    Buffer& normal = *_normalBuffer;
    const int savedOffset = normal.savedY - normal.y();
    normal.resize(newColumns, newRows);
    normal.savedY = savedOffset + normal.y();
    _altBuffer->resize(newColumns, newRows);
}

void Terminal::resize(int cols, int rows) {
    settlePending();
    const int c = std::max(cols, MINIMUM_COLS);
    const int r = std::max(rows, MINIMUM_ROWS);
    if (c == _cols && r == _rows) return;
    endSynchronizedOutput();
    // Reflow moves rows in and out of the scroll-back.
    dropPayloadPass();
    restartGraphemeRows();
    const int oldCols = _cols;
    resizeBuffers(c, r);
    _cols = c;
    _rows = r;
    options.cols = c;
    options.rows = r;
    _normalBuffer->setupTabStops(oldCols, tabStopWidth);
    _altBuffer->setupTabStops(oldCols, tabStopWidth);
    // Rows changed before a shrink and not drawn yet are no longer on the screen.
    refreshEnd = std::min(refreshEnd, _rows - 1);
    markWholeScreen();
}

void Terminal::changeScrollback(std::optional<int> lines) {
    settlePending();
    dropPayloadPass();
    restartGraphemeRows();
    _normalBuffer->changeHistorySize(lines);
    options.scrollback = lines;
    markWholeScreen();
}

void Terminal::markWholeScreen() {
    updateRange(0);
    updateRange(_rows - 1);
}

// MARK: Observed state

void Terminal::setMouseMode(MouseMode mode) {
    _mouseMode = mode;
    if (tdel != nullptr) tdel->mouseModeChanged(*this);
}

// MARK: Lookups

BufferLinePtr Terminal::getLine(int row) {
    settlePending();
    if (row < 0 || row >= _rows) return nullptr;
    return _buffer->lines()[row + _buffer->yDisp()];
}

std::optional<CharData> Terminal::getCharData(int col, int row) {
    if (col < 0 || col >= _cols) return std::nullopt;
    BufferLinePtr line = getLine(row);
    if (!line) return std::nullopt;
    return (*line)[col];
}

std::optional<std::string> Terminal::getCharacter(int col, int row) {
    std::optional<CharData> cell = getCharData(col, row);
    if (!cell) return std::nullopt;
    return character(cell->code);
}

BufferLinePtr Terminal::getScrollInvariantLine(int row) {
    settlePending();
    const int top = _buffer->linesTop;
    if (row < top || row - top >= _buffer->lines().count()) return nullptr;
    return _buffer->lines()[row - top];
}

// MARK: Changed rows

void Terminal::updateFullScreen() {
    refreshStart = 0;
    refreshEnd = _rows - 1;
    scrollInvariantRefreshStart = _buffer->yDisp();
    scrollInvariantRefreshEnd = _buffer->yDisp() + _rows - 1;
}

std::optional<Terminal::UpdateRange> Terminal::getUpdateRange() const {
    if (refreshStart == INT_MAX && refreshEnd == -1) return std::nullopt;
    return UpdateRange{refreshStart, refreshEnd};
}

std::optional<Terminal::UpdateRange> Terminal::getScrollInvariantUpdateRange() const {
    if (scrollInvariantRefreshStart == INT_MAX && scrollInvariantRefreshEnd == -1) return std::nullopt;
    return UpdateRange{scrollInvariantRefreshStart, scrollInvariantRefreshEnd};
}

void Terminal::clearUpdateRange() {
    refreshStart = INT_MAX;
    refreshEnd = -1;
    scrollInvariantRefreshStart = INT_MAX;
    scrollInvariantRefreshEnd = -1;
}

// MARK: Log

void Terminal::log(std::string_view text, DiagnosticKind kind) const {
    if (silentLog) return;
    Diagnostics::report(DiagnosticSeverity::info, kind, text);
}

} // namespace Tessaline
