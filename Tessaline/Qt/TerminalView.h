#pragma once

#include "Executor.h"
#include "GLBufferingMode.h"
#include "KeyInput.h"
#include "KittyKeyEvent.h"
#include "SearchService.h"
#include "SelectionService.h"
#include "Terminal.h"
#include "TerminalDebugView.h"
#include "TerminalDelegate.h"
#include "TerminalViewDelegate.h"
#include "ViewLineInfo.h"
#include "WeakReference.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QWidget>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class QLabel;
class QPainter;
class QScrollBar;

namespace Tessaline {

class CaretView;
class RowBuilder;
class RowPainter;
class TerminalFindBarView;
class TerminalImage;
class TerminalProgressBarView;
struct ScrollMetrics;

// When cells of a link are drawn highlighted (underlined in their foreground): under the pointer, or every
// cell of an explicit link; either always or while the link modifier is held.
enum class LinkHighlightMode : uint8_t {
    hover,
    hoverWithModifier,
    always,
    alwaysWithModifier,
};

// The widget that shows one Terminal: it owns the terminal, sizes it to its frame, feeds it the host's
// bytes, redraws the changed rows at most once per 16.67 ms, scrolls the scroll-back with its scroll bar,
// answers the terminal's callbacks and hands the bytes it produces to its delegate.
//
// One header, one implementation file per family: TerminalView.cpp (data path, redraw, scrolling, paint),
// TerminalViewSetup.cpp (fonts, cell size, options, colours, sizing), TerminalViewCallbacks.cpp (the
// TerminalDelegate answers and the progress bar), TerminalViewImages.cpp (images), TerminalViewRows.cpp
// (the row builder's entry points and row drawing), TerminalViewCaret.cpp (the caret and focus),
// TerminalViewKeyboard.cpp (keys, input methods, focus reports), TerminalViewPointer.cpp (mouse reports,
// selection gestures, wheel, links), TerminalViewEdit.cpp (copy, paste, find). Everything runs on the
// GUI thread.
class TerminalView : public QWidget, public TerminalDelegate {
    Q_OBJECT
public:
    // The four faces drawing uses, built from one font.
    struct FontSet {
        QFont normal;
        QFont bold;
        QFont italic;
        QFont boldItalic;
        static FontSet from(const QFont& font);
        // 0 normal, 1 bold, 2 italic, 3 bold italic (any other: normal).
        const QFont& face(int index) const {
            switch (index) {
            case 1:
                return bold;
            case 2:
                return italic;
            case 3:
                return boldItalic;
            default:
                return normal;
            }
        }
    };

    // A new terminal sized to the frame. No font: the default one. The executor runs the redraw, the
    // progress timer and the terminal's timers; none means the GUI thread's.
    explicit TerminalView(QWidget* parent = nullptr);
    TerminalView(const QRect& frame, const std::optional<QFont>& font, QWidget* parent = nullptr,
                 Executor* executor = nullptr);
    ~TerminalView() override;

    // MARK: Set-up, fonts and metrics (TerminalViewSetup.cpp)

    // The monospaced face of the desktop at the size of the system font (13 logical pixels).
    static QFont defaultFont();
    // A font of `size` logical pixels, as the application's settings give sizes (Qt counts in points).
    QFont fontWithSize(QFont font, double size) const;

    Terminal& terminal() { return *_terminal; }
    const Terminal& terminal() const { return *_terminal; }
    Terminal& getTerminal() { return *_terminal; }
    // The terminal's font (these hide QWidget's: the font of the view is the terminal's). Setting one
    // rebuilds the faces, the cell size and the terminal's size over the whole frame.
    QFont font() const { return _fontSet.normal; }
    void setFont(const QFont& font);
    const FontSet& fontSet() const { return _fontSet; }
    // Back to the default faces; the cell size and the terminal's size stay.
    void resetFontSize();
    // The size of one cell in logical pixels, whole device pixels; every placement of cells uses it.
    QSizeF cellDimension() const { return _cellDimension.value_or(QSizeF(1, 1)); }
    // The scale of the window's pixels (device pixels per logical pixel).
    double backingScale() const;

    // Resizes the terminal, tells the delegate and soft-resets the terminal (named so that it does not hide
    // QWidget::resize).
    void resizeTerminal(int cols, int rows);
    // New columns and rows for a size of the view; true when the terminal was resized.
    bool processSizeChange(QSizeF newSize);
    // The frame that holds the terminal exactly, with the scroll bar.
    QRectF getOptimalFrameSize() const;
    int scrollerWidth() const;

    // MARK: Colours (TerminalViewSetup.cpp)

    QColor nativeForegroundColor() const { return _nativeFg.value_or(QColor(Qt::gray)); }
    void setNativeForegroundColor(const QColor& color);
    QColor nativeBackgroundColor() const { return _nativeBg.value_or(QColor(Qt::black)); }
    void setNativeBackgroundColor(const QColor& color);
    // The desktop's text and text-background colours.
    void configureNativeColors();
    // Exactly 16 colours become ANSI colours 0 to 15 and the palette is rebuilt from them; any other
    // count changes no colour. The colour caches go and everything is redrawn in both cases.
    void installColors(const std::vector<Color>& colors);
    // The styles cached with colours in them go and everything is redrawn.
    void colorsChanged();
    // The one mapping from a cell's colour to a QColor, through the view's caches.
    QColor mapColor(Attribute::Color color, bool isFg, bool isBold, bool useBrightColors);
    // The palette entry mapColor takes for ansi256(code).
    static int paletteIndex(uint8_t code, bool isBold, bool useBrightColors);
    // Truecolours cached so far (the cache starts over past 65,536).
    size_t trueColorCacheSize() const;

    // Bold brightens palette colours 0 to 6.
    bool useBrightColors() const { return _useBrightColors; }
    void setUseBrightColors(bool value) { _useBrightColors = value; }
    // Block and box characters drawn as geometry, and whether that geometry is antialiased.
    bool customBlockGlyphs() const { return _customBlockGlyphs; }
    void setCustomBlockGlyphs(bool value);
    bool antiAliasCustomBlockGlyphs() const { return _antiAliasCustomBlockGlyphs; }
    void setAntiAliasCustomBlockGlyphs(bool value);
    bool disableFullRedrawOnAnyChanges() const { return _disableFullRedrawOnAnyChanges; }
    void setDisableFullRedrawOnAnyChanges(bool value) { _disableFullRedrawOnAnyChanges = value; }
    QColor selectedTextBackgroundColor() const { return _selectedTextBackgroundColor; }
    void setSelectedTextBackgroundColor(const QColor& color) { _selectedTextBackgroundColor = color; }

    // MARK: Data path, redraw and scrolling (TerminalView.cpp)

    // Host bytes into the terminal, as if the program had written them; then one redraw is scheduled.
    void feed(std::span<const uint8_t> byteArray);
    void feed(std::string_view text);
    // Schedules one redraw unless one is scheduled already: at once (after the bytes at hand) when the
    // last redraw is 16.67 ms old or more, else when that much time has passed since it.
    void queuePendingDisplay();
    // Redraws the changed rows now.
    void updateDisplay(bool notifyAccessibility);
    bool pendingDisplay() const { return _pendingDisplay; }
    static constexpr std::chrono::nanoseconds redrawDelay{16'670'000};

    // Every redraw tells the delegate which rows changed.
    bool notifyUpdateChanges() const { return _notifyUpdateChanges; }
    void setNotifyUpdateChanges(bool value) { _notifyUpdateChanges = value; }

    double scrollPosition() const;
    double scrollThumbsize() const;
    bool canScroll() const;
    // Shows the line at the position (0 the oldest, 1 the live screen); named so that it does not hide
    // QWidget::scroll.
    void scrollToPosition(double position);
    // Shows the line (held inside the scroll-back) in the top row.
    void scrollTo(int row, bool notifyAccessibility = true);
    // On the alternate screen these send Page Up and Page Down to the program instead.
    void pageUp();
    void pageDown();
    void scrollUp(int lines);
    void scrollDown(int lines);
    // Scrolls back to the live screen when the cursor is off screen.
    void ensureCaretIsVisible();

    QScrollBar* scroller() const { return _scroller; }
    void setupScroller();
    void scrollerActivated(int action);
    void updateScroller();
    // Scroll-back lines of the normal buffer; none keeps none.
    void changeScrollback(std::optional<int> lines);

    // Bytes from the view to its delegate, after scrolling the cursor into view.
    void send(std::span<const uint8_t> data);
    void send(const std::vector<uint8_t>& data) { send(std::span<const uint8_t>(data)); }
    void send(std::string_view txt);

    // The rectangle (in the widget's coordinates) a redraw of rows s to e invalidates: the rows across the
    // whole width, down to the bottom edge when e is the last row.
    static QRectF dirtyRowsRect(int s, int e, int rows, QSizeF viewSize, double cellHeight);
    // The lines a GPU redraw of rows s to e covers, or none.
    static std::optional<std::pair<int, int>> gpuDirtyRange(int s, int e, int rows, int yDisp, int lineCount);

    // Paints the lines of the buffer on display that the rectangle touches, and the strip below the last
    // whole row.
    void drawTerminalContents(QPainter& painter, const QRectF& dirtyRect);
    // The rectangles of the paint pass under way, and a diagnostic line for each.
    const std::vector<QRectF>& rectsBeingDrawn() const { return _rectsBeingDrawn; }
    void pending(const std::string& message) const;

    // MARK: Rows (TerminalViewRows.cpp)

    // The records of one line of the buffer on display (`row`: its index in the buffer's ring, `cols`: the
    // buffer's columns). Good until the next row is built or the view's looks are dropped.
    const ViewLineInfo& buildAttributedString(int row, const BufferLine& line, int cols);
    // The cached look of an attribute, with or without the link highlight.
    const TextAttributes& getAttributes(const Attribute& attribute, bool withUrl);
    // The look of an attribute in the given colours, not cached (the caret's).
    TextAttributes getAttributedValue(const Attribute& attribute, const QColor& usingFg, const QColor& andBg);
    std::optional<ColumnRange> selectedColumnsRange(int row, int cols) const;
    RowBuilder& rowBuilder() { return *_rowBuilder; }
    // The picture of a stored Kitty image, through a cache the caller keeps for one paint pass; null when
    // the image is not stored or cannot be decoded.
    using KittyImageCache = std::unordered_map<uint32_t, std::optional<QImage>>;
    const QImage* kittyPlaceholderImage(uint32_t imageId, KittyImageCache& cache);

    // Test seams: the link under the pointer and the link modifier, set directly.
    void setLinkHighlightRange(std::optional<std::vector<Terminal::LinkMatch::RowRange>> range) {
        _linkHighlightRange = std::move(range);
    }
    void setCommandActive(bool value) { _commandActive = value; }

    // MARK: Caret and focus (TerminalViewCaret.cpp)

    CaretView* caretView() const { return _caretView; }
    QColor caretColor() const;
    void setCaretColor(const QColor& color);
    std::optional<QColor> caretTextColor() const;
    void setCaretTextColor(const std::optional<QColor>& color);
    bool caretViewTracksFocus() const;
    void setCaretViewTracksFocus(bool value);
    // The caret's frame in the view; empty without a caret.
    QRect caretFrame() const;
    // A cursor colour and the colour of the character under a block cursor; nothing restores the default.
    void setCursorColor(Terminal& source, const std::optional<Color>& color,
                        const std::optional<Color>& textColor);
    // The view has the keyboard focus and its window is the active one (or it has no window).
    // (Named so that it does not hide QWidget::hasFocus.) Setting it redraws the caret.
    bool terminalHasFocus() const;
    void setTerminalHasFocus(bool value);

    // MARK: Delegates, pointer settings and the progress bar (TerminalViewCallbacks.cpp)

    TerminalViewDelegate* terminalDelegate() const { return _terminalDelegate.get(); }
    void setTerminalDelegate(TerminalViewDelegate* delegate) { _terminalDelegate = delegate; }
    // Feeding and line feeds end the selection while this is on.
    bool allowMouseReporting() const { return _allowMouseReporting; }
    void setAllowMouseReporting(bool value) { _allowMouseReporting = value; }
    SelectionService& selection() { return *_selection; }
    SearchService& search() { return *_search; }
    TerminalProgressBarView* progressBarView() const { return _progressBarView; }
    Executor& executor() const { return _executor; }
    // Progress bars clear themselves this long after the last report.
    static constexpr std::chrono::seconds progressReportTimeout{15};

    // TerminalDelegate
    void showCursor(Terminal& source) override;
    void hideCursor(Terminal& source) override;
    void setTerminalTitle(Terminal& source, const std::string& title) override;
    void setTerminalIconTitle(Terminal& source, const std::string& title) override;
    std::optional<std::vector<uint8_t>> windowCommand(Terminal& source,
                                                      const WindowManipulationCommand& command) override;
    void sizeChanged(Terminal& source) override;
    void send(Terminal& source, std::span<const uint8_t> data) override;
    void scrolled(Terminal& source, int yDisp) override;
    void linefeed(Terminal& source) override;
    void bufferActivated(Terminal& source) override;
    void synchronizedOutputChanged(Terminal& source, bool active) override;
    void bell(Terminal& source) override;
    void selectionChanged(Terminal& source) override;
    bool isProcessTrusted(Terminal& source) override;
    std::optional<CellPixelSize> cellSizeInPixels(Terminal& source) override;
    void mouseModeChanged(Terminal& source) override;
    void cursorStyleChanged(Terminal& source, CursorStyle newStyle) override;
    void hostCurrentDirectoryUpdated(Terminal& source) override;
    void hostCurrentDocumentUpdated(Terminal& source) override;
    void colorChanged(Terminal& source, std::optional<int> idx) override;
    void setForegroundColor(Terminal& source, const Color& color) override;
    void setBackgroundColor(Terminal& source, const Color& color) override;
    void setCursorColor(Terminal& source, const std::optional<Color>& color) override;
    TerminalColors getColors(Terminal& source) override;
    void iTermContent(Terminal& source, std::span<const uint8_t> content) override;
    void clipboardCopy(Terminal& source, const std::vector<uint8_t>& content) override;
    void notify(Terminal& source, const std::string& title, const std::string& body) override;
    void progressReport(Terminal& source, const ProgressReport& report) override;
    // Images (TerminalViewImages.cpp): pixels of a Sixel or Kitty image, encoded files of OSC 1337, and
    // the strips the terminal cuts them into.
    void createImageFromBitmap(Terminal& source, std::vector<uint8_t>& bytes, int width, int height) override;
    void createImage(Terminal& source, const std::vector<uint8_t>& data, ImageSizeRequest width,
                     ImageSizeRequest height, bool preserveAspectRatio) override;
    std::shared_ptr<KittyPlacementImage> makeImageStrip(Terminal& source, std::vector<uint8_t> pixels,
                                                        int width, int height) override;

    // MARK: Keyboard, input methods and focus (TerminalViewKeyboard.cpp)
    //
    // A key takes one of three roads: the progressive keyboard protocol while the active screen has
    // enhancement flags; fixed sequences for cursor, editing, function and control keys and Alt as Meta;
    // or editing commands and text (interpretKeyEvents), where input-method text also arrives. Every key
    // press ends the selection; every send first scrolls back to the cursor.

    // Alt acts as Meta: ESC before the key's characters, and Alt in the keyboard protocol. Ctrl+Shift+Alt+O
    // flips it for the life of the view.
    bool optionAsMetaKey() const { return _optionAsMetaKey; }
    void setOptionAsMetaKey(bool value) { _optionAsMetaKey = value; }
    // Backspace sends 0x08 instead of 0x7F.
    bool backspaceSendsControlH() const { return _backspaceSendsControlH; }
    void setBackspaceSendsControlH(bool value) { _backspaceSendsControlH = value; }
    // Ctrl+Shift, the application's command chord, is held (it makes links clickable).
    bool commandActive() const { return _commandActive; }

    // The key entry points, on the neutral key record: a key going down or up, a modifier key going
    // down or up.
    void keyDown(const KeyInput& input);
    void keyUp(const KeyInput& input);
    void flagsChanged(const KeyInput& input, bool pressed);
    // An editing command by name ("insertNewline:", "moveUp:" ...); unknown names are logged.
    void doCommand(std::string_view selector);
    // A key the view does not encode itself: its editing command, else its printable text.
    void interpretKeyEvents(const KeyInput& input);
    // Text typed, committed by an input method, or pasted (isPaste: bracketed when the program asks).
    void insertText(std::string_view text, bool isPaste = false);
    // An input method's composition in progress, shown at the caret and sent nowhere; `cursor` is the
    // caret's offset in it (UTF-16 units). Empty text ends the composition.
    void setMarkedText(const QString& text, int cursor);
    void unmarkText();
    bool hasMarkedText() const { return !_markedText.isEmpty(); }
    const QString& markedText() const { return _markedText; }
    int markedTextCursor() const { return _markedTextCursor; }
    // Where the composition is drawn: over the cells from the caret on, kept inside the view.
    QRectF markedTextRect() const;
    // In GPU mode the GL surface covers the view: the composition is drawn by this child over it. None
    // while the mode is off or nothing is composed.
    QWidget* markedTextOverlay() const { return _markedTextOverlay; }
    bool kittyIsComposing() const { return _kittyIsComposing; }

    // The cursor-key sequence of one direction, in the application form while DECCKM is on.
    void sendKeyUp();
    void sendKeyDown();
    void sendKeyLeft();
    void sendKeyRight();
    // The byte Control plus a one-byte character sends; empty for characters without one.
    static std::vector<uint8_t> applyControlToEventCharacters(std::string_view characters);
    // The modified form (ESC [ 1 ; m A, ESC [ 15 ; m ~ ...) of a cursor, editing or F1-F12 key, m being 1
    // plus Shift 1, Alt 2, Control 4; nothing for other keys.
    static std::optional<std::vector<uint8_t>> modifiedFunctionKeySequence(FunctionKey key, bool shift,
                                                                           bool alt, bool control);
    // Encodes the event with the active screen's flags and sends the bytes (possibly none); false when the
    // flags do not report it.
    bool sendKittyEvent(const KittyKeyEvent& event);
    std::optional<KittyKeyEvent> kittyTextEvent(const KeyInput& input, KittyKeyboardEventType eventType,
                                                std::optional<std::string> text) const;

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    // MARK: Pointer, selection and links (TerminalViewPointer.cpp)
    //
    // The left button goes to the program while it has asked for mouse reports (and allowMouseReporting
    // holds), else it selects: double click a word, triple click a row, Shift extends, a drag selects. The
    // wheel always scrolls the view. Links under the pointer light up and open on click as the highlight
    // mode says; Ctrl+Shift stands for the link modifier.

    // Which links under the pointer would be reported to the host with the modifier held; kept as a
    // setting, as there is no channel to the host for it yet.
    enum class LinkReporting : uint8_t {
        none,
        explicitLinks,
        implicit,
    };
    struct MouseHit {
        // Column and buffer row (counted from the oldest scroll-back line).
        Position grid;
        // Pixels from the view's top-left corner, held inside the view.
        Position pixels;
    };
    using LinkRowRanges = std::vector<Terminal::LinkMatch::RowRange>;
    using LinkParams = std::map<std::string, std::string>;

    MouseHit calculateMouseHit(QPointF point);
    // The button value of a report of the left button: 0, or 3 for a release; plus Shift 4, Alt 8,
    // Control 16 in the modes that report modifiers.
    int encodeMouseEvent(bool release, Qt::KeyboardModifiers modifiers) const;
    // The OSC 8 payload at a grid position; the right half of a wide character counts with its left half.
    std::optional<std::string> payloadString(Position at);
    // An OSC 8 payload "params;URI" into the URI and its key=value parameters; nothing without a ";".
    static std::optional<std::pair<std::string, LinkParams>> urlAndParamsFrom(std::string_view payload);
    // The link a release at the position opens, by the highlight mode, or nothing.
    std::optional<std::pair<std::string, LinkParams>> linkForClick(Position at, bool hasCommandModifier);
    // Lights the link under the position in the hover modes; `commandOverride` stands for the modifier.
    void updateHoverLink(Position at, std::optional<bool> commandOverride = std::nullopt);
    void invalidateLinkHighlight(const std::optional<LinkRowRanges>& oldRange,
                                 const std::optional<LinkRowRanges>& newRange);
    const std::optional<LinkRowRanges>& linkHighlightRange() const { return _linkHighlightRange; }
    LinkHighlightMode linkHighlightMode() const { return _linkHighlightMode; }
    void setLinkHighlightMode(LinkHighlightMode mode);
    LinkReporting linkReporting() const { return _linkReporting; }
    void setLinkReporting(LinkReporting value) { _linkReporting = value; }
    // The link modifier went down or up (from the keyboard's modifier handling).
    void commandChanged(bool held, std::optional<QPointF> pointer = std::nullopt);
    // The URL of a payload in a small inverted label at the view's bottom-left corner.
    void previewUrl(const std::string& payload);
    void turnOffUrlPreview();
    QLabel* urlPreview() const { return _urlPreview; }
    static QFont tryUrlFont();
    // Pointer motion reaches the view while the program wants motion, the link modifier is held or links
    // light up on hover.
    bool shouldTrackMouse() const;
    bool didSelectionDrag() const { return _didSelectionDrag; }

    bool selectionActive() const { return _selection->active(); }
    // The selected text, or nothing without a selection.
    std::optional<std::string> getSelection();
    void selectAll();
    void selectNone();
    // The text between the selection's two ends, in order, active or not.
    std::string selectionText();

    // MARK: Edit commands and find (TerminalViewEdit.cpp)

    enum class EditCommand : uint8_t {
        copy,
        paste,
        selectAll,
        showFind,
        findNext,
        findPrevious,
        useSelectionForFind,
        hideFind,
    };
    bool isCommandEnabled(EditCommand command) const;
    void performCommand(EditCommand command);
    // The selection's text onto the clipboard.
    void copy();
    // The clipboard's text as a paste (bracketed when the program asks).
    void paste();
    // Searches from the selection and selects the match, scrolling to it when asked; false for no match
    // (which ends the selection).
    bool findNext(const std::string& term, const SearchOptions& options, bool scrollToResult = true);
    bool findPrevious(const std::string& term, const SearchOptions& options, bool scrollToResult = true);
    void clearSearch();
    TerminalFindBarView* findBar() const { return _findBar; }
    void showFindBar(bool prefillSelection);
    void hideFindBar();
    // The search text every view shares (the desktop has no find clipboard).
    static std::optional<std::string> findPasteboard();
    static void setFindPasteboard(const std::string& term);

    // MARK: GPU mode (switching in GL/TerminalViewGpu.cpp, with the renderer; redraws in TerminalView.cpp)
    //
    // A GL widget over the view draws everything through the GPU renderer, the caret included, and the
    // view's redraws go to it. Off unless a host switches it on; nothing in the application does.

    // Throws GLError when switching on finds no OpenGL device or the renderer cannot be set up; the view
    // then stays off and keeps painting itself. Switching to the state the view is in does nothing.
    void setUseGpu(bool on);
    bool isUsingGpuRenderer() const { return _useGpuRenderer; }
    // The GL widget while the mode is on.
    QWidget* gpuView() const { return _gpuView; }
    // Read by the renderer at every frame: a change takes effect at the next frame and asks for none.
    GLBufferingMode gpuBufferingMode() const { return _gpuBufferingMode; }
    void setGpuBufferingMode(GLBufferingMode mode) { _gpuBufferingMode = mode; }
    // Lines of the buffer on display to rebuild at the next frame. Redraws before a frame add up to the
    // range that covers them all; the frame takes it.
    const std::optional<std::pair<int, int>>& gpuDirtyRange() const { return _gpuDirtyRange; }
    void addGpuDirtyRange(std::optional<std::pair<int, int>> range);
    std::optional<std::pair<int, int>> takeGpuDirtyRange() {
        return std::exchange(_gpuDirtyRange, std::nullopt);
    }
    // One GPU redraw 16.67 ms from now unless one is scheduled; nothing without the GL widget.
    void queueGpuDisplay();
    bool pendingGpuDisplay() const { return _pendingGpuDisplay; }
    // Resizes that follow each other within this time are a live resize (a drag of the window's edge):
    // the GPU redraws of those go through queueGpuDisplay while throttling is on.
    static constexpr std::chrono::milliseconds liveResizeInterval{100};
    bool inLiveResize() const { return _inLiveResize; }
    // "TESSALINE_METAL_LIVE_RESIZE_THROTTLE": off for exactly "0", "false" or "FALSE", on otherwise and
    // when unset. Read once.
    static bool gpuLiveResizeThrottleEnabled();
    static bool parseLiveResizeThrottle(const char* value);

    // MARK: Debug view
    // The debug view refreshed after every redraw (held weakly), or none.
    TerminalDebugView* debugView() const { return _debug; }
    void setDebugView(TerminalDebugView* view) { _debug = view; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Every key but the application's Ctrl+Shift shortcuts belongs to the program, Tab included.
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    // Tab belongs to the program, not to focus changes.
    bool focusNextPrevChild(bool next) override;

    // Paints one line (index `line` of the buffer on display) in the band starting at y `top`.
    virtual void drawRow(QPainter& painter, int line, const BufferLine& row, double top,
                         const QRectF& dirtyRect);
    // Moves the caret to the cursor: the first step of every redraw and the last of every size change.
    virtual void updateCursorPosition();
    // Focus gained and lost, and the window becoming active or not, drive the caret's look and the focus
    // reports.
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // TerminalViewSetup.cpp
    void commonInit(const QRect& frame, const std::optional<QFont>& font);
    QSizeF computeFontDimensions() const;
    void setupOptions(double width, double height);
    void resetFont();
    void resetCaches();
    void placeSubviews();
    // The caret takes the cell size and the blink state of its style (set-up and font changes).
    void resetCaret();

    // TerminalView.cpp
    ScrollMetrics scrollMetrics() const;
    // The GL widget's redraw on a resize: throttled while live, else at once.
    void gpuViewResized();
    // Asks the GL widget for a frame.
    void gpuNeedsDisplay();

    // GL/TerminalViewGpu.cpp
    void updateGpuRenderer(bool enabled);

    // TerminalViewKeyboard.cpp
    void setupKeyboard();
    // Where an input method puts its candidates: the caret's cell, at the composition's caret.
    QRect inputMethodCursorRect() const;
    // Tells the input method when that place has moved.
    void updateInputMethodCursor();
    void drawMarkedText(QPainter& painter);
    // Makes, moves or drops the composition's child after the composition or the GPU mode changed.
    void updateMarkedTextOverlay();
    void sendLegacyFunctionKey(const KeyInput& input);

    // TerminalViewPointer.cpp
    void updateLinkHighlightTracking();
    void scrollWheelLines(double delta);
    // The press's click count, from the desktop's double-click interval and distance.
    int countClick(QPointF point);

    // TerminalViewEdit.cpp
    TerminalFindBarView* ensureFindBar();
    void handleFindBarSearchChanged(const std::string& term);
    void performFind(bool next);
    void setFindPasteboardFromSelection();
    void scrollToReveal(int row);
    bool find(bool next, const std::string& term, const SearchOptions& options, bool scrollToResult);

    // TerminalViewCallbacks.cpp
    void setupProgressBar();
    void handleProgressReport(const ProgressReport& report);
    void resetProgressReportTimer();
    void clearProgressReport();

    // Fields in the order the view sets them up. Those of later families (find bar, debug view, caret,
    // GPU mode, keyboard and pointer state) join their own group below.
    Executor& _executor;
    WeakReference<TerminalViewDelegate> _terminalDelegate;
    std::unique_ptr<Terminal> _terminal;
    std::unique_ptr<SearchService> _search;
    std::unique_ptr<SelectionService> _selection;
    std::optional<QSizeF> _cellDimension;
    FontSet _fontSet;

    // Redraw
    bool _pendingDisplay = false;
    Executor::TaskId _pendingDisplayTask = 0;
    std::optional<Executor::Clock::time_point> _lastDisplay;
    bool _notifyUpdateChanges = false;
    std::vector<QRectF> _rectsBeingDrawn;
    std::unique_ptr<RowBuilder> _rowBuilder;
    std::unique_ptr<RowPainter> _rowPainter;

    // Caret and focus
    CaretView* _caretView = nullptr;

    // GPU mode: the drawing widget when it is on, and the lines its next frame redraws.
    QWidget* _gpuView = nullptr;
    // The widget's own request, which a frame under way turns into one frame after it.
    std::function<void()> _gpuNeedsDisplay;
    bool _useGpuRenderer = false;
    std::optional<std::pair<int, int>> _gpuDirtyRange;
    bool _pendingGpuDisplay = false;
    Executor::TaskId _pendingGpuDisplayTask = 0;
    GLBufferingMode _gpuBufferingMode = GLBufferingMode::perRowPersistent;
    std::optional<Executor::Clock::time_point> _lastResize;
    bool _inLiveResize = false;

    // Scrolling. What the scroll bar was last given: a flood of output scrolls once per line, and the bar
    // is only touched when something it shows changes.
    QScrollBar* _scroller = nullptr;
    struct ScrollerState {
        bool enabled = false;
        int maximum = 0;
        int pageStep = 1;
        int value = 0;
        bool operator==(const ScrollerState&) const = default;
    };
    std::optional<ScrollerState> _scrollerState;
    // The buffer scrolled since the bar was last brought up to date.
    bool _scrollerStale = false;

    // Progress
    TerminalProgressBarView* _progressBarView = nullptr;
    Executor::TaskId _progressReportTimer = 0;
    std::optional<uint8_t> _lastProgressValue;

    // Colours: one QColor per palette entry and per 24-bit colour met, made on first use.
    std::array<std::optional<QColor>, 256> _colors;
    std::unordered_map<uint32_t, QColor> _trueColors;
    std::optional<QColor> _nativeFg;
    std::optional<QColor> _nativeBg;
    bool _settingFg = false;
    bool _settingBg = false;
    bool _useBrightColors = true;
    bool _customBlockGlyphs = true;
    bool _antiAliasCustomBlockGlyphs = false;
    bool _disableFullRedrawOnAnyChanges = true;
    QColor _selectedTextBackgroundColor;

    // Pointer
    bool _allowMouseReporting = true;
    LinkHighlightMode _linkHighlightMode = LinkHighlightMode::hoverWithModifier;
    LinkReporting _linkReporting = LinkReporting::implicit;
    std::optional<LinkRowRanges> _linkHighlightRange;
    QLabel* _urlPreview = nullptr;
    bool _didSelectionDrag = false;
    // Click counting: where and when the last press was, and its count.
    QPointF _lastClickPoint;
    std::optional<std::chrono::steady_clock::time_point> _lastClickTime;
    int _clickCount = 0;
    // Wheel angle not yet scrolled (high-resolution wheels send fractions of a notch).
    int _wheelRemainder = 0;

    // Find
    TerminalFindBarView* _findBar = nullptr;
    std::string _findBarTerm;
    SearchOptions _findBarOptions;

    // Debug
    QPointer<TerminalDebugView> _debug;

    // Keyboard. The key handed to interpretKeyEvents in protocol mode, waiting for the text it produces.
    struct PendingKittyKeyEvent {
        KeyInput input;
        KittyKeyboardEventType eventType;
    };
    std::optional<PendingKittyKeyEvent> _pendingKittyKeyEvent;
    bool _kittyIsComposing = false;
    bool _optionAsMetaKey = true;
    bool _backspaceSendsControlH = false;
    bool _hasFocus = false;
    bool _commandActive = false;
    QString _markedText;
    int _markedTextCursor = 0;
    // Where the composition was last drawn, repainted when it changes.
    QRect _markedTextPainted;
    QWidget* _markedTextOverlay = nullptr;
    QRect _inputMethodCursorRect;
};

} // namespace Tessaline
