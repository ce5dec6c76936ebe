#pragma once

#include "TerminalHarness.h"

#include <string>
#include <vector>

namespace Tessaline::Testing {

// Writes each text on its screen row, from row 0 (CUP then the text); the cursor ends after the last.
inline void writeRows(TerminalHarness& h, const std::vector<std::string>& rows) {
    for (size_t r = 0; r < rows.size(); ++r)
        h.feed("\x1b[" + std::to_string(r + 1) + ";1H" + rows[r]);
}

// Makes the attribute the terminal's current one without SGR: the saved cursor carries it, and DECRC
// restores it together with the cursor, the character set and the modes as they stand.
// The saved cursor itself is left as it was.
inline void setCurrentAttribute(TerminalHarness& h, const Attribute& attribute) {
    Terminal& t = h.terminal();
    Buffer& b = t.buffer();
    const int savedX = b.savedX, savedY = b.savedY;
    const Attribute savedAttr = b.savedAttr;
    const CharSetMap* savedCharset = b.savedCharset;
    const bool savedOrigin = b.savedOriginMode, savedMargin = b.savedMarginMode;
    const bool savedWrap = b.savedWraparound, savedReverse = b.savedReverseWraparound;
    b.savedX = b.x();
    b.savedY = b.y();
    b.savedAttr = attribute;
    b.savedCharset = t.charset;
    b.savedOriginMode = t.originMode;
    b.savedMarginMode = t.marginMode;
    b.savedWraparound = t.wraparound;
    b.savedReverseWraparound = t.reverseWraparound;
    h.feed("\x1b"
           "8");
    b.savedX = savedX;
    b.savedY = savedY;
    b.savedAttr = savedAttr;
    b.savedCharset = savedCharset;
    b.savedOriginMode = savedOrigin;
    b.savedMarginMode = savedMargin;
    b.savedWraparound = savedWrap;
    b.savedReverseWraparound = savedReverse;
}

// Margin mode (DECLRMM) as its mode setter leaves it: on the terminal and on both buffers.
inline void setMarginMode(Terminal& t, bool on) {
    t.marginMode = on;
    t.normalBuffer().marginMode = on;
    t.altBuffer().marginMode = on;
}

} // namespace Tessaline::Testing
