// The reply path and the reports that belong to no other family: device attributes, device status,
// settings reports (DECRQSS), the cursor style, the soft reset and the router of the CSI ... p commands.
// Every answer to the program leaves through one send() to the delegate.
#include "Terminal.h"

#include <algorithm>
#include <string>

namespace Tessaline {

void Terminal::sendBytes(std::span<const uint8_t> bytes) {
    // Without a delegate the reply is dropped.
    if (tdel != nullptr) tdel->send(*this, bytes);
}

// MARK: Device attributes and status

void Terminal::cmdSendDeviceAttributes(const SequenceParams& pars, std::string_view collect) {
    if (pars[0] >= 1) {
        if (!silentLog)
            log("SendDeviceAttributes got " + bracketedList(pars.values()) + " and " + std::string(collect));
        return;
    }
    if (collect == ">") {
        sendResponse(cc.csi(), ">65;20;1c");
        return;
    }
    if (!collect.empty()) return;
    const std::string_view name = options.termName;
    if (name.starts_with("xterm")) {
        sendResponse(cc.csi(),
                     options.enableSixelReported ? "?65;4;1;2;6;21;22;17;28c" : "?65;1;2;6;21;22;17;28c");
    } else if (name.starts_with("screen") || name.starts_with("rxvt-unicode")) {
        sendResponse(cc.csi(), "?1;2c");
    } else if (name.starts_with("linux")) {
        sendResponse(cc.csi(), "?6c");
    }
}

void Terminal::cmdDeviceStatus(const SequenceParams& pars, std::string_view collect) {
    const Buffer& b = *_buffer;
    // The pending-wrap column reports as the last column (of a double-width row, the last it shows).
    const int x = std::min(b.x(), cursorRowLastColumn());
    const int y = b.y();
    const std::string csi(cc.csi());
    if (collect.empty()) {
        switch (pars[0]) {
        case 5:
            sendResponse(csi, "0n");
            break;
        case 6: {
            const int row = std::max(1, y + 1 - (originMode ? b.scrollTop() : 0));
            const int col = std::max(1, x + 1 - (originMode ? b.marginLeft() : 0));
            sendResponse(csi, std::to_string(row), ";", std::to_string(col), "R");
            break;
        }
        default:
            break;
        }
        return;
    }
    if (collect != "?") return;
    switch (pars[0]) {
    case 6: {
        const int row = y + 1 - (originMode ? b.scrollTop() : 0);
        const int col = std::max(1, x + 1 - (originMode && marginMode ? b.marginLeft() : 0));
        sendResponse(csi, "?", std::to_string(row), ";", std::to_string(col), ";1R");
        break;
    }
    case 15:
        sendResponse(csi, "?10n");
        break;
    case 25:
        sendResponse(csi, "?21n");
        break;
    case 26:
        sendResponse(csi, "?27;1;0;0n");
        break;
    case 55:
        sendResponse(csi, "?53n");
        break;
    case 56:
        sendResponse(csi, "?57;1n");
        break;
    case 62:
        sendResponse(csi, "0*{");
        break;
    case 63:
        sendResponse(cc.dcs(), std::to_string(pars.size() > 1 ? pars[1] : 0), "!~0000", cc.st());
        break;
    case 75:
        sendResponse(csi, "?70n");
        break;
    case 85:
        sendResponse(csi, "?83n");
        break;
    default:
        break;
    }
}

// MARK: Settings report

void Terminal::DECRQSS::hook(std::string_view, const SequenceParams&, uint8_t) {
    data.clear();
    _overflow = false;
}

void Terminal::DECRQSS::put(std::span<const uint8_t> bytes) {
    // Every request this terminal knows is two bytes at most: a longer one is only kept for the log.
    const size_t room = maxRequestLength - std::min(data.size(), maxRequestLength);
    if (bytes.size() > room) _overflow = true;
    data.insert(data.end(), bytes.begin(), bytes.begin() + std::min(bytes.size(), room));
}

void Terminal::DECRQSS::unhook() {
    Terminal& t = *terminal;
    const bool ascii = std::all_of(data.begin(), data.end(), [](uint8_t b) { return b < 0x80; });
    const std::string request(data.begin(), data.end());
    std::string payload;
    bool known = ascii && !_overflow;
    if (known) {
        const Buffer& b = t.buffer();
        if (request == "\"q") {
            payload = "\"q";
        } else if (request == "\"p") {
            payload = "65;1\"p";
        } else if (request == "r") {
            payload = std::to_string(b.scrollTop() + 1) + ";" + std::to_string(b.scrollBottom() + 1) + "r";
        } else if (request == "m") {
            payload = t._curAttr.toSgr();
        } else if (request == "s") {
            payload = std::to_string(b.marginLeft() + 1) + ";" + std::to_string(b.marginRight() + 1) + "s";
        } else if (request == " q") {
            payload = "2 q";
        } else {
            known = false;
        }
    }
    if (!known && ascii) t.log("Unknown DCS + " + request);
    t.sendResponse(t.cc.dcs(), known ? "1$r" : "0$r", payload, t.cc.st());
}

// MARK: Cursor style

void Terminal::cmdSetCursorStyle(const SequenceParams& pars, std::string_view collect) {
    if (collect != " ") return;
    static constexpr CursorStyle styles[] = {
        CursorStyle::blinkBlock,     CursorStyle::blinkBlock,      CursorStyle::steadyBlock,
        CursorStyle::blinkUnderline, CursorStyle::steadyUnderline, CursorStyle::blinkBar,
        CursorStyle::steadyBar,
    };
    const int64_t p = pars[0];
    if (p < 0 || p >= int64_t(std::size(styles))) return;
    setCursorStyle(styles[p]);
}

void Terminal::setCursorStyle(CursorStyle style) {
    if (style == options.cursorStyle) return;
    // The delegate sees the old style in the options while it is told of the new one.
    if (tdel != nullptr) tdel->cursorStyleChanged(*this, style);
    options.cursorStyle = style;
}

// MARK: Soft reset

void Terminal::softReset() {
    Buffer& b = *_buffer;
    cursorHidden = false;
    originMode = false;
    insertMode = false;
    wraparound = true;
    reverseWraparound = false;
    // The buffers carry the copies of the modes that writing reads.
    for (Buffer* each : {_normalBuffer.get(), _altBuffer.get()}) {
        each->wraparound = true;
        each->insertMode = false;
    }
    applicationKeypad = false;
    applicationCursor = false;
    b.setScrollTop(0);
    b.setScrollBottom(_rows - 1);
    _curAttr = Attribute::defaultAttribute();
    b.softReset();
    charset = nullptr;
    setgLevel(0);
    conformance = TerminalConformance::vt500;
    hyperLinkTracking.reset();
    lineFeedMode = options.convertEol;
    resetAllColors();
    if (tdel != nullptr) tdel->showCursor(*this);
}

// MARK: CSI ... p

void Terminal::csiPHandler(const SequenceParams& pars, std::string_view collect) {
    if (collect == "!") {
        cmdSoftReset();
        return;
    }
    // DECSCL.
    if (collect == "\"") {
        cmdSetConformanceLevel(pars, collect);
        return;
    }
    // DECRQM, of a DEC private mode ("?$") or an ANSI mode ("$").
    if (cmdRequestMode(pars, collect)) return;
    if (silentLog) return;
    std::string bytes;
    for (char c : collect)
        bytes += std::to_string(int(uint8_t(c)));
    log("Unhandled CSI " + bytes + " with pars=" + bracketedList(pars.values()));
}

} // namespace Tessaline
