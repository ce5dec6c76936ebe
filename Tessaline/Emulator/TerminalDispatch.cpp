// The command dispatch: what the parser hands the terminal, by control byte, final byte and collected
// bytes, and the parser's fallbacks, which log what no row takes.
//
// One row per sequence, in byte order, calling the command that carries it out. A row answers true when
// it took the sequence; a sequence no row takes goes to the parser's fallback (and so to the log).
#include "Terminal.h"

#include "SixelDcsHandler.h"
#include "Utf8.h"

#include <string>

namespace Tessaline {

namespace {

// "[1, 2, 3]".
template<class Values>
std::string bracketed(const Values& values) {
    std::string out = "[";
    bool first = true;
    for (auto value : values) {
        if (!first) out += ", ";
        out += std::to_string(int64_t(value));
        first = false;
    }
    return out + "]";
}

std::string collectBytes(std::string_view collect) {
    std::vector<uint8_t> bytes(collect.begin(), collect.end());
    return bracketed(bytes);
}

// A byte shown as the character of that value (0x80-0xFF as U+0080-U+00FF).
std::string byteAsCharacter(uint8_t byte) {
    std::string out;
    Utf8::append(out, byte);
    return out;
}

} // namespace

// MARK: Parser wiring

// The fallbacks build their lines only when the log is on: unknown sequences are common in real output.
void Terminal::configureParser(EscapeSequenceParser& parser) {
    parser.printHandler = [this](std::span<const uint8_t> run) { handlePrint(run); };
    parser.printStateReset = [this] { printStateReset(); };
    parser.csiHandlerFallback = [this](const SequenceParams& pars, std::string_view collect, uint8_t code) {
        if (silentLog) return;
        log("Tessaline: Unknown CSI Code (collect=" + collectBytes(collect) +
            " code=" + byteAsCharacter(code) + " pars=" + bracketed(pars.values()) + ")");
    };
    parser.escHandlerFallback = [this](std::string_view collect, uint8_t code) {
        if (silentLog) return;
        log("Tessaline: Unknown ESC Code: ESC + " + byteAsCharacter(code) + " txt=" + collectBytes(collect));
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
    parser.diagnosticHandler = [this](std::string_view message) { log(message); };
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
        b.setX(b.nextTabStop(marginMode, -1));
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
    case '%':
        if (code == 'G' || code == '@') { // UTF-8 or the default set
            setgLevel(0);
            setgCharset(0, nullptr);
            return true;
        }
        return false;
    default:
        return false;
    }
}

// MARK: CSI

bool Terminal::handleCsi(uint8_t code, const SequenceParams& pars, std::string_view collect) {
    switch (code) {
    case 'h': // SM, DECSET
        cmdSetMode(pars, collect);
        return true;
    case 'l': // RM, DECRST
        cmdResetMode(pars, collect);
        return true;
    case 'p': // DECRQM; DECSTR and DECSCL are not taken here
        return cmdRequestMode(pars, collect);
    case 'u': // Kitty keyboard flags, else SCORC
        if (!handleKittyKeyboardProtocol(pars, collect) && collect.empty()) restoreCursorState();
        return true;
    default:
        return false;
    }
}

// MARK: OSC

bool Terminal::handleOsc(int64_t code, std::span<const uint8_t> data) {
    (void)data;
    switch (code) {
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
        handler->diagnosticHandler = [this](std::string_view message) { log(message); };
        return handler;
    }
    // DECRQSS (collect "$", final "q") goes here.
    return nullptr;
}

} // namespace Tessaline
