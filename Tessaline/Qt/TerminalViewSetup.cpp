// Set-up of the view: its faces and cell size, the options of its terminal, the colour model, and how a
// new font or frame becomes a new terminal size.
#include "TerminalView.h"

#include "CaretView.h"
#include "CellMetrics.h"
#include "ColorConversion.h"
#include "QtExecutor.h"
#include "RowBuilder.h"
#include "RowPainter.h"
#include "TerminalProgressBarView.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

namespace Tessaline {

namespace {

// The size of the system font, in logical pixels.
constexpr double systemFontSize = 13;
// The truecolour cache forgets everything past this many colours: a program painting with endless
// distinct colours must not grow it without bound.
constexpr size_t maxCachedTrueColors = 65536;

} // namespace

TerminalView::FontSet TerminalView::FontSet::from(const QFont& font) {
    FontSet set{font, font, font, font};
    set.bold.setBold(true);
    set.italic.setItalic(true);
    set.boldItalic.setBold(true);
    set.boldItalic.setItalic(true);
    return set;
}

TerminalView::TerminalView(QWidget* parent)
    : TerminalView(QRect(), std::nullopt, parent) {}

TerminalView::TerminalView(const QRect& frame, const std::optional<QFont>& font, QWidget* parent,
                           Executor* executor)
    : QWidget(parent)
    , _executor(executor ? *executor : QtExecutor::main())
    , _rowBuilder(std::make_unique<RowBuilder>(*this))
    , _rowPainter(std::make_unique<RowPainter>(*this)) {
    commonInit(frame, font);
}

TerminalView::~TerminalView() {
    if (_pendingDisplayTask != 0) _executor.cancel(_pendingDisplayTask);
    if (_pendingGpuDisplayTask != 0) _executor.cancel(_pendingGpuDisplayTask);
    if (_progressReportTimer != 0) _executor.cancel(_progressReportTimer);
    // Nothing the terminal does while it goes may reach a half-destroyed view.
    if (_terminal) _terminal->tdel = nullptr;
}

void TerminalView::commonInit(const QRect& frame, const std::optional<QFont>& font) {
    _fontSet = FontSet::from(font.value_or(defaultFont()));
    QWidget::setFont(_fontSet.normal);
    _selectedTextBackgroundColor = palette().color(QPalette::Highlight);
    if (frame.isValid()) setGeometry(frame);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setupKeyboard();
    setCursor(Qt::IBeamCursor);
    _disableFullRedrawOnAnyChanges = true;
    setupScroller();
    setupOptions(width() - scrollerWidth(), height());
    setupProgressBar();
    placeSubviews();
}

QFont TerminalView::defaultFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96;
    font.setPointSizeF(systemFontSize * 72 / dpi);
    return font;
}

QFont TerminalView::fontWithSize(QFont font, double size) const {
    font.setPointSizeF(size * 72 / logicalDpiY());
    return font;
}

double TerminalView::backingScale() const {
    const double scale = devicePixelRatioF();
    return scale > 0 ? scale : 1;
}

QSizeF TerminalView::computeFontDimensions() const {
    return CellMetrics::cellSize(FontMeasures::of(_fontSet.normal), backingScale());
}

int TerminalView::scrollerWidth() const {
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, _scroller);
}

void TerminalView::resetCaches() {
    _colors.fill(std::nullopt);
    _trueColors.clear();
    _rowBuilder->reset();
    _rowPainter->reset();
}

void TerminalView::setupOptions(double width, double height) {
    resetCaches();
    _cellDimension = computeFontDimensions();
    const CellMetrics::Grid grid = CellMetrics::grid(width, height, *_cellDimension);

    TerminalOptions options;
    options.cols = grid.cols;
    options.rows = grid.rows;
    options.convertEol = false;
    options.termName = "xterm-256color";
    options.cursorStyle = CursorStyle::blinkBlock;
    options.screenReaderMode = false;
    options.scrollback = 500;
    options.tabStopWidth = 8;
    options.enableSixelReported = true;
    options.kittyImageCacheLimitBytes = 335544320;
    options.ansi256PaletteStrategy = Ansi256PaletteStrategy::base16Lab;

    if (_terminal) {
        _terminal->options = options;
        _terminal->setup(false);
    } else {
        _terminal = std::make_unique<Terminal>(this, options);
        _terminal->executor = &_executor;
    }
    // The terminal answers each with a callback, which is how the native colours get their first values.
    _terminal->setBackgroundColor(Color::defaultBackground);
    _terminal->setForegroundColor(Color::defaultForeground);
    _selection = std::make_unique<SelectionService>(*_terminal);
    if (_caretView) {
        resetCaret();
    } else {
        _caretView = new CaretView(QRectF(QPointF(0, 0), *_cellDimension).toRect(),
                                   _terminal->options.cursorStyle, this);
        if (_scroller) _caretView->stackUnder(_scroller);
        _caretView->show();
    }
    _search = std::make_unique<SearchService>(*_terminal);
    update();
}

// MARK: Fonts and size

void TerminalView::setFont(const QFont& font) {
    _fontSet = FontSet::from(font);
    QWidget::setFont(font);
    resetFont();
    if (_selection->active()) {
        _selection->setActive(false);
        _selection->selectionMode = SelectionService::SelectionMode::character;
    }
}

void TerminalView::resetFont() {
    resetCaches();
    _cellDimension = computeFontDimensions();
    // The scroll bar's width comes off here too, as with every other resize: the last column would
    // otherwise lie under the bar until the frame next changed.
    const CellMetrics::Grid grid = CellMetrics::grid(width() - scrollerWidth(), height(), *_cellDimension);
    _terminal->resize(grid.cols, grid.rows);
    sizeChanged(*_terminal);
    _terminal->cmdSoftReset();
    resetCaret();
    update();
}

void TerminalView::resetFontSize() {
    _fontSet = FontSet::from(defaultFont());
    _rowPainter->reset();
}

void TerminalView::resizeTerminal(int cols, int rows) {
    _terminal->resize(cols, rows);
    sizeChanged(*_terminal);
    _terminal->cmdSoftReset();
}

bool TerminalView::processSizeChange(QSizeF newSize) {
    const CellMetrics::Grid grid =
        CellMetrics::grid(newSize.width() - scrollerWidth(), newSize.height(), cellDimension());
    // Compared and reported as the terminal will have them: a frame too small for its minimum is that
    // minimum, not a size of 0 (which would also count as a change on every resize).
    const int cols = std::max(grid.cols, Terminal::MINIMUM_COLS);
    const int rows = std::max(grid.rows, Terminal::MINIMUM_ROWS);
    if (cols == _terminal->cols() && rows == _terminal->rows()) return false;
    _selection->setActive(false);
    _terminal->resize(cols, rows);
    _search->invalidate();
    if (auto* delegate = _terminalDelegate.get()) delegate->sizeChanged(*this, cols, rows);
    updateScroller();
    return true;
}

QRectF TerminalView::getOptimalFrameSize() const {
    const QSizeF cell = cellDimension();
    return QRectF(0, 0, cell.width() * _terminal->cols() + scrollerWidth(),
                  cell.height() * _terminal->rows());
}

void TerminalView::placeSubviews() {
    const int barWidth = scrollerWidth();
    if (_scroller) _scroller->setGeometry(width() - barWidth, 0, barWidth, height());
    if (_progressBarView) {
        _progressBarView->setGeometry(0, 0, width(), 2);
        _progressBarView->raise();
    }
}

void TerminalView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeSubviews();
    updateScroller();
    _selection->setActive(false);
    if (!_cellDimension) return;
    processSizeChange(size());
    if (_gpuView)
        gpuViewResized();
    else
        update();
    updateCursorPosition();
}

// MARK: Colours

void TerminalView::setNativeForegroundColor(const QColor& color) {
    // The terminal calls back with the colour it was given; the flag stops that call here.
    if (_settingFg) return;
    _settingFg = true;
    _nativeFg = color;
    if (_terminal) _terminal->setForegroundColor(terminalColor(color));
    // The scroll bar is drawn in these colours.
    if (_scroller) _scroller->update();
    _settingFg = false;
}

void TerminalView::setNativeBackgroundColor(const QColor& color) {
    if (_settingBg) return;
    _settingBg = true;
    _nativeBg = color;
    if (_terminal) _terminal->setBackgroundColor(terminalColor(color));
    if (_scroller) _scroller->update();
    _settingBg = false;
}

void TerminalView::configureNativeColors() {
    setNativeForegroundColor(palette().color(QPalette::Text));
    setNativeBackgroundColor(palette().color(QPalette::Base));
}

void TerminalView::installColors(const std::vector<Color>& colors) {
    if (colors.size() == 16) {
        _terminal->installedColors = colors;
        _terminal->rebuildAnsiPalette(false);
    }
    _colors.fill(std::nullopt);
    colorsChanged();
}

void TerminalView::colorsChanged() {
    // The looks hold resolved colours.
    _rowBuilder->reset();
    if (!_terminal) return;
    _terminal->updateFullScreen();
    queuePendingDisplay();
}

int TerminalView::paletteIndex(uint8_t code, bool isBold, bool useBrightColors) {
    if (useBrightColors) return code <= 6 && isBold ? code + 8 : code;
    if (code >= 8 && code <= 15) return code - 8;
    return code;
}

QColor TerminalView::mapColor(Attribute::Color color, bool isFg, bool isBold, bool useBrightColors) {
    switch (color.kind()) {
    case Attribute::Color::Kind::ansi256: {
        const int index = paletteIndex(color.code(), isBold, useBrightColors);
        std::optional<QColor>& cached = _colors[size_t(index)];
        if (!cached) {
            const std::vector<Color>& palette = _terminal->ansiColors;
            if (size_t(index) >= palette.size()) return nativeForegroundColor();
            cached = qColor(palette[size_t(index)]);
        }
        return *cached;
    }
    case Attribute::Color::Kind::trueColor: {
        if (auto it = _trueColors.find(color.raw()); it != _trueColors.end()) return it->second;
        if (_trueColors.size() >= maxCachedTrueColors) _trueColors.clear();
        const QColor made(color.red(), color.green(), color.blue());
        _trueColors.emplace(color.raw(), made);
        return made;
    }
    case Attribute::Color::Kind::defaultColor:
        return isFg ? nativeForegroundColor() : nativeBackgroundColor();
    case Attribute::Color::Kind::defaultInvertedColor:
        return inverseColor(isFg ? nativeForegroundColor() : nativeBackgroundColor());
    }
    return nativeForegroundColor();
}

size_t TerminalView::trueColorCacheSize() const {
    return _trueColors.size();
}

void TerminalView::setCustomBlockGlyphs(bool value) {
    _customBlockGlyphs = value;
    _terminal->updateFullScreen();
    queuePendingDisplay();
}

void TerminalView::setAntiAliasCustomBlockGlyphs(bool value) {
    _antiAliasCustomBlockGlyphs = value;
    _terminal->updateFullScreen();
    queuePendingDisplay();
}

} // namespace Tessaline
