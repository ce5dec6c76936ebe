#pragma once

#include "Buffer.h"
#include "CharSets.h"
#include "Color.h"
#include "Diagnostics.h"
#include "EscapeSequenceParser.h"
#include "EscapeSequences.h"
#include "Executor.h"
#include "GraphemeTable.h"
#include "KittyGraphicsState.h"
#include "KittyKeyboardFlags.h"
#include "KittyPlacementContext.h"
#include "ListFormat.h"
#include "ParserTarget.h"
#include "Position.h"
#include "ProgressReport.h"
#include "TerminalDelegate.h"
#include "TerminalOptions.h"
#include "WindowManipulationCommand.h"

#include <array>
#include <bitset>
#include <climits>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace Tessaline {

// The emulator: one per terminal view or headless terminal. It owns the escape-sequence parser, the
// normal and the alternate buffer and every piece of emulator state; the host feeds it bytes, reads its
// buffers and its range of changed rows, and receives every outward effect through the delegate.
//
// One header, one implementation file per family of commands (named in each section below). A family
// adds its fields to its area of the data model and its operations to its section; dispatch rows go into
// the switch tables of TerminalDispatch.cpp. Everything runs on the thread that feeds the terminal.
class Terminal final : public ParserTarget {
public:
    // MARK: Nested types

    // Mouse tracking (TerminalMouse.cpp).
    enum class MouseMode : uint8_t {
        off,
        x10,
        vt200,
        buttonEventTracking,
        anyEvent
    };
    enum class MouseProtocolEncoding : uint8_t {
        x10,
        utf8,
        sgr,
        urxvt,
        sgrPixel
    };
    // DECSCL's level, recorded only.
    enum class TerminalConformance : uint8_t {
        vt100,
        vt200,
        vt300,
        vt400,
        vt500
    };
    // Text extraction (TerminalText.cpp).
    enum class BufferKind : uint8_t {
        active,
        normal,
        alt
    };
    // Link detection (TerminalLinks.cpp): where to look (a buffer row counts from the oldest scroll-back
    // row, a screen row from the top of the view), which kinds of link count, and what was found.
    struct LinkLookupLocation {
        enum class Kind : uint8_t {
            buffer,
            screen
        };
        Kind kind = Kind::buffer;
        Position position;
        static LinkLookupLocation buffer(Position at) { return {Kind::buffer, at}; }
        static LinkLookupLocation screen(Position at) { return {Kind::screen, at}; }
    };
    enum class LinkLookupMode : uint8_t {
        explicitOnly,
        explicitAndImplicit
    };
    struct LinkMatch {
        // Half-open columns.
        struct Range {
            int lowerBound = 0;
            int upperBound = 0;
            bool operator==(const Range&) const = default;
        };
        struct RowRange {
            int row = 0;
            Range range;
            bool operator==(const RowRange&) const = default;
        };
        // The URI of an explicit link, the matched text of an implicit one.
        std::string text;
        // The buffer row looked up, and the columns the link covers there.
        int row = 0;
        Range range;
        bool isExplicit = false;
        // Every row the link covers, top first.
        std::vector<RowRange> rowRanges;
        bool operator==(const LinkMatch&) const = default;
    };
    // The settings-report DCS handler (TerminalReports.cpp): the request of one DCS $ q ... ST, answered at
    // its end.
    class DECRQSS final : public DcsHandler {
    public:
        // Every request the terminal knows is two bytes; a longer one is kept up to here, for the log.
        static constexpr size_t maxRequestLength = 256;

        // The request text collected so far.
        std::vector<uint8_t> data;
        // The owner; not owned.
        Terminal* terminal = nullptr;

        explicit DECRQSS(Terminal* terminal)
            : terminal(terminal) {}
        void hook(std::string_view collect, const SequenceParams& parameters, uint8_t flag) override;
        void put(std::span<const uint8_t> bytes) override;
        void unhook() override;

    private:
        bool _overflow = false;
    };

    using WindowManipulationCommand = Tessaline::WindowManipulationCommand;
    using ProgressReport = Tessaline::ProgressReport;
    using ProgressReportState = Tessaline::ProgressReportState;

    // Kitty keyboard flags of one screen (TerminalKeyboard.cpp): the flags in force and up to 16 saved by
    // push, newest last.
    struct KeyboardModeState {
        KittyKeyboardFlags flags;
        std::vector<KittyKeyboardFlags> stack;
        bool operator==(const KeyboardModeState&) const = default;
    };

    // An OSC 8 hyperlink being written (TerminalHyperlinks.cpp).
    struct HyperLinkTracking {
        Position start;
        std::string payload;
    };

    struct Dims {
        int cols = 0;
        int rows = 0;
        bool operator==(const Dims&) const = default;
    };
    struct CursorLocation {
        int x = 0;
        int y = 0;
        bool operator==(const CursorLocation&) const = default;
    };
    // Changed rows: startY to endY, both included, whatever marked them (printing, erasing, scrolling,
    // DECALN, a resize, the end of synchronized output). The whole screen is 0 ... rows - 1.
    struct UpdateRange {
        int startY = 0;
        int endY = 0;
        bool operator==(const UpdateRange&) const = default;
    };

    // MARK: Data model

    // The process-wide tables the first non-ASCII character would otherwise build on the thread that
    // prints it (Unicode sets and widths, some milliseconds): a host calls this on a worker while idle.
    // Safe on any thread (TerminalPrint.cpp).
    static void prepareSharedTables();

    // Size and options (Terminal.cpp)
    static constexpr int MINIMUM_COLS = 2;
    static constexpr int MINIMUM_ROWS = 1;
    int cols() const { return _cols; }
    int rows() const { return _rows; }
    // The distance between the tab stops laid out on both buffers; options.tabStopWidth does not change it.
    int tabStopWidth = 8;
    // Resize and full reset rewrite cols and rows, changeScrollback scrollback, DECSCUSR cursorStyle.
    TerminalOptions options;

    // Buffers (Terminal.cpp)
    Buffer& normalBuffer() {
        settlePending();
        return *_normalBuffer;
    }
    Buffer& altBuffer() {
        settlePending();
        return *_altBuffer;
    }
    // The active buffer: always one of the two.
    Buffer& buffer() {
        settlePending();
        return *_buffer;
    }
    const Buffer& buffer() const {
        settlePending();
        return *_buffer;
    }
    bool isCurrentBufferAlternate() const { return _buffer == _altBuffer.get(); }
    // What readers draw: the synchronized-output copy while one exists, else the active buffer.
    Buffer& displayBuffer() {
        settlePending();
        return synchronizedOutputBuffer ? *synchronizedOutputBuffer : *_buffer;
    }
    bool isDisplayBufferAlternate() const {
        return synchronizedOutputBuffer ? synchronizedOutputBufferIsAlternate : isCurrentBufferAlternate();
    }

    // Synchronized output (TerminalSynchronizedOutput.cpp)
    static constexpr double synchronizedOutputTimeoutSeconds = 1.0;
    bool synchronizedOutputActive = false;
    std::unique_ptr<Buffer> synchronizedOutputBuffer;
    bool synchronizedOutputBufferIsAlternate = false;
    // The pending time-out on the executor; 0 for none.
    Executor::TaskId synchronizedOutputTimeoutItem = 0;
    // Where the time-out runs: the host's executor (not owned); without one there is no time-out.
    Executor* executor = nullptr;

    // Keyboard (TerminalKeyboard.cpp; the host reads applicationCursor and may set it)
    bool applicationKeypad = false;
    bool applicationCursor = false;
    // The flags and stack of each screen: read by the view, changed only by the CSI u requests and the
    // set-up.
    const KeyboardModeState& keyboardModeNormal() const { return _keyboardModeNormal; }
    const KeyboardModeState& keyboardModeAlt() const { return _keyboardModeAlt; }
    // The flags of the active screen.
    KittyKeyboardFlags keyboardEnhancementFlags() const {
        return isCurrentBufferAlternate() ? _keyboardModeAlt.flags : _keyboardModeNormal.flags;
    }

    // Modes (TerminalModes.cpp). marginMode, insertMode and wraparound have a copy in each buffer.
    bool sendFocus = false;
    bool cursorHidden = false;
    bool originMode = false;
    bool marginMode = false;
    bool insertMode = false;
    bool wraparound = true;
    bool bracketedPasteMode() const { return _bracketedPasteMode; }
    // Backspace at the left edge goes to the end of the row above.
    bool reverseWraparound = false;
    // LNM: LF, VT and FF also return the carriage.
    bool lineFeedMode = false;
    bool smoothScroll = false;
    bool cursorBlink = false;
    bool allow80To132 = true;
    TerminalConformance conformance = TerminalConformance::vt500;
    // Set by a host while its user has scrolled back: scrolling then keeps the display position.
    bool userScrolling = false;
    // Mouse reporting (TerminalMouse.cpp). Every assignment of the mode, also of the same one, tells the
    // delegate.
    MouseMode mouseMode() const { return _mouseMode; }
    void setMouseMode(MouseMode mode);
    MouseProtocolEncoding mouseProtocol = MouseProtocolEncoding::x10;

    // Character sets (TerminalCharsets.cpp): the map in force for printed bytes (null: none) and G0-G3.
    const CharSetMap* charset = nullptr;
    std::array<const CharSetMap*, 4> gCharsets{};
    int gcharset = 0;
    uint8_t gLevel = 0;

    // Attribute (TerminalSgr.cpp): the attribute of the cells written next.
    const Attribute& currentAttribute() const { return _curAttr; }

    // Graphemes (TerminalPrint.cpp): charToIndexMap, indexToCharMap and lastCharIndex live in the table.
    const GraphemeTable& graphemes() const { return _graphemes; }
    // Gives the grapheme codes no cell holds (screen, scroll-back, either buffer, the copy shown under
    // synchronized output) back to the table (TerminalGraphemes.cpp). Done by a full reset, and after a
    // chunk of input once the table is three quarters full and a quarter of its size of new characters
    // were asked for since the last time, so that its cost per character does not grow with the
    // scroll-back.
    void reclaimGraphemes();
    // The same when due, without a walk of the scroll-back: the codes of its rows are read as they enter it.
    void reclaimGraphemesWhenDue();
    // Counts the reclaims: a code seen before a change of this number may now stand for another text,
    // so whatever is cached by code must be dropped.
    uint64_t graphemeGeneration() const { return _graphemeGeneration; }

    // What cells' hyperlink handles and underline-colour indexes stand for, kept per terminal so that one
    // terminal can neither exhaust nor slow another in the same process. Copies of this terminal's cells
    // (the synchronized-output copy included) read them here too.
    const TinyAtom::Registry& payloadRegistry() const { return _payloads; }
    UnderlineColorTable& underlineColors() { return _underlineColors; }
    const UnderlineColorTable& underlineColors() const { return _underlineColors; }
    // A cell's whole attribute, its underline colour included.
    Attribute attribute(const CharData& cell) const { return cell.attribute(_underlineColors); }
    // The value behind a cell's hyperlink handle (the OSC 8 payload, a std::string), or null.
    const std::any* payload(const CharData& cell) const { return _payloads.target(cell.payload()); }

    // Delegate (TerminalDelegate.h): not owned; null when the host has none or dropped it.
    TerminalDelegate* tdel = nullptr;

    // Parser (TerminalDispatch.cpp): owned; the host may replace it (and then configures it with
    // configureParser).
    EscapeSequenceParser& parser() { return *_parser; }
    void setParser(std::unique_ptr<EscapeSequenceParser> parser) { _parser = std::move(parser); }

    // MARK: Kitty graphics (TerminalKitty.cpp; placement and deletion in TerminalKittyPlacement.cpp)

    // The image store, made with the terminal and never replaced.
    KittyGraphicsState kittyGraphicsState;
    // The placement request, present only while a Kitty image is being handed to the delegate.
    std::optional<KittyPlacementContext> kittyPlacementContext;

    // Drops images until the store fits options.kittyImageCacheLimitBytes (read each time, clamped to
    // 0..4 GiB): those that nothing shows first, then the others, oldest access first.
    void enforceKittyImageCacheLimit();
    // Ids of the images that strips of either buffer (scroll-back included) or placement records show.
    KittyImageIdSet collectUsedKittyImageIds();
    void collectUsedKittyImageIds(const Buffer& buffer, KittyImageIdSet& into) const;
    // Frees every stored image that nothing shows.
    void cleanupUnusedKittyImages();
    // Stamps a stored image as just used; null when it is not stored.
    const KittyGraphicsImage* updateKittyImageAccess(uint32_t imageId);
    void removeKittyImageNumbers(uint32_t imageId);
    // The replies: "OK" only for q=0, errors for q=0 and q=1; framed as APC strings in the form of cc.
    void sendKittyOk(const KittyGraphicsControl& control, std::optional<uint32_t> imageId,
                     std::optional<uint32_t> imageNumber, std::optional<uint32_t> placementId);
    void sendKittyError(const KittyGraphicsControl& control, std::string_view message);

    // MARK: Kitty placements (TerminalKittyPlacement.cpp), deletion and clearing (TerminalKittyDelete.cpp),
    // parent-relative placements (TerminalKittyRelative.cpp), image strips (TerminalImageStrips.cpp)

    using KittyPlacementKeySet = std::unordered_set<KittyPlacementKey>;
    // Where a placement is: a line index of the buffer's ring and a screen column.
    struct KittyPlacementPosition {
        int64_t row = 0;
        int64_t col = 0;
        bool operator==(const KittyPlacementPosition&) const = default;
    };
    using KittyPlacementPositions = std::unordered_map<KittyPlacementKey, KittyPlacementPosition>;
    // Positions worked out during one resolution pass; nothing for a placement found unresolvable.
    using KittyResolvedPositions =
        std::unordered_map<KittyPlacementKey, std::optional<KittyPlacementPosition>>;
    // The position a parent placement gives a new placement, or the error that refuses it.
    struct KittyPlacementOrigin {
        std::optional<int64_t> col;
        std::optional<int64_t> row;
        bool isRelative = false;
        std::optional<std::string_view> errorMessage;
    };
    using KittyStripPredicate = std::function<bool(const KittyPlacementImage&)>;
    using KittyRecordPredicate = std::function<bool(const KittyPlacementRecord&)>;

    // Most cells a placement may ask for across and down (c, r); larger requests are refused.
    static constexpr int64_t maxKittyPlacementCells = 1000;
    // Most placement records kept; a new one beyond is refused.
    static constexpr size_t maxKittyPlacementRecords = 4096;
    // Most bytes the image strips of the terminal hold: an image that needs room drops the strips of the
    // oldest lines first, and one larger than all of it is shown smaller.
    static constexpr int64_t defaultImageStripByteLimit = int64_t(256) << 20;
    int64_t imageStripByteLimit = defaultImageStripByteLimit;
    // The cell size strips are cut to while the delegate reports none.
    static constexpr CellPixelSize defaultImageCellSize{10, 20};

    // Removes the strips (both buffers) and the record of one placement.
    void removeKittyPlacement(uint32_t imageId, uint32_t placementId);

    // The delete selectors. Columns and rows are 1-based screen positions; no zIndex matches any.
    void deletePlacementsVisibleOnScreen();
    void deletePlacementsByImageId(uint32_t imageId, std::optional<uint32_t> placementId);
    void deletePlacementsAtCell(int64_t col, int64_t row, std::optional<int64_t> zIndex);
    void deletePlacementsInColumn(int64_t col);
    void deletePlacementsInRow(int64_t row);
    void deletePlacementsWithZIndex(int64_t zIndex);
    void deletePlacementsByImageIdRange(uint32_t minId, uint32_t maxId);
    // Takes the Kitty strips the predicate accepts off the lines lineStart..lineEnd - 1 of a buffer and
    // answers the keys of those that had both ids; marks the changed rows when the buffer is active.
    KittyPlacementKeySet removeKittyPlacements(Buffer& buffer, int64_t lineStart, int64_t lineEnd,
                                               const KittyStripPredicate& predicate);
    KittyPlacementKeySet removePlacementRecords(const KittyRecordPredicate& predicate);
    // Every strip of these placements, from both buffers.
    KittyPlacementKeySet removeKittyPlacementsByKey(const KittyPlacementKeySet& keys);
    // Every Kitty placement of one buffer (strips and the records of that screen), then the images
    // nothing shows any more.
    void clearKittyImages(Buffer& buffer, bool isAlternateBuffer);
    // Every strip of both buffers (of any protocol), every record and every stored image; the id counters
    // stay.
    void clearAllKittyImages();

    // The origin given by the command's parent keys (P and Q together), if any.
    KittyPlacementOrigin resolveKittyPlacementOrigin(const KittyGraphicsControl& control);
    // The position of one placement of the active buffer, following its parents: positions holds where
    // strips are; resolved and visiting carry over between calls of one pass.
    std::optional<KittyPlacementPosition>
    resolveKittyPlacementPosition(const KittyPlacementKey& key, const KittyPlacementPositions& positions,
                                  KittyResolvedPositions& resolved, KittyPlacementKeySet& visiting);
    // The topmost line holding a strip of each keyed placement, with that strip's column.
    KittyPlacementPositions collectKittyPlacementPositions(const Buffer& buffer) const;
    // After the active buffer scrolled: records follow their strips, and placements relative to a parent
    // move to their parent's position plus their offsets.
    void updateKittyRelativePlacementsForCurrentBuffer();
    // Takes every strip of the placement off its line and attaches it deltaRow lines further down (strips
    // that would leave the ring are dropped), at the new column, with the new top row.
    void moveKittyPlacementImages(Buffer& buffer, const KittyPlacementKey& key, int64_t deltaRow,
                                  int64_t newTopRow, int64_t newLeftCol);

    // Shows a premultiplied RGBA picture at the cursor: sizes it in cells, cuts it into strips one cell
    // row high (each made by the delegate's makeImageStrip) and attaches them to the lines from the
    // cursor's down, line-feeding after each. A Kitty placement request in kittyPlacementContext adds the
    // placement's record and identity and its cursor step.
    void insertImage(const KittyRgbaBitmap& picture, ImageSizeRequest width, ImageSizeRequest height,
                     bool preserveAspectRatio);
    // The same for pixels of another protocol (Sixel): as wide as the screen at most, aspect kept; with a
    // Kitty placement request, its sizes.
    void insertImageFromBitmap(std::vector<uint8_t> bytes, int width, int height);
    // Bytes held by the image strips alive.
    int64_t imageStripBytes() const { return *_imageStripBytes; }

    // Changed rows (Terminal.cpp): screen rows and scroll-invariant rows since the host last drew, each
    // from start to end with both ends included (UpdateRange); the host reads and clears them.
    int refreshStart = INT_MAX;
    int refreshEnd = -1;
    int scrollInvariantRefreshStart = INT_MAX;
    int scrollInvariantRefreshEnd = -1;

    // Colours (TerminalColors.cpp): the 16 base colours, the 256-colour palette generated from them (the
    // target of every reset) and the palette in force.
    std::vector<Color> installedColors;
    std::vector<Color> defaultAnsiColors;
    std::vector<Color> ansiColors;
    const Color& foregroundColor() const { return _foregroundColor; }
    const Color& backgroundColor() const { return _backgroundColor; }
    const std::optional<Color>& cursorColor() const { return _cursorColor; }
    // The setters run the colour observers: they tell the delegate (unless that notice is already
    // running) and, for the default colours under the base16Lab strategy, rebuild the palette.
    void setForegroundColor(const Color& color);
    void setBackgroundColor(const Color& color);
    void setCursorColor(const std::optional<Color>& color);
    Ansi256PaletteStrategy ansi256PaletteStrategy() const { return options.ansi256PaletteStrategy; }
    // A different strategy is stored in the options and rebuilds the palette with notice.
    void setAnsi256PaletteStrategy(Ansi256PaletteStrategy strategy);

    // Controls: 7-bit or 8-bit introducers of replies (TerminalReports.cpp).
    CC cc;

    // Host notices (TerminalOsc.cpp, TerminalWindow.cpp)
    const std::optional<std::string>& hostCurrentDirectory() const { return _hostCurrentDirectory; }
    const std::optional<std::string>& hostCurrentDocument() const { return _hostCurrentDocument; }
    std::string terminalTitle;
    std::string iconTitle;
    std::vector<std::string> terminalTitleStack;
    std::vector<std::string> terminalIconStack;
    // Title modes of CSI > Ps t / T, recorded only.
    bool xtermTitleSetUtf = false;
    bool xtermTitleSetHex = false;
    bool xtermTitleQueryUtf = false;
    bool xtermTitleQueryHex = false;

    // Hyperlinks (TerminalHyperlinks.cpp)
    std::optional<HyperLinkTracking> hyperLinkTracking;

    // Log (Terminal.cpp): when set, the terminal reports nothing of what the program sent that it does not
    // handle (broken invariants are reported whatever it says).
    bool silentLog = true;

    // MARK: Construction, set-up, buffers and size (Terminal.cpp)

    // The delegate is not owned; before init returns it has received one mouseModeChanged.
    Terminal(TerminalDelegate* delegate, const TerminalOptions& options);
    ~Terminal() override;
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    Dims getDims() const { return {_cols, _rows}; }
    // Row counted from the top of the screen.
    CursorLocation getCursorLocation() const { return {_buffer->x(), _buffer->y()}; }
    int getTopVisibleRow() const { return _buffer->yDisp(); }
    // The row as displayed (row + yDisp); null outside the screen.
    BufferLinePtr getLine(int row);
    // A column past a shorter line reads its last cell; nothing outside the screen.
    std::optional<CharData> getCharData(int col, int row);
    std::optional<std::string> getCharacter(int col, int row);
    // The row counted from the first line the active buffer ever held (linesTop on).
    BufferLinePtr getScrollInvariantLine(int row);

    // Initial state; the host calls it with false after replacing options.
    void setup(bool isReset);
    void resetNormalBuffer();
    void resizeBuffers(int newColumns, int newRows);
    // The alternate screen with its viewport filled (fillAttr null: the default attribute) and back; the
    // cursor keeps its screen position across a switch. Neither tells the delegate.
    void activateAltBuffer(const std::optional<Attribute>& fillAttr);
    void activateNormalBuffer(bool clearAlt);
    // Sizes below 2 x 1 are raised; the same size does nothing.
    void resize(int cols, int rows);
    // Scroll-back lines of the normal buffer; nullopt for none.
    void changeScrollback(std::optional<int> lines);
    void changeHistorySize(std::optional<int> lines) { changeScrollback(lines); }
    // RIS (ESC c): a full reset, the parser's included.
    void cmdReset();
    // A full reset without the parser reset.
    void resetToInitialState();

    // Feeding. Neither clears the changed rows nor calls the delegate.
    void feed(std::span<const uint8_t> bytes) { _parser->parse(bytes); }
    void feed(std::string_view text) { _parser->parse(text); }
    void parse(std::span<const uint8_t> bytes) { _parser->parse(bytes); }

    // Changed rows. A screen row widens the screen range (a row above or below the screen, as a change in
    // the scroll-back is while the user looks elsewhere, does not); unless scrolling, the row plus the
    // buffer's yDisp widens the scroll-invariant range.
    void updateRange(int y, bool scrolling = false) { updateRange(*_buffer, y, scrolling); }
    void updateRange(const Buffer& borrowing, int y, bool scrolling = false) {
        if (!scrolling) {
            const int v = y + borrowing.yDisp();
            if (v >= 0) {
                if (v < scrollInvariantRefreshStart) scrollInvariantRefreshStart = v;
                if (v > scrollInvariantRefreshEnd) scrollInvariantRefreshEnd = v;
            }
        }
        if (y >= 0 && y < _rows) {
            if (y < refreshStart) refreshStart = y;
            if (y > refreshEnd) refreshEnd = y;
        }
    }
    // Rows 0 to rows - 1, and yDisp to yDisp + rows - 1.
    void updateFullScreen();
    std::optional<UpdateRange> getUpdateRange() const;
    std::optional<UpdateRange> getScrollInvariantUpdateRange() const;
    void clearUpdateRange();

    // The text to the diagnostics sink (severity info), unless silentLog.
    void log(std::string_view text, DiagnosticKind kind = DiagnosticKind::unhandledSequence) const;

    // MARK: Parser wiring and dispatch (TerminalDispatch.cpp)

    // Installs the print path, the fallbacks and the diagnostics in the parser.
    void configureParser(EscapeSequenceParser& parser);
    // The closure takes every OSC with that code, before the terminal's own handling.
    void registerOscHandler(int64_t code, EscapeSequenceParser::OscHandler handler);

    void handleExecute(uint8_t code) override;
    bool handleCsi(uint8_t code, const SequenceParams& pars, std::string_view collect) override;
    bool handleEsc(std::string_view collect, uint8_t code) override;
    bool handleOsc(int64_t code, std::span<const uint8_t> data) override;
    void handleKittyGraphics(std::span<const uint8_t> content) override;
    std::unique_ptr<DcsHandler> makeDcsHandler(std::string_view collect, uint8_t code,
                                               const SequenceParams& pars) override;

    // MARK: Print path and C0 controls (TerminalPrint.cpp)

    // A run of printable bytes: UTF-8 with the active character set, widths, graphemes, joining.
    void handlePrint(std::span<const uint8_t> data);
    // An escape sequence or a string starts (or the parser resets): the start of a UTF-8 sequence held
    // back from the last run will not be finished, and prints now as a lone bad lead byte would. A C0
    // control between the halves of a sequence leaves them be.
    void printStateReset() {
        if (_readingBuffer.putbackCount > 0) printHeldBytes();
    }
    // The cell code of a character (UTF-8 text of one grapheme): "\r\n" is 10, a scalar up to U+FFFF its
    // value, anything else a grapheme code. When the table is full, U+FFFD (a single scalar keeps its own
    // value instead).
    int32_t code(std::string_view character);
    // The text of a cell code: the scalar, the grapheme, or " " for a value that is neither.
    std::string character(int32_t code) const;
    std::string getCharacter(const CharData& cell) const { return character(cell.code); }
    static CharData makeCharData(const Attribute& attribute, int32_t code, int8_t size) {
        return CharData(attribute, code, size);
    }
    CharData makeCharData(const Attribute& attribute, std::string_view character, int8_t size) {
        return CharData(attribute, code(character), size);
    }
    static CharData makeCharData(const Attribute& attribute, char32_t scalar, int8_t size) {
        return CharData(attribute, int32_t(scalar), size);
    }
    void updateCharData(CharData& cell, std::string_view character, int32_t size) {
        cell.setValue(code(character), int8_t(size));
    }
    static void updateCharData(CharData& cell, int32_t code, int32_t size) {
        cell.setValue(code, int8_t(size));
    }
    // LF, VT and FF.
    void cmdLineFeedBasic();
    void cmdCarriageReturn();
    void cmdBackspace();

    // MARK: Core scroll and cursor primitives, index (TerminalScroll.cpp)

    // Column to 0..cols - 1 (true) or 0..cols (false), row to the screen (the region in origin mode); marks
    // the row.
    void restrictCursor(bool limitCols = true);
    // 0-based, relative to the region's origin in origin mode.
    void setCursor(int col, int row);
    // Moves the scroll region up one row, feeding the scroll-back at the top of the screen.
    void scroll(bool isWrapped);
    // IND.
    void cmdIndex();

    // MARK: Character sets (TerminalCharsets.cpp)

    void setgLevel(uint8_t v);
    void setgCharset(int v, const CharSetMap* charset);
    // SCS: the intermediate picks the slot ("(" G0, ")" and "-" G1, "*" and "." G2, "+" and "/" G3), the
    // final byte the table; anything else designates nothing.
    void selectCharset(uint8_t intermediate, uint8_t designator);
    // DECDHL, DECSWL, DECDWL: the cursor row's line size; its cells stay.
    void setLineRenderMode(BufferLine::RenderLineMode mode);
    // DECALN.
    void cmdScreenAlignmentPattern();

    // MARK: Colours (TerminalColors.cpp)

    // Exactly 16 colours become the base colours; the palette is rebuilt without notice.
    void installPalette(std::span<const Color> colors);
    void rebuildAnsiPalette(bool notifyDelegate);
    // The palette in force back to the palette as built, with one notice for all entries.
    void resetAllColors();
    // OSC 4: index;spec pairs, a spec of "?" queries the entry.
    void oscChangeOrQueryColorIndex(std::span<const uint8_t> data);
    // OSC 10, 11 and 12 (startAt 0, 1, 2): set or query the default colours and the cursor colour.
    void oscSetColors(std::span<const uint8_t> data, int startAt);
    // OSC 104: no data resets every entry, else the listed ones.
    void oscResetColor(std::span<const uint8_t> data);
    // OSC 112: asks the delegate to drop the cursor colour.
    void oscResetCursorColor();
    // OSC, the code text, ";", the colour as rgb:rrrr/gggg/bbbb, ST.
    void reportColor(std::string_view oscCode, const Color& color);

    // MARK: Character attributes (TerminalSgr.cpp)

    // SGR (CSI ... m). A sequence with a prefix or an intermediate does nothing.
    void cmdCsiM(const SequenceParams& pars, std::string_view collect);
    // The colour of 38, 48 or 58 from startIndex on, in the ":" or the ";" form, and the parameters it
    // consumed; no colour when it is malformed.
    struct ExtendedColor {
        std::optional<Attribute::Color> color;
        int consumed = 0;
    };
    static ExtendedColor parseExtendedColor(const SequenceParams& pars, int startIndex, bool usesColon);

    // MARK: Reports and replies (TerminalReports.cpp)

    // Joins the items (byte lists, texts, single bytes) into one send() to the delegate.
    template<class... Items>
    void sendResponse(const Items&... items) {
        std::vector<uint8_t> bytes;
        (appendResponse(bytes, items), ...);
        sendBytes(bytes);
    }
    void sendResponse(std::string_view text) { sendResponse<std::string_view>(text); }
    // DA (CSI c, CSI > c).
    void cmdSendDeviceAttributes(const SequenceParams& pars, std::string_view collect);
    // DSR (CSI n, CSI ? n).
    void cmdDeviceStatus(const SequenceParams& pars, std::string_view collect);
    // DECSCUSR (CSI Ps SP q).
    void cmdSetCursorStyle(const SequenceParams& pars, std::string_view collect);
    // The cursor style, told to the delegate before the options take it; the same style does nothing.
    void setCursorStyle(CursorStyle style);
    // DECSTR (CSI ! p); the view also calls it after resetting its font and after resizing.
    void cmdSoftReset() { softReset(); }
    void softReset();
    // CSI ... p by its intermediates: DECSTR, DECSCL, DECRQM.
    void csiPHandler(const SequenceParams& pars, std::string_view collect);

    // MARK: Synchronized output (TerminalSynchronizedOutput.cpp)

    // DECSET 2026: readers see a copy of the active buffer until the batch ends or a second passes
    // without a renewal.
    void beginSynchronizedOutput();
    // DECRST 2026, the time-out, resize, full reset: drops the copy and marks the whole screen.
    void endSynchronizedOutput();
    // (Re)arms the time-out on the executor.
    void scheduleSynchronizedOutputTimeout();
    // A copy of the buffer for readers: its rows share their cells with the source's until either side
    // writes them.
    std::unique_ptr<Buffer> snapshotBuffer(Buffer& source);
    // Marks the two screen rows for redraw.
    void refresh(int startRow, int endRow);

    // MARK: Cursor movement and editing (TerminalCursor.cpp)

    // The last column the cursor may stand on in its row: a double-width or double-height row shows
    // cols / 2 columns.
    int cursorRowLastColumn() const;
    // After a motion onto another row: a column past the row's last comes back onto it.
    void holdCursorToRow();
    // CUF and CUB: at least one column, held to the margins the cursor is inside of.
    void cursorForward(int count);
    void cursorBackward(int count);
    // The screen row's cells become erase cells, unwrapped and single size; the row is marked.
    void resetBufferLine(int y, bool clearImages);
    // The commands below ignore the collected bytes, except DECSC and DECRC, which do nothing with any.
    void cmdCursorUp(const SequenceParams& pars, std::string_view collect);
    void cmdCursorDown(const SequenceParams& pars, std::string_view collect);
    void cmdCursorCharAbsolute(const SequenceParams& pars, std::string_view collect);
    void cmdCursorPosition(const SequenceParams& pars, std::string_view collect);
    void cmdHVPosition(const SequenceParams& pars, std::string_view collect);
    void cmdCharPosAbsolute(const SequenceParams& pars, std::string_view collect);
    void cmdHPositionRelative(const SequenceParams& pars, std::string_view collect);
    void cmdLinePosAbsolute(const SequenceParams& pars, std::string_view collect);
    void cmdVPositionRelative(const SequenceParams& pars, std::string_view collect);
    void cmdInsertChars(const SequenceParams& pars, std::string_view collect);
    void cmdDeleteChars(const SequenceParams& pars, std::string_view collect);
    void cmdEraseChars(const SequenceParams& pars, std::string_view collect);
    void cmdEraseInLine(const SequenceParams& pars, std::string_view collect);
    void cmdEraseInDisplay(const SequenceParams& pars, std::string_view collect);
    void cmdInsertLines(const SequenceParams& pars, std::string_view collect);
    void cmdDeleteLines(const SequenceParams& pars, std::string_view collect);
    void cmdRepeatPrecedingCharacter(const SequenceParams& pars, std::string_view collect);
    void cmdTabClear(const SequenceParams& pars, std::string_view collect);
    void cmdSaveCursor(const SequenceParams& pars, std::string_view collect);
    void cmdRestoreCursor(const SequenceParams& pars, std::string_view collect);
    // DECSCL (CSI Pl ; Pc " p).
    void cmdSetConformanceLevel(const SequenceParams& pars, std::string_view collect);

    // MARK: Scrolling, index and margins (TerminalScrolling.cpp)

    // RI.
    void reverseIndex();
    // SU: the new rows are blank in the default colours, not the erase cell.
    void cmdScrollUp(const SequenceParams& pars, std::string_view collect);
    // SD: moves the cells between the margins down, margin mode or not.
    void cmdScrollDown(const SequenceParams& pars);
    // DECSTBM; homes the cursor whether or not it takes the region.
    void cmdSetScrollRegion(const SequenceParams& pars, std::string_view collect);
    // DECSLRM.
    void cmdSetMargins(const SequenceParams& pars, std::string_view collect);
    // DECBI (back) and DECFI.
    void columnIndex(bool back);
    // Inserts (back) or deletes one column at a column in every row of the scroll region.
    void columnScroll(bool back, int at);
    void emitLineFeed();

    // MARK: Modes (TerminalModes.cpp), mouse and focus reporting (TerminalMouse.cpp), Kitty keyboard flags
    // (TerminalKeyboard.cpp)

    // SM and DECSET, RM and DECRST: each parameter in order. No intermediate selects the ANSI modes, exactly
    // "?" the DEC private modes.
    void cmdSetMode(const SequenceParams& pars, std::string_view collect);
    void cmdResetMode(const SequenceParams& pars, std::string_view collect);
    void setMode(int64_t mode, std::string_view collect);
    void resetMode(int64_t mode, std::string_view collect);
    // DECRQM: reports the state of the mode named by the first parameter.
    void cmdDecRqm(const SequenceParams& pars, bool decMode);
    // The two DECRQM forms of CSI ... p ("?$" and "$"); false for every other collect.
    bool cmdRequestMode(const SequenceParams& pars, std::string_view collect);
    // DECSET 25 and DECRST 25, for the host.
    void showCursor();
    void hideCursor();

    // Whether the mode puts the modifier bits into button codes, and whether it reports motion with no
    // button pressed.
    static bool sendsModifiers(MouseMode mode);
    static bool sendMotionEvent(MouseMode mode);
    // A button code: 1, 2, 3 are the first three buttons, 4 and 5 the wheel; release gives 3.
    int encodeButton(int button, bool release, bool shift, bool meta, bool control) const;
    // One report in the selected encoding, for a 0-based cell (and its pixel position for sgrPixel). The
    // view decides which events the mouse mode reports; the terminal sends whatever it is given.
    void sendEvent(int buttonFlags, int x, int y);
    void sendEvent(int buttonFlags, int x, int y, int pixelX, int pixelY);
    // sendEvent with the motion bit (32) added.
    void sendMotion(int buttonFlags, int x, int y, int pixelX, int pixelY);
    // Appends a value of a 1005 report: one byte up to 127, two bytes up to 2046.
    static void encodeMouseUtf(std::vector<uint8_t>& data, int ch);
    // CSI I or CSI O while focus reporting (1004) is on.
    void setTerminalFocus(bool focused);

    // CSI ? u, CSI > u, CSI < u, CSI = u on the active screen's state; false for any other CSI ... u.
    bool handleKittyKeyboardProtocol(const SequenceParams& pars, std::string_view collect);

    // MARK: Host notices and inline images (TerminalOsc.cpp), hyperlinks (TerminalHyperlinks.cpp), link
    // detection (TerminalLinks.cpp)

    // The title is stored, then the delegate is told, even of an empty or unchanged title.
    void setTitle(const std::string& text);
    void setIconTitle(const std::string& text);
    // OSC 0 and 2, OSC 1: the payload as UTF-8; bytes that are not UTF-8 give the empty title.
    void oscSetTitle(std::span<const uint8_t> data);
    void oscSetIconTitle(std::span<const uint8_t> data);
    // OSC 6 and 7: only with a delegate that trusts the process; the UTF-8 text is stored as sent, then
    // the delegate is told (it reads the field).
    void oscSetCurrentDocument(std::span<const uint8_t> data);
    void oscSetCurrentDirectory(std::span<const uint8_t> data);
    // OSC 9 "4;state[;progress]"; nothing for any other OSC 9.
    static std::optional<ProgressReport> parseProgressReport(std::span<const uint8_t> data);
    // OSC 9 as dispatched: false when it is no progress report, so the fallback logs it.
    bool oscProgressReport(std::span<const uint8_t> data);
    // OSC 52 "c;" and strict Base64. Other selections and the query form are ignored: the clipboard is
    // never read back to the program.
    void oscClipboardCopy(std::span<const uint8_t> data);
    // OSC 777 "notify;title;body"; the body may itself hold ";".
    void oscNotification(std::span<const uint8_t> data);
    // OSC 1337: an inline "File" transfer becomes createImage; any other keyed message goes to the
    // delegate unparsed.
    void osciTerm2(std::span<const uint8_t> data);

    // OSC 8: opens a link at the cursor, or (payload ";") closes it and gives every cell from the start to
    // the cursor a handle whose value is the payload. A payload longer than this opens nothing and drops
    // the link in progress: the handles' values stay small however many links the scroll-back holds.
    static constexpr size_t maxHyperlinkPayloadLength = 2048;
    void oscHyperlink(std::span<const uint8_t> data);
    // The URI of a payload: everything after its first ";"; nothing without one.
    static std::optional<std::string> parseHyperlinkPayload(std::string_view payload);
    // Releases this terminal's handles that no cell carries any more, oldest first, stopping at the first
    // one still in use. Also runs when no handle is left for a new link.
    void garbageCollectPayload();

    // The link under a position: an OSC 8 link first, then (explicitAndImplicit) a URL or path found in
    // the text of the logical line around it. Reads the display buffer, changes nothing.
    std::optional<std::string> link(const LinkLookupLocation& at, LinkLookupMode mode);
    std::optional<LinkMatch> linkMatch(const LinkLookupLocation& at, LinkLookupMode mode);

    // MARK: Text extraction (TerminalText.cpp)
    //
    // Rows count from the oldest line held in the buffer; the end column is exclusive; the two positions
    // may come in either order. Rows the ring has not made yet read as blank without being made.

    // The text between two positions in the active buffer.
    std::string getText(const Position& start, const Position& end);
    // The same in the display buffer (what copy, the selection and the find bar read).
    std::string getDisplayText(const Position& start, const Position& end);
    std::string getText(const Position& start, const Position& end, const Buffer& buffer) const;
    // The logical lines between two ordered positions, as fragments; never empty.
    std::vector<Line> _getSelectedLines(const Position& start, const Position& end,
                                        const Buffer& buffer) const;
    // Columns [start, end) of a row, trailing empty cells dropped; end -1 for the whole row.
    std::string translateBufferLineToString(const Buffer& buffer, int line, int start, int end) const;
    // Appends the text of cells [start, end) of a row: the halves of wide characters after them skipped,
    // graphemes resolved, empty cells as spaces. The range must lie inside the row.
    void appendCellText(const BufferLine& line, int start, int end, std::string& out) const;
    Buffer& bufferFromKind(BufferKind kind);
    // Every row of the buffer, each followed by a line feed, in an encoding that ICU knows by this name
    // ("UTF-8", "ISO-8859-1", "Shift_JIS" ...); a row that cannot be represented is left out. Nothing for
    // an unknown encoding.
    std::optional<std::vector<uint8_t>> getBufferAsData(BufferKind kind, std::string_view encoding = "UTF-8");

    // MARK: Window operations (TerminalWindow.cpp)

    // Depth of each title stack: a push onto a full stack drops its oldest entry.
    static constexpr size_t titleStackLimit = 10;
    // CSI Ps ; Ps ; Ps t without intermediates: window requests go to the delegate, size and title reports
    // are answered, titles are saved and restored. Nothing at all without a delegate.
    void cmdWindowOptions(const SequenceParams& pars);

    // MARK: Rectangular-area operations (TerminalRect.cpp)

    // 0-based, inclusive screen coordinates.
    struct Rectangle {
        int top = 0;
        int left = 0;
        int bottom = 0;
        int right = 0;
        bool operator==(const Rectangle&) const = default;
    };
    // Top, left, bottom and right (1-based, inclusive, 0 or absent for the defaults), shifted in origin
    // mode and clamped to the screen; nothing for an empty or inverted area.
    std::optional<Rectangle> getRectangleFromRequest(std::span<const int64_t> values) const;
    // CSI ... $ v (DECCRA); other collects do nothing.
    void csiCopyRectangularArea(const SequenceParams& pars, std::string_view collect);
    // CSI ... $ x (DECFRA); other collects are logged.
    void csiX(const SequenceParams& pars, std::string_view collect);
    // CSI ... $ z (DECERA), CSI ... ' z (DECELR, only logged).
    void csiZ(const SequenceParams& pars, std::string_view collect);
    void cmdDECERA(const SequenceParams& pars);
    // CSI ... $ { (DECSERA); other collects are logged.
    void csiOpenBrace(const SequenceParams& pars, std::string_view collect);
    void cmdSelectiveEraseRectangularArea(const SequenceParams& pars);
    // CSI Pn ' } (DECIC); other collects are logged.
    void csiCloseBrace(const SequenceParams& pars, std::string_view collect);
    // CSI Pn ' ~ (DECDC), whatever the collect.
    void cmdDeleteColumns(const SequenceParams& pars, std::string_view collect);
    // CSI Pid ; Pp ; Pt ; Pl ; Pb ; Pr * y (DECRQCRA), whatever the collect: always answered, with 0000
    // unless the delegate trusts the process.
    void cmdDECRQCRA(const SequenceParams& pars, std::string_view collect);
    // Widens the changed rows to a rectangle's screen rows.
    void markRows(int top, int bottom);

private:
    // The cell a run is joining scalars to, with its text so far; it gets its code when the joining ends.
    // Nothing moves the row while scalars join it: the run flushes the join before any other write.
    struct PendingJoin {
        bool active = false;
        BufferLine* line = nullptr;
        int row = 0;
        int column = 0;
        // The column of the cell before it was held to the row's length.
        int p = 0;
        int width = 0;
        uint32_t lastScalar = 0;
        uint8_t lastInfo = 0;
        int length = 0;
        char text[GraphemeTable::maxLength + 4];

        std::string_view view() const { return {text, size_t(length)}; }
    };

    // Print path state between runs: the start of a UTF-8 sequence the last run did not finish (at most
    // three bytes). A run is read in place; these bytes are read before it.
    struct ReadingBuffer {
        std::array<uint8_t, 4> putbackBuffer{};
        int putbackCount = 0;
    };

    // Terminal.cpp
    std::unique_ptr<Buffer> makeBuffer(int cols, int rows, std::optional<int> scrollback);
    void markWholeScreen();

    // TerminalPrint.cpp
    void printRun(std::span<const uint8_t> data);
    // Without wraparound there is no column past the edge waiting to wrap: a cursor that writing left one
    // column beyond the right margin (or the screen's last column) goes back onto it. xBefore: the column
    // before the writing.
    void holdCursorAtRightEdge(int xBefore);
    void printGeneral(std::span<const uint8_t> data);
    // Plain ASCII from begin to end at the cursor.
    void printAscii(const uint8_t* begin, const uint8_t* end);
    // A byte that is a character by itself: translated by the character set, else Latin-1.
    void printByte(uint8_t b);
    // Keeps the start of a sequence the run did not finish.
    void holdBack(const uint8_t* bytes, int count);
    // Prints the held start of a sequence that was cut short, its continuation bytes dropped.
    void printHeldBytes();
    void printScalar(uint32_t scalar);
    // A scalar's cell code: its value up to U+FFFF, else its grapheme code.
    int32_t scalarCode(uint32_t scalar);
    // The text of a code without allocating (scratch holds an encoded scalar).
    std::string_view characterText(int32_t code, std::array<char, 4>& scratch) const;
    void insertOwnCell(int32_t code, int width);
    // Writes a cell of width 1 or 2 at the cursor when it fits there as it is (no wrap, no insert
    // mode, a row of full width) and notes it as the last cell; false when it was left to insertOwnCell.
    bool placeCellInRow(int32_t code, int width, bool isIndicator);
    // After a cell placed so: the cells of the scalars from begin on that can go the same way, until one
    // may join; answers the bytes taken.
    size_t placeCellsInRow(const uint8_t* begin, const uint8_t* end);
    // After an ASCII run that ends at p: joins the marks from p on to the run's last cell; answers
    // where the general path goes on.
    const uint8_t* joinMarksToAscii(const uint8_t* p, const uint8_t* end);
    // info: the scalar's width and joining classes (TerminalPrint.cpp).
    void joinToLastCell(uint32_t scalar, uint8_t info);
    // Gives the cell being joined its code.
    void finishJoin();
    // The row of the last cell written, when the screen has not been resized since.
    BufferLine* lastWrittenLine();
    // Reads what the cell written last (before this run) ends with, when the screen kept its size since.
    void learnLastCell();
    // Records what the print path just wrote into the last cell (see _lastCell).
    void noteLastCell(bool endsWithJoiner, bool isIndicator);
    void noteLastCell(bool endsWithJoiner, bool isIndicator, BufferLine* line);

    // TerminalScroll.cpp. The erase attribute: default foreground, the current background, nothing
    // else; the erase cell: code 0, width 1 and that attribute (what erasing, inserting and scrolling
    // write).
    Attribute eraseAttribute() const;
    const CharData& eraseCell();
    // A copy of the template row for a new bottom row, the template rebuilt when its width or the erase
    // cell no longer fits.
    BufferLinePtr blankLineCopy(bool isWrapped);
    // The end of every scroll: the view, the changed rows, image placements and the delegate.
    void finishScroll();

    // TerminalSynchronizedOutput.cpp
    // The last copy, kept for a second after its batch: a program that batches every frame renews its
    // rows instead of allocating them. Released when no batch follows, so that it pins no cells.
    std::unique_ptr<Buffer> _spareSnapshot;
    Executor::TaskId _spareSnapshotRelease = 0;
    // What the executor's tasks hold weakly in place of the terminal.
    std::shared_ptr<Terminal*> _lifeToken = std::make_shared<Terminal*>(this);
    // The spare copy when it fits the source, else null; the spare is gone either way.
    std::unique_ptr<Buffer> takeSpareSnapshot(const Buffer& source);
    void retireSnapshot();
    // Counts the copies taken, so that a collection marking one knows when another took its place (the
    // spare comes back as the same object).
    uint64_t _snapshotGeneration = 0;

    // TerminalReports.cpp
    static void appendResponse(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    static void appendResponse(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    static void appendResponse(std::vector<uint8_t>& out, std::string_view text) {
        out.insert(out.end(), text.begin(), text.end());
    }
    static void appendResponse(std::vector<uint8_t>& out, const std::string& text) {
        appendResponse(out, std::string_view(text));
    }
    static void appendResponse(std::vector<uint8_t>& out, const char* text) {
        appendResponse(out, std::string_view(text));
    }
    static void appendResponse(std::vector<uint8_t>& out, uint8_t byte) { out.push_back(byte); }
    void sendBytes(std::span<const uint8_t> bytes);

    // Kitty graphics commands (TerminalKitty.cpp). Data is a command's payload decoded from Base64 (its
    // chunks joined), nothing when it did not decode.
    void processKittyGraphics(const KittyGraphicsControl& control, std::optional<std::vector<uint8_t>> data);
    void handleKittyTransmit(const KittyGraphicsControl& control, std::optional<std::vector<uint8_t>> data,
                             bool display);
    void handleKittyTransmitPayload(const KittyGraphicsControl& control, KittyGraphicsPayloadPtr payload,
                                    bool display);
    void storeKittyImage(KittyGraphicsPayloadPtr payload, uint32_t imageId,
                         std::optional<uint32_t> imageNumber);
    void sendKittyReply(std::string_view body);
    // Placement and deletion (TerminalKittyPlacement.cpp). displayKittyImage shows a payload by the
    // command's placement keys and answers whether the command succeeded (false after an error reply).
    void handleKittyPut(const KittyGraphicsControl& control);
    bool displayKittyImage(const KittyGraphicsPayload& payload, const KittyGraphicsControl& control,
                           std::optional<uint32_t> imageId, std::optional<uint32_t> imageNumber);
    void handleKittyDelete(const KittyGraphicsControl& control);
    bool displayKittyVirtualPlacement(const KittyGraphicsControl& control, std::optional<uint32_t> imageId);
    // The delegate's cell size in pixels; nothing without a delegate or for a side below 1.
    std::optional<CellPixelSize> kittyCellSize();
    // X and Y raised to 0 and kept inside the first cell.
    std::pair<int64_t, int64_t> kittyPixelOffsets(const KittyGraphicsControl& control);
    uint32_t takeKittyPlacementId();
    void applyKittyCursorPolicy(const KittyPlacementContext& context, std::optional<KittyPixelSize> imageSize,
                                int savedX, int savedY, int startCol, int startLine);
    // TerminalKittyDelete.cpp: the three steps of a selector (strips, records, the other strips of
    // placements whose strips went but whose records stay).
    void runKittyDeletion(bool bothBuffers, int64_t lineStart, int64_t lineEnd,
                          const KittyStripPredicate& strip, const KittyRecordPredicate& record);
    // TerminalKittyRelative.cpp. Where the topmost strip of each keyed placement was last found, per
    // buffer, so that re-anchoring after a scroll looks at a line or two instead of the whole ring. An
    // entry is trusted only while its line is still that object, near that index, holding such a strip;
    // otherwise the ring is scanned again. Entries without a line stand for placements without strips.
    struct KittyStripAnchor {
        std::weak_ptr<BufferLine> line;
        // The placement's first strip on that line.
        std::weak_ptr<TerminalImage> strip;
        int index = -1;
    };
    struct KittyStripAnchors {
        std::unordered_map<KittyPlacementKey, KittyStripAnchor> byKey;
        int cols = 0;
    };
    KittyStripAnchors& kittyStripAnchors(const Buffer& buffer);
    std::optional<KittyPlacementPosition> locateKittyPlacementStrips(const Buffer& buffer,
                                                                     const KittyPlacementKey& key);
    // The placement's topmost strip is `strip` on line `index`; -1: it has none in that buffer.
    void noteKittyStripAnchor(const Buffer& buffer, const KittyPlacementKey& key, int index,
                              const TerminalImagePtr& strip = nullptr);
    // What one re-anchoring pass has resolved and is resolving, kept between passes so that a pass
    // allocates nothing: an entry counts only when stamped with the current pass.
    struct KittyResolveMemo {
        struct Entry {
            uint64_t resolvedPass = 0;
            uint64_t visitingPass = 0;
            uint64_t stripsPass = 0;
            std::optional<KittyPlacementPosition> position;
            // Where the placement's strips were found at the start of the pass.
            std::optional<KittyPlacementPosition> strips;
        };
        std::unordered_map<KittyPlacementKey, Entry> entries;
        uint64_t pass = 0;
        std::vector<std::pair<KittyPlacementKey, const KittyPlacementRecord*>> chain;
    };
    // TerminalImageStrips.cpp: drops the strips of the oldest lines until `bytes` more fit the budget.
    void makeRoomForImageStrips(int64_t bytes);

    // TerminalModes.cpp
    void switchToAltScreen();
    void switchToNormalScreen(bool clearAlt, bool restoreCursor);
    // DECCOLM: the column switch to 132 (set) or 80 columns. It is made once the next command or a
    // reader comes, or the parser's input ends: a run of switches with nothing between them costs one
    // resize and reflow, the last one's.
    void switchColumns(bool set);
    std::optional<bool> _columnSwitch;
    bool _columnSwitchMayWait = false;
    void applyColumnSwitch();
    // Whether the command is a DECCOLM, which a switch still to be made does not wait for.
    static bool isColumnSwitch(uint8_t code, const SequenceParams& pars, std::string_view collect) {
        return (code == 'h' || code == 'l') && collect == "?" && pars.size() == 1 && pars[0] == 3;
    }
    int decModeState(int64_t mode) const;
    int ansiModeState(int64_t mode) const;
    void setWraparound(bool on);
    void setMarginMode(bool on);
    // DECSC and DECRC without intermediates: the cursor state of the active buffer.
    void saveCursorState();
    void restoreCursorState();

    // TerminalKeyboard.cpp
    KeyboardModeState _keyboardModeNormal;
    KeyboardModeState _keyboardModeAlt;

    // Size and buffers
    int _cols = 80;
    int _rows = 25;
    std::unique_ptr<Buffer> _normalBuffer;
    std::unique_ptr<Buffer> _altBuffer;
    Buffer* _buffer = nullptr;

    bool _bracketedPasteMode = false;
    // Set once a row of double width or height was made: until then no row needs the half-width limits.
    bool _doubleWidthRowsMade = false;
    MouseMode _mouseMode = MouseMode::off;
    Attribute _curAttr = Attribute::defaultAttribute();
    GraphemeTable _graphemes;
    // The table's askedCount() at the last reclaim.
    uint64_t _graphemesAskedAtReclaim = 0;
    uint64_t _graphemeGeneration = 0;
    TinyAtom::Registry _payloads;
    UnderlineColorTable _underlineColors;
    std::unique_ptr<EscapeSequenceParser> _parser;

    // Kitty placements and image strips
    KittyStripAnchors _kittyAnchorsNormal;
    KittyStripAnchors _kittyAnchorsAlt;
    KittyResolveMemo _kittyResolveMemo;
    // Shared with every strip alive, which gives its bytes back when it goes (possibly after the terminal).
    std::shared_ptr<int64_t> _imageStripBytes = std::make_shared<int64_t>(0);

    Color _foregroundColor = Color::defaultForeground;
    Color _backgroundColor = Color::defaultBackground;
    std::optional<Color> _cursorColor;
    // Re-entry guards of the colour observers.
    bool _settingFgColor = false;
    bool _settingBgColor = false;
    bool _settingCursorColor = false;

    std::optional<std::string> _hostCurrentDirectory;
    std::optional<std::string> _hostCurrentDocument;

    ReadingBuffer _readingBuffer;
    // What the print path knows of the last cell it wrote in this run: whether it ends with the zero-width
    // joiner and whether it is a lone regional indicator, the two things a following character joins.
    // Trusted while lastBufferStorage still names that cell; forgotten at the start of every run, since
    // other commands may change the cell between runs.
    struct LastCell {
        bool known = false;
        bool endsWithJoiner = false;
        bool isIndicator = false;
        Buffer::LastBufferStorage storage;
        // Its row, good while storage is (only the print path writes during a run).
        BufferLine* line = nullptr;
    };
    LastCell _lastCell;
    // The current attribute as a cell, remade when the attribute changes.
    CharData _printCell;
    Attribute _printCellAttribute;
    PendingJoin _pendingJoin;
    // The codes of a run of one-column characters that join nothing, written as one segment.
    std::vector<uint32_t> _codeRun;
    // The same for runs whose characters all fit a byte (Latin-1).
    std::vector<uint8_t> _byteRun;
    // The continuation cell of a wide character (the buffer's filler attribute), made once per run.
    CharData _continuationCell;
    // The template that scrolling copies for new bottom rows; rebuilt when its width or the erase
    // background no longer fits.
    BufferLinePtr _blankLine;
    CharData _eraseCell;
    Attribute::Color _eraseCellBackground = Attribute::Color::defaultColor();

    // TerminalCursor.cpp, TerminalScrolling.cpp
    // A space with the erase attribute: what inserted and vacated columns hold (DECBI, DECFI, DECDC).
    CharData columnFillCell() const { return CharData(eraseAttribute(), 32, 1); }
    // A blank line for IL, DL and SU: the line leaving the region when nothing else holds it, else a new
    // one.
    BufferLinePtr recycledBlankLine(BufferLinePtr&& leaving, const Attribute& fill) const;
    // Moves the whole lines first ... last of the ring by `by` rows (down when positive); the lines pushed
    // out of the range come back blank at the other end.
    void shiftLines(int first, int last, int by, const Attribute& fill);
    // The same for the cells of columns left ... right of the screen rows top ... bottom; lines keep their
    // wrap flags, sizes and images.
    void shiftCells(int top, int bottom, int left, int right, int by, const CharData& fill);

    // TerminalMarginShift.cpp. Scrolling inside left and right margins turns whole rows round, as
    // scrolling without margins does, so that it costs the same however wide the rows: the columns
    // outside the margins are put back in place later, once, before anything reads or writes them there.
    struct MarginShift {
        bool pending = false;
        // The buffer, its scroll region (screen rows), margins and yBase the rows were turned in.
        const Buffer* buffer = nullptr;
        int top = 0;
        int bottom = 0;
        int left = 0;
        int right = 0;
        int yBase = 0;
        // By row of the region: the row whose cells outside the margins the row object there holds, and
        // the row object holding a row's.
        std::vector<int> owner;
        std::vector<int> holder;
        // Every row of the region unwrapped, single width and without images (what a scroll inside the
        // margins leaves), as of the buffer's count of wraps `wraps`.
        bool settled = false;
        uint64_t wraps = 0;
        // Scratch for turning rows round and keeping what stays with the screen rows.
        std::vector<BufferLinePtr> rows;
        struct RowState {
            bool isWrapped = false;
            BufferLine::RenderLineMode renderMode = BufferLine::RenderLineMode::single;
            std::optional<ImageList> images;
        };
        std::vector<RowState> states;
    };
    mutable MarginShift _marginShift;
    // Starts (or goes on with) turning the rows of the scroll region inside these margins; false when
    // the rows cannot be turned (a row missing or of another width), and the cells must be moved.
    bool beginMarginShift(int left, int right);
    // Turns the screen rows first ... last (inside the region) round by `by` rows (down when positive);
    // with keepStates, each screen row keeps its wrap flag, size and images.
    void turnMarginRows(int first, int last, int by, bool keepStates);
    // The scroll inside the margins that a line feed at the region's bottom makes, by turning rows;
    // false when it cannot be done so.
    bool scrollInsideMargins(const CharData& erase);
    // shiftCells by turning rows; false when it cannot be done so.
    bool shiftCellsByRows(int top, int bottom, int left, int right, int by, const CharData& fill);
    // Work put off until something looks: a column switch to make, the cells outside the margins to
    // put back in place.
    void settlePending() const {
        if (_columnSwitch) [[unlikely]]
            const_cast<Terminal*>(this)->applyColumnSwitch();
        if (_marginShift.pending) [[unlikely]]
            flushMarginShift();
    }
    void flushMarginShift() const;
    // The same for one screen row only, when it is about to be read or written outside the margins.
    void settleMarginShiftRow(int row) const;
    // Before a command: which of the cells outside the margins it may touch must be in place.
    void settleMarginShiftForCsi(uint8_t code, std::string_view collect);
    void settleMarginShiftForEsc(std::string_view collect, uint8_t code);

    // TerminalHyperlinks.cpp: the handles this terminal took and still uses, oldest first.
    struct PayloadHandles {
        // A handle and the row its link ended on, counted as row plus linesTop of the normal buffer.
        struct Taken {
            uint16_t code = 0;
            int64_t row = 0;
        };
        std::deque<Taken> codes;
        // Collection in steps, a little with every new link, so that no single link pays for a walk of
        // the whole scroll-back and the release of tens of thousands of handles. A pass marks the codes
        // of the screens at once, then those of the scroll-back rows a slice at a time (they change only
        // by leaving the ring); the handles found unused are released a few at a time (no cell can take
        // up an unused handle again).
        struct Pass {
            // The number of oldest handles the pass decides on.
            size_t candidates = 0;
            // The next scroll-back row to mark, counted as row plus linesTop.
            int64_t next = 0;
            // Where the scroll-back ended when the pass began, counted the same way.
            int64_t end = 0;
            // The synchronized-output copy being marked (its generation; 0: none yet) and its next row.
            // The copy never changes while it is shown, so it is marked in slices too.
            uint64_t snapshotGeneration = 0;
            int snapshotNext = 0;
        };
        std::optional<Pass> pass;
        // The codes a pass found in cells.
        std::unique_ptr<std::bitset<65536>> live;
        // Codes a pass found unused, no longer among `codes`, not released yet, and the links taken since
        // the last batch of them went.
        std::vector<uint16_t> unused;
        unsigned stepsSinceBatch = 0;
        // The count of handles that starts the next pass.
        size_t nextPassAt = 0;
        // When most of the registry would be in use, the links of the oldest scroll-back rows give way,
        // a few rows with every new link: the rows from stripNext up to stripEnd (counted as row plus
        // linesTop) lose their handles, and the passes release them. The scroll-back rows before
        // stripNext hold none.
        int64_t stripNext = 0;
        int64_t stripEnd = 0;
        // Links taken in all, and their count and the normal buffer's linesTop when the last pass began:
        // how fast rows leave the ring (taking their links with them) as links come in.
        uint64_t taken = 0;
        uint64_t takenAtPass = 0;
        int64_t topAtPass = 0;
        // Links taken since a full collection found nothing to release: until there are enough of them,
        // a link that finds the registry full goes without a handle rather than walk every row again.
        size_t takesSinceFailedCollection = SIZE_MAX;
    };
    PayloadHandles _payloadHandles;
    // A handle for a closed link's payload, collecting when none is free.
    std::optional<TinyAtom> takePayloadHandle(const std::string& payload);
    // Releases unused handles: oldest first up to the first one in use, or (untilInUse false) every one
    // that no cell carries. Answers how many it released.
    size_t collectPayloadHandles(bool untilInUse);
    // One step of the collection in steps; a resize or a reset of the buffer drops a pass under way.
    void stepPayloadCollection();
    // Marks the next `rows` rows of the synchronized-output copy, if one is shown; answers whether all of
    // its rows are marked.
    bool markSnapshotRows(PayloadHandles::Pass& pass, std::bitset<65536>& live, int rows);
    // The rows a step of the pass marks: more than usual only when the registry would fill first.
    int passRowsPerStep() const;
    // Rows were moved about, added or dropped in the scroll-back: the rows a pass or a strip counted on
    // are no longer those rows. With rowsGone, the rows of the handles taken so far left the buffer.
    void dropPayloadPass(bool rowsGone = false);
    // Releases up to `limit` of the handles known unused.
    void releaseUnusedPayloadHandles(size_t limit);
    // Whether the handles in use when a pass that starts now ends would pass scarceAbove, less the links
    // of the rows that leave the ring meanwhile.
    bool payloadsScarceAtPassEnd(int rowsToMark) const;
    // Moves the end of the rows whose links give way on, to keep the links of the newest `keep` handles.
    void planPayloadStrip(size_t keep);
    // Takes the handles off up to `limit` rows of the scroll-back from stripNext on, up to stripEnd.
    void stripPayloadRows(int limit);

    // TerminalGraphemes.cpp: for each grapheme code, the newest row of the normal buffer's scroll-back
    // (row plus linesTop) that holds it. Scroll-back rows change only by leaving the ring, oldest first:
    // a code whose newest row has left is held by none, and a reclaim reads only the rows that can
    // still change. Kept once the table is busy enough for a reclaim to come.
    struct GraphemeRows {
        bool on = false;
        // The next scroll-back row to read, row plus linesTop.
        int64_t next = 0;
        // By code index, -1 for none; the last entry takes the cells that hold no code.
        std::vector<int64_t> newest;
        // The synchronized-output copy (its generation) made when every scroll-back row was read: its
        // own scroll-back rows are rows read then, and need not be read again.
        uint64_t snapshotRead = 0;
    };
    GraphemeRows _graphemeRows;
    // A resize, a reflow, an erased or resized scroll-back: rows are read afresh.
    void restartGraphemeRows() { _graphemeRows.on = false; }
    // Reads up to `limit` scroll-back rows not read yet; answers whether none is left.
    bool readGraphemeRows(int limit);
    // A synchronized-output copy of `source` was just made.
    void noteGraphemeSnapshot(const Buffer& source);
    // The reclaim with the scroll-back's rows read.
    void reclaimGraphemesByRows();
};

} // namespace Tessaline
