// ANSI and DEC private modes: SM and RM, DECSET and DECRST, the screen and column switches, DECRQM.
#include "Terminal.h"

#include <algorithm>
#include <string>

namespace Tessaline {

namespace {

// What DECSET 5 leaves in the current attribute, and what DECRQM 5 looks for.
constexpr Attribute reverseVideoAttribute() {
    return Attribute(Attribute::Color::defaultInvertedColor(), Attribute::Color::defaultInvertedColor(),
                     CharacterStyle::none);
}

// DECRQM states (3, permanently set, names no mode here).
constexpr int notRecognized = 0;
constexpr int modeSet = 1;
constexpr int modeReset = 2;
constexpr int permanentlyReset = 4;

constexpr int setOrReset(bool on) {
    return on ? modeSet : modeReset;
}

} // namespace

// MARK: SM, RM, DECSET, DECRST

void Terminal::cmdSetMode(const SequenceParams& pars, std::string_view collect) {
    for (int k = 0; k < pars.size(); ++k)
        setMode(pars[k], collect);
}

void Terminal::cmdResetMode(const SequenceParams& pars, std::string_view collect) {
    for (int k = 0; k < pars.size(); ++k)
        resetMode(pars[k], collect);
}

void Terminal::setMode(int64_t mode, std::string_view collect) {
    if (collect.empty()) {
        switch (mode) {
        case 2: // KAM
            break;
        case 4: // IRM
            insertMode = true;
            _normalBuffer->insertMode = true;
            _altBuffer->insertMode = true;
            break;
        case 20: // LNM
            lineFeedMode = true;
            break;
        default:
            log("Unhandled verbatim setMode with " + std::to_string(mode) + " and []");
            break;
        }
        return;
    }
    if (collect != "?") {
        log("Unhandled setMode (SM) with " + std::to_string(mode) + " and " + bracketedList(collect));
        return;
    }
    switch (mode) {
    case 1: // DECCKM
        applicationCursor = true;
        break;
    case 2: // DECANM: the default set in G0 to G3
        for (int g = 0; g < 4; ++g)
            setgCharset(g, nullptr);
        break;
    case 3: // DECCOLM
        if (allow80To132) switchColumns(true);
        break;
    case 4: // DECSCLM
        smoothScroll = true;
        break;
    case 5: // DECSCNM
        _curAttr = reverseVideoAttribute();
        break;
    case 6: // DECOM; the cursor stays where it is
        originMode = true;
        break;
    case 7: // DECAWM
        setWraparound(true);
        break;
    case 9:
        setMouseMode(MouseMode::x10);
        break;
    case 12:
        cursorBlink = true;
        break;
    case 25: // DECTCEM
        showCursor();
        break;
    case 40:
        allow80To132 = true;
        break;
    case 45:
        // Reverse wraparound means nothing without wraparound.
        if (wraparound) reverseWraparound = true;
        break;
    case 47:
    case 1047:
        switchToAltScreen();
        break;
    case 63:
        break;
    case 66: // DECNKM
        applicationKeypad = true;
        break;
    case 69: // DECLRMM
        setMarginMode(true);
        break;
    case 95:
        break;
    case 1000:
        setMouseMode(MouseMode::vt200);
        break;
    case 1002:
        setMouseMode(MouseMode::buttonEventTracking);
        break;
    case 1003:
        setMouseMode(MouseMode::anyEvent);
        break;
    case 1004:
        sendFocus = true;
        break;
    case 1005:
        mouseProtocol = MouseProtocolEncoding::utf8;
        break;
    case 1006:
        mouseProtocol = MouseProtocolEncoding::sgr;
        break;
    case 1015:
        mouseProtocol = MouseProtocolEncoding::urxvt;
        break;
    case 1016:
        mouseProtocol = MouseProtocolEncoding::sgrPixel;
        break;
    case 1034:
        break;
    case 1048:
        saveCursorState();
        break;
    case 1049:
        saveCursorState();
        switchToAltScreen();
        break;
    case 2004:
        _bracketedPasteMode = true;
        break;
    case 2026:
        beginSynchronizedOutput();
        break;
    default: // 41 among them
        log("Unhandled DEC Private Mode Set (DECSET) with " + std::to_string(mode));
        break;
    }
}

void Terminal::resetMode(int64_t mode, std::string_view collect) {
    if (collect.empty()) {
        switch (mode) {
        case 4: // IRM
            insertMode = false;
            _normalBuffer->insertMode = false;
            _altBuffer->insertMode = false;
            break;
        case 20: // LNM
            lineFeedMode = false;
            break;
        default: // KAM and unknown modes
            break;
        }
        return;
    }
    if (collect != "?") return;
    switch (mode) {
    case 1:
        applicationCursor = false;
        break;
    case 3:
        if (allow80To132) switchColumns(false);
        break;
    case 4:
        smoothScroll = false;
        break;
    case 5:
        _curAttr = Attribute::defaultAttribute();
        break;
    case 6:
        originMode = false;
        break;
    case 7:
        setWraparound(false);
        break;
    case 9:
    case 1000:
    case 1002:
    case 1003:
        setMouseMode(MouseMode::off);
        break;
    case 12:
        cursorBlink = false;
        break;
    case 25:
        hideCursor();
        break;
    case 40:
        allow80To132 = false;
        break;
    case 41:
        break;
    case 45:
        reverseWraparound = false;
        break;
    case 47:
        switchToNormalScreen(false, false);
        break;
    case 66:
        applicationKeypad = false;
        break;
    case 69:
        setMarginMode(false);
        // Margins left behind would still shift origin-mode positions and reports, and the cells that
        // reflow, rectangles and scrolling read; without the mode they span the screen.
        for (Buffer* buffer : {_normalBuffer.get(), _altBuffer.get()}) {
            buffer->setMarginLeft(0);
            buffer->setMarginRight(_cols - 1);
        }
        break;
    case 95:
        break;
    case 1004:
        sendFocus = false;
        break;
    case 1005:
    case 1006:
    case 1015:
    case 1016:
        // Leaving an encoding also ends the reporting that used it.
        mouseProtocol = MouseProtocolEncoding::x10;
        setMouseMode(MouseMode::off);
        break;
    case 1034:
        break;
    case 1047:
        switchToNormalScreen(true, false);
        break;
    case 1048:
        restoreCursorState();
        break;
    case 1049:
        switchToNormalScreen(true, true);
        break;
    case 2004:
        _bracketedPasteMode = false;
        break;
    case 2026:
        endSynchronizedOutput();
        break;
    default: // 2 and 63 among them
        log("Unhandled DEC Private Mode Reset (DECRST) with " + std::to_string(mode));
        break;
    }
}

void Terminal::setWraparound(bool on) {
    wraparound = on;
    _normalBuffer->wraparound = on;
    _altBuffer->wraparound = on;
}

void Terminal::setMarginMode(bool on) {
    marginMode = on;
    _normalBuffer->marginMode = on;
    _altBuffer->marginMode = on;
}

// MARK: Cursor visibility and saved cursor

void Terminal::showCursor() {
    if (!cursorHidden) return;
    cursorHidden = false;
    if (tdel != nullptr) tdel->showCursor(*this);
}

void Terminal::hideCursor() {
    if (cursorHidden) return;
    cursorHidden = true;
    if (tdel != nullptr) tdel->hideCursor(*this);
}

void Terminal::saveCursorState() {
    Buffer& b = *_buffer;
    b.savedX = b.x();
    b.savedY = b.y();
    b.savedAttr = _curAttr;
    b.savedCharset = charset;
    b.savedOriginMode = originMode;
    b.savedMarginMode = marginMode;
    b.savedWraparound = wraparound;
    b.savedReverseWraparound = reverseWraparound;
}

void Terminal::restoreCursorState() {
    Buffer& b = *_buffer;
    // The saved position is absolute: origin mode does not shift it.
    b.setX(std::clamp(b.savedX, 0, _cols - 1));
    b.setY(std::clamp(b.savedY, 0, _rows - 1));
    _curAttr = b.savedAttr;
    charset = b.savedCharset;
    originMode = b.savedOriginMode;
    setMarginMode(b.savedMarginMode);
    setWraparound(b.savedWraparound);
    reverseWraparound = b.savedReverseWraparound;
    holdCursorToRow();
}

// MARK: Screen switches

void Terminal::switchToAltScreen() {
    activateAltBuffer(std::nullopt);
    markWholeScreen();
    showCursor();
    if (tdel != nullptr) tdel->bufferActivated(*this);
}

void Terminal::switchToNormalScreen(bool clearAlt, bool restoreCursor) {
    activateNormalBuffer(clearAlt);
    if (restoreCursor) restoreCursorState();
    markWholeScreen();
    showCursor();
    if (tdel != nullptr) tdel->bufferActivated(*this);
}

// The column switch resets the terminal like a full reset, except that the normal buffer is not replaced:
// a new one would throw the user's scroll-back away. Its screen is blanked and its cursor, saved cursor,
// margins and tab stops start afresh instead, as in a new buffer.
void Terminal::switchColumns(bool set) {
    resize(set ? 132 : 80, _rows);
    if (!set && tdel != nullptr) tdel->sizeChanged(*this);
    endSynchronizedOutput();
    options.rows = _rows;
    options.cols = _cols;

    const bool hidden = cursorHidden;
    activateNormalBuffer(false);
    Buffer& b = *_normalBuffer;
    CircularBufferLineList& lines = b.lines();
    while (lines.count() < b.yBase() + _rows)
        lines.push(b.getBlankLine(Attribute::defaultAttribute()));
    for (int r = b.yBase(); r < b.yBase() + _rows; ++r) {
        b.clearImagesFromLine(r);
        lines.set(r, b.getBlankLine(Attribute::defaultAttribute()));
    }
    b.setYDisp(b.yBase());
    b.setX(0);
    b.setY(0);
    b.softReset();
    b.setupTabStops(-1, tabStopWidth);
    b.curAttr = Attribute::empty;
    b.lastBufferStorage = {};
    setup(false);
    clearAllKittyImages();
    cursorHidden = hidden;

    markWholeScreen();
    if (set && tdel != nullptr) tdel->sizeChanged(*this);
}

// MARK: DECRQM

bool Terminal::cmdRequestMode(const SequenceParams& pars, std::string_view collect) {
    if (collect == "?$") {
        cmdDecRqm(pars, true);
        return true;
    }
    if (collect == "$") {
        cmdDecRqm(pars, false);
        return true;
    }
    return false;
}

void Terminal::cmdDecRqm(const SequenceParams& pars, bool decMode) {
    const int64_t mode = pars[0];
    const int state = decMode ? decModeState(mode) : ansiModeState(mode);
    sendResponse(cc.csi(), decMode ? "?" : "", std::to_string(mode), ";", std::to_string(state), "$y");
}

int Terminal::decModeState(int64_t mode) const {
    switch (mode) {
    case 1:
        return setOrReset(applicationCursor);
    case 2:
    case 8:
    case 18:
    case 19:
    case 95:
        return modeSet;
    case 3:
        return setOrReset(_buffer->cols() == 132);
    case 4:
        return setOrReset(smoothScroll);
    case 5:
        return setOrReset(_curAttr == reverseVideoAttribute());
    case 6:
        return setOrReset(originMode);
    case 7:
        return setOrReset(wraparound);
    case 9:
        return setOrReset(_mouseMode == MouseMode::x10);
    case 10:
    case 42:
    case 44:
    case 46:
    case 67:
    case 80:
    case 1034:
        return permanentlyReset;
    case 12:
        return setOrReset(cursorBlink);
    case 13:
    case 14:
    case 30:
    case 41:
    case 1001:
        return modeReset;
    case 25:
        return setOrReset(!cursorHidden);
    case 40:
        return setOrReset(allow80To132);
    case 45:
        return setOrReset(reverseWraparound);
    case 47:
        return setOrReset(isCurrentBufferAlternate());
    case 66:
        return setOrReset(applicationKeypad);
    case 69:
        return setOrReset(marginMode);
    case 1000:
        return setOrReset(_mouseMode == MouseMode::vt200);
    case 1002:
        return setOrReset(_mouseMode == MouseMode::buttonEventTracking);
    case 1003:
        return setOrReset(_mouseMode == MouseMode::anyEvent);
    case 1004:
        return setOrReset(sendFocus);
    case 1005:
        return setOrReset(mouseProtocol == MouseProtocolEncoding::utf8);
    case 1006:
        return setOrReset(mouseProtocol == MouseProtocolEncoding::sgr);
    case 1015:
        return setOrReset(mouseProtocol == MouseProtocolEncoding::urxvt);
    case 1016:
        return setOrReset(mouseProtocol == MouseProtocolEncoding::sgrPixel);
    case 2004:
        return setOrReset(_bracketedPasteMode);
    case 2026:
        return setOrReset(synchronizedOutputActive);
    default: // 1047, 1048 and 1049 among them
        return notRecognized;
    }
}

int Terminal::ansiModeState(int64_t mode) const {
    switch (mode) {
    case 1:
    case 5:
    case 7:
    case 10:
    case 11:
    case 13:
    case 14:
    case 15:
    case 16:
    case 17:
    case 18:
    case 19:
        return permanentlyReset;
    case 2:
    case 3:
        return modeReset;
    case 4:
        return setOrReset(insertMode);
    case 12:
        return modeSet;
    case 20:
        return setOrReset(lineFeedMode);
    default:
        return notRecognized;
    }
}

} // namespace Tessaline
