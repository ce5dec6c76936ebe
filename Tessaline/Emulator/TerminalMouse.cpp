// Mouse and focus reports: button codes and the bytes of each encoding. Which events to report is the
// view's decision; the terminal encodes what it is handed.
#include "Terminal.h"

#include <algorithm>
#include <string>

namespace Tessaline {

namespace {

constexpr int releaseCode = 3;
constexpr int motionBit = 32;

void appendDecimal(std::vector<uint8_t>& out, int value) {
    const std::string text = std::to_string(value);
    out.insert(out.end(), text.begin(), text.end());
}

} // namespace

bool Terminal::sendsModifiers(MouseMode mode) {
    return mode == MouseMode::vt200 || mode == MouseMode::buttonEventTracking || mode == MouseMode::anyEvent;
}

bool Terminal::sendMotionEvent(MouseMode mode) {
    return mode == MouseMode::anyEvent;
}

int Terminal::encodeButton(int button, bool release, bool shift, bool meta, bool control) const {
    int value = 0;
    if (release) {
        value = releaseCode;
    } else {
        switch (button) {
        case 1:
            value = 1;
            break;
        case 2:
            value = 2;
            break;
        case 4:
            value = 64;
            break;
        case 5:
            value = 65;
            break;
        default: // 3 and anything unknown
            value = 0;
            break;
        }
    }
    if (sendsModifiers(_mouseMode)) {
        if (shift) value |= 4;
        if (meta) value |= 8;
        if (control) value |= 16;
    }
    return value;
}

void Terminal::sendEvent(int buttonFlags, int x, int y) {
    sendEvent(buttonFlags, x, y, x, y);
}

void Terminal::sendMotion(int buttonFlags, int x, int y, int pixelX, int pixelY) {
    sendEvent(buttonFlags + motionBit, x, y, pixelX, pixelY);
}

void Terminal::sendEvent(int buttonFlags, int x, int y, int pixelX, int pixelY) {
    // A position left of or above the screen (a drag out of the window) reports the edge.
    x = std::max(x, 0);
    y = std::max(y, 0);
    pixelX = std::max(pixelX, 0);
    pixelY = std::max(pixelY, 0);
    if (buttonFlags < 0) return;

    std::vector<uint8_t> out;
    const std::string_view csi = cc.csi();
    out.insert(out.end(), csi.begin(), csi.end());
    switch (mouseProtocol) {
    case MouseProtocolEncoding::x10: {
        // One byte per value: an event past column or row 222 cannot be told, so it is not sent at all
        // rather than reported at a wrong cell.
        const int64_t values[] = {int64_t(buttonFlags) + 32, int64_t(x) + 33, int64_t(y) + 33};
        if (std::any_of(std::begin(values), std::end(values), [](int64_t v) { return v > 255; })) return;
        out.push_back('M');
        for (int64_t v : values)
            out.push_back(uint8_t(v));
        break;
    }
    case MouseProtocolEncoding::utf8:
        out.push_back('M');
        encodeMouseUtf(out, int(std::min<int64_t>(int64_t(buttonFlags) + 32, INT_MAX)));
        encodeMouseUtf(out, int(std::min<int64_t>(int64_t(x) + 33, INT_MAX)));
        encodeMouseUtf(out, int(std::min<int64_t>(int64_t(y) + 33, INT_MAX)));
        break;
    case MouseProtocolEncoding::sgr:
    case MouseProtocolEncoding::sgrPixel: {
        // A release is a code with both low bits set and no motion bit; motion with no button pressed
        // (35 and its modified forms) is a motion report, not a release.
        const bool release = (buttonFlags & 3) == releaseCode && (buttonFlags & motionBit) == 0;
        const int code = release ? buttonFlags & ~3 : buttonFlags;
        const bool pixels = mouseProtocol == MouseProtocolEncoding::sgrPixel;
        out.push_back('<');
        appendDecimal(out, code);
        out.push_back(';');
        appendDecimal(out, pixels ? pixelX : std::min(x, INT_MAX - 1) + 1);
        out.push_back(';');
        appendDecimal(out, pixels ? pixelY : std::min(y, INT_MAX - 1) + 1);
        out.push_back(release ? 'm' : 'M');
        break;
    }
    case MouseProtocolEncoding::urxvt:
        appendDecimal(out, std::min(buttonFlags, INT_MAX - 32) + 32);
        out.push_back(';');
        appendDecimal(out, std::min(x, INT_MAX - 1) + 1);
        out.push_back(';');
        appendDecimal(out, std::min(y, INT_MAX - 1) + 1);
        out.push_back('M');
        break;
    }
    sendResponse(out);
}

void Terminal::encodeMouseUtf(std::vector<uint8_t>& data, int ch) {
    if (ch < 0) ch = 0;
    if (ch < 0x80) {
        data.push_back(uint8_t(ch));
    } else if (ch < 2047) {
        data.push_back(uint8_t(0xC0 + (ch >> 6)));
        data.push_back(uint8_t(0x80 + (ch & 0x3F)));
    } else if (ch == 2047) {
        data.push_back(0);
    } else {
        // Past the two-byte range every value is sent as the largest one.
        data.push_back(0xDF);
        data.push_back(0xBF);
    }
}

void Terminal::setTerminalFocus(bool focused) {
    if (!sendFocus || tdel == nullptr) return;
    const std::string_view csi = cc.csi();
    std::vector<uint8_t> out(csi.begin(), csi.end());
    out.push_back(focused ? 'I' : 'O');
    tdel->send(*this, out);
}

} // namespace Tessaline
