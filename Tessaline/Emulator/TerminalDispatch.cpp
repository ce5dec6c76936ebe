// The command dispatch: what the parser hands the terminal, by control byte, final byte and collected
// bytes, and the parser's fallbacks, which log what no row takes.
//
// One row per sequence, in byte order, calling the command that carries it out. A row answers true when
// it took the sequence; a sequence no row takes goes to the parser's fallback (and so to the log).
#include "Terminal.h"

#include "SixelDcsHandler.h"
#include "Utf8.h"

#include <algorithm>
#include <string>

namespace Tessaline {

namespace {

// A byte shown as the character of that value (0x80-0xFF as U+0080-U+00FF).
std::string byteAsCharacter(uint8_t byte) {
    std::string out;
    Utf8::append(out, byte);
    return out;
}

// The parameters of the ESC sequences that share a command with a CSI sequence.
constexpr int64_t noValues[1] = {0};
constexpr SequenceParams noParams(noValues, {});

// CHT: n tab stops forward, at most one per column.
void cursorForwardTab(Terminal& t, const SequenceParams& pars) {
    Buffer& b = t.buffer();
    const int p = pars.get(0);
    const int n = std::min(p >= 2 ? p : 1, t.cols() - 1);
    for (int i = 0; i < n; ++i) {
        const int x = b.x();
        b.setX(std::min(b.nextTabStop(t.marginMode, -1), t.cursorRowLastColumn()));
        // At the last stop every further step lands on the same column.
        if (b.x() == x) break;
    }
}

// CBT: n tab stops back.
void cursorBackwardTab(Terminal& t, const SequenceParams& pars) {
    Buffer& b = t.buffer();
    if (b.x() > t.cols()) return;
    const int p = pars.get(0);
    const int n = std::min(p >= 2 ? p : 1, b.cols());
    for (int i = 0; i < n; ++i) {
        const int x = b.x();
        b.setX(b.previousTabStop(-1));
        if (b.x() == x) break;
    }
}

// CSI > Ps ... t sets and CSI > Ps ... T resets the title modes each parameter names.
void setTitleModes(Terminal& t, const SequenceParams& pars, bool value) {
    for (int k = 0; k < pars.size(); ++k) {
        switch (pars[k]) {
        case 0:
            t.xtermTitleSetHex = value;
            break;
        case 1:
            t.xtermTitleQueryHex = value;
            break;
        case 2:
            t.xtermTitleSetUtf = value;
            break;
        case 3:
            t.xtermTitleQueryUtf = value;
            break;
        default:
            break;
        }
    }
}

} // namespace

// MARK: Parser wiring

// The fallbacks build their lines only when the log is on: unknown sequences are common in real output.
void Terminal::configureParser(EscapeSequenceParser& parser) {
    parser.printHandler = [this](std::span<const uint8_t> run) { handlePrint(run); };
    parser.printStateReset = [this] { printStateReset(); };
    parser.parseEnded = [this] { reclaimGraphemesWhenDue(); };
    parser.csiHandlerFallback = [this](const SequenceParams& pars, std::string_view collect, uint8_t code) {
        if (silentLog) return;
        log("Tessaline: Unknown CSI Code (collect=" + bracketedList(collect) +
            " code=" + byteAsCharacter(code) + " pars=" + bracketedList(pars.values()) + ")");
    };
    parser.escHandlerFallback = [this](std::string_view collect, uint8_t code) {
        if (silentLog) return;
        log("Tessaline: Unknown ESC Code: ESC + " + byteAsCharacter(code) + " txt=" + bracketedList(collect));
    };
    parser.oscHandlerFallback = [this](int64_t code, std::span<const uint8_t>) {
        if (silentLog) return;
        log("Tessaline: Unknown OSC code: " + std::to_string(code));
    };
    parser.apcHandlerFallback = [this](uint8_t command, std::span<const uint8_t>) {
        if (silentLog) return;
        log("Tessaline: Unknown APC code: " + byteAsCharacter(command));
    };
    parser.executeHandlerFallback = [this] { log("Tessaline: Unknown EXECUTE code"); };
    parser.errorHandler = [this](ParsingState& state) {
        if (silentLog) return;
        log("Tessaline: Parsing error, state: " + state.description());
    };
    parser.diagnosticHandler = [this](std::string_view message) {
        log(message, DiagnosticKind::parserLimit);
    };
}

void Terminal::registerOscHandler(int64_t code, EscapeSequenceParser::OscHandler handler) {
    _parser->oscHandlers[code] = std::move(handler);
}

// MARK: Controls

void Terminal::handleExecute(uint8_t code) {
    Buffer& b = *_buffer;
    switch (code) {
    case 0x07: // BEL
        if (tdel != nullptr) tdel->bell(*this);
        break;
    case 0x08: // BS
        cmdBackspace();
        break;
    case 0x09: // HT
        b.setX(std::min(b.nextTabStop(marginMode, -1), cursorRowLastColumn()));
        break;
    case 0x0A: // LF
    case 0x0B: // VT
    case 0x0C: // FF
        cmdLineFeedBasic();
        break;
    case 0x0D: // CR
        cmdCarriageReturn();
        break;
    case 0x0E: // SO (LS1)
        setgLevel(1);
        break;
    case 0x0F: // SI (LS0)
        setgLevel(0);
        break;
    case 0x84: // IND
        cmdIndex();
        break;
    case 0x85: // NEL
        b.setX(originMode && marginMode ? b.marginLeft() : 0);
        cmdIndex();
        break;
    case 0x88: // HTS
        b.tabSet(b.x());
        break;
    default: // NUL, ENQ, CAN, SUB and the other C1 controls do nothing
        break;
    }
}

// MARK: ESC

bool Terminal::handleEsc(std::string_view collect, uint8_t code) {
    Buffer& b = *_buffer;
    if (collect.empty()) {
        switch (code) {
        case '6': // DECBI
            columnIndex(true);
            return true;
        case '7': // DECSC
            cmdSaveCursor(noParams, collect);
            return true;
        case '8': // DECRC
            cmdRestoreCursor(noParams, collect);
            return true;
        case '9': // DECFI
            columnIndex(false);
            return true;
        case '=': // DECKPAM
            applicationKeypad = true;
            return true;
        case '>': // DECKPNM
            applicationKeypad = false;
            return true;
        case 'D': // IND
            cmdIndex();
            return true;
        case 'E': // NEL
            b.setX(originMode && marginMode ? b.marginLeft() : 0);
            cmdIndex();
            return true;
        case 'H': // HTS
            b.tabSet(b.x());
            return true;
        case 'M': // RI
            reverseIndex();
            return true;
        case '\\': // ST: the string it ended did the work
            return true;
        case 'c': // RIS
            cmdReset();
            return true;
        case 'n': // LS2
            setgLevel(2);
            return true;
        case 'o': // LS3
            setgLevel(3);
            return true;
        case '|': // LS3R
            setgLevel(3);
            return true;
        case '}': // LS2R
            setgLevel(2);
            return true;
        case '~': // LS1R
            setgLevel(1);
            return true;
        default:
            return false;
        }
    }
    if (collect.size() != 1) return false;
    switch (collect[0]) {
    case ' ':
        if (code == 'F') { // S7C1T
            cc.send8bit = false;
            return true;
        }
        if (code == 'G') { // S8C1T
            cc.send8bit = true;
            return true;
        }
        return false;
    case '#':
        switch (code) {
        case '3': // DECDHL, top half
            setLineRenderMode(BufferLine::RenderLineMode::doubledTop);
            return true;
        case '4': // DECDHL, bottom half
            setLineRenderMode(BufferLine::RenderLineMode::doubledDown);
            return true;
        case '5': // DECSWL
            setLineRenderMode(BufferLine::RenderLineMode::single);
            return true;
        case '6': // DECDWL
            setLineRenderMode(BufferLine::RenderLineMode::doubleWidth);
            return true;
        case '8': // DECALN
            cmdScreenAlignmentPattern();
            return true;
        default:
            return false;
        }
    case '%':
        if (code == 'G' || code == '@') { // UTF-8 or the default set
            setgLevel(0);
            setgCharset(0, nullptr);
            return true;
        }
        return false;
    case '(':
    case ')':
    case '*':
    case '+':
    case '-':
    case '.':
    case '/': // SCS
        if (CharSets::lookup(code) == nullptr) return false;
        selectCharset(uint8_t(collect[0]), code);
        return true;
    default:
        return false;
    }
}

// MARK: CSI

bool Terminal::handleCsi(uint8_t code, const SequenceParams& pars, std::string_view collect) {
    Buffer& b = *_buffer;
    switch (code) {
    case '@': // ICH
        cmdInsertChars(pars, collect);
        return true;
    case 'A': // CUU
        cmdCursorUp(pars, collect);
        return true;
    case 'B': // CUD
        cmdCursorDown(pars, collect);
        return true;
    case 'C': // CUF
        cursorForward(pars.get(0));
        return true;
    case 'D': // CUB
        cursorBackward(pars.get(0));
        return true;
    case 'E': // CNL
        cmdCursorDown(pars, collect);
        b.setX(b.marginLeft());
        return true;
    case 'F': // CPL
        cmdCursorUp(pars, collect);
        b.setX(b.marginLeft());
        return true;
    case 'G': // CHA
        cmdCursorCharAbsolute(pars, collect);
        return true;
    case 'H': // CUP
        cmdCursorPosition(pars, collect);
        return true;
    case 'I': // CHT
        cursorForwardTab(*this, pars);
        return true;
    case 'J': // ED
        cmdEraseInDisplay(pars, collect);
        return true;
    case 'K': // EL
        cmdEraseInLine(pars, collect);
        return true;
    case 'L': // IL
        cmdInsertLines(pars, collect);
        return true;
    case 'M': // DL
        cmdDeleteLines(pars, collect);
        return true;
    case 'P': // DCH
        cmdDeleteChars(pars, collect);
        return true;
    case 'S': // SU
        cmdScrollUp(pars, collect);
        return true;
    case 'T': // SD, title-mode reset
        if (collect.empty())
            cmdScrollDown(pars);
        else if (collect == ">")
            setTitleModes(*this, pars, false);
        return true;
    case 'X': // ECH
        cmdEraseChars(pars, collect);
        return true;
    case 'Z': // CBT
        cursorBackwardTab(*this, pars);
        return true;
    case '`': // HPA
        cmdCharPosAbsolute(pars, collect);
        return true;
    case 'a': // HPR
        cmdHPositionRelative(pars, collect);
        return true;
    case 'b': // REP
        cmdRepeatPrecedingCharacter(pars, collect);
        return true;
    case 'c': // DA
        cmdSendDeviceAttributes(pars, collect);
        return true;
    case 'd': // VPA
        cmdLinePosAbsolute(pars, collect);
        return true;
    case 'e': // VPR
        cmdVPositionRelative(pars, collect);
        return true;
    case 'f': // HVP
        cmdHVPosition(pars, collect);
        return true;
    case 'g': // TBC
        cmdTabClear(pars, collect);
        return true;
    case 'h': // SM, DECSET
        cmdSetMode(pars, collect);
        return true;
    case 'l': // RM, DECRST
        cmdResetMode(pars, collect);
        return true;
    case 'm': // SGR
        cmdCsiM(pars, collect);
        return true;
    case 'n': // DSR
        cmdDeviceStatus(pars, collect);
        return true;
    case 'p': // DECSTR, DECSCL, DECRQM
        csiPHandler(pars, collect);
        return true;
    case 'q': // DECSCUSR
        cmdSetCursorStyle(pars, collect);
        return true;
    case 'r': // DECSTBM
        cmdSetScrollRegion(pars, collect);
        return true;
    case 's': // DECSLRM, SCOSC
        if (collect.empty()) {
            if (marginMode)
                cmdSetMargins(pars, collect);
            else
                cmdSaveCursor(pars, collect);
        }
        return true;
    case 't': // window operations, title-mode set
        if (collect.empty())
            cmdWindowOptions(pars);
        else if (collect == ">")
            setTitleModes(*this, pars, true);
        else
            log("Unhandled csiT " + bracketedList(collect));
        return true;
    case 'u': // Kitty keyboard flags, else SCORC
        if (!handleKittyKeyboardProtocol(pars, collect) && collect.empty()) restoreCursorState();
        return true;
    case 'v': // DECCRA
        csiCopyRectangularArea(pars, collect);
        return true;
    case 'x': // DECFRA
        csiX(pars, collect);
        return true;
    case 'y': // DECRQCRA
        cmdDECRQCRA(pars, collect);
        return true;
    case 'z': // DECERA, DECELR
        csiZ(pars, collect);
        return true;
    case '{': // DECSERA
        csiOpenBrace(pars, collect);
        return true;
    case '}': // DECIC
        csiCloseBrace(pars, collect);
        return true;
    case '~': // DECDC
        cmdDeleteColumns(pars, collect);
        return true;
    default:
        return false;
    }
}

// MARK: OSC

bool Terminal::handleOsc(int64_t code, std::span<const uint8_t> data) {
    switch (code) {
    case 0: // window title (the icon title stays)
    case 2:
        oscSetTitle(data);
        return true;
    case 1: // icon title
        oscSetIconTitle(data);
        return true;
    case 4:
        oscChangeOrQueryColorIndex(data);
        return true;
    case 6: // document
        oscSetCurrentDocument(data);
        return true;
    case 7: // working directory
        oscSetCurrentDirectory(data);
        return true;
    case 8: // hyperlink
        oscHyperlink(data);
        return true;
    case 9: // progress report; any other OSC 9 is logged as unknown
        return oscProgressReport(data);
    case 10:
        oscSetColors(data, 0);
        return true;
    case 11:
        oscSetColors(data, 1);
        return true;
    case 12:
        oscSetColors(data, 2);
        return true;
    case 52: // clipboard write
        oscClipboardCopy(data);
        return true;
    case 104:
        oscResetColor(data);
        return true;
    case 112:
        oscResetCursorColor();
        return true;
    case 777: // desktop notification
        oscNotification(data);
        return true;
    case 1337: // inline images and other application messages
        osciTerm2(data);
        return true;
    default:
        return false;
    }
}

// MARK: APC and DCS

std::unique_ptr<DcsHandler> Terminal::makeDcsHandler(std::string_view collect, uint8_t code,
                                                     const SequenceParams& pars) {
    (void)pars;
    if (code == 'q' && collect.empty()) {
        auto sink = [this](std::vector<uint8_t>& bytes, int width, int height) {
            if (tdel != nullptr) tdel->createImageFromBitmap(*this, bytes, width, height);
        };
        auto colors = [this] { return std::span<const Color>(defaultAnsiColors); };
        auto handler = std::make_unique<SixelDcsHandler>(sink, colors);
        handler->diagnosticHandler = [this](std::string_view message) {
            log(message, DiagnosticKind::imageRefused);
        };
        return handler;
    }
    if (code == 'q' && collect == "$") return std::make_unique<DECRQSS>(this); // DECRQSS
    return nullptr;
}

} // namespace Tessaline
