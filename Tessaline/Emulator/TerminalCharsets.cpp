// Character-set invocation and designation: which of G0-G3 the print path translates through; the line
// size of a row and the screen alignment pattern.
#include "Terminal.h"

#include <algorithm>

namespace Tessaline {

void Terminal::setgLevel(uint8_t v) {
    gLevel = v;
    charset = v < gCharsets.size() ? gCharsets[v] : nullptr;
}

void Terminal::setgCharset(int v, const CharSetMap* map) {
    if (v < 0 || size_t(v) >= gCharsets.size()) return;
    gCharsets[size_t(v)] = map;
    // Designating into the invoked set takes effect at once.
    if (v == gLevel) charset = map;
}

void Terminal::selectCharset(uint8_t intermediate, uint8_t designator) {
    const CharSetMap* map = CharSets::lookup(designator);
    if (map == nullptr) return;
    switch (intermediate) {
    case '(':
        setgCharset(0, map);
        break;
    case ')':
    case '-':
        setgCharset(1, map);
        break;
    case '*':
    case '.':
        setgCharset(2, map);
        break;
    case '+':
    case '/':
        setgCharset(3, map);
        break;
    default:
        break;
    }
}

void Terminal::setLineRenderMode(BufferLine::RenderLineMode mode) {
    Buffer& buffer = *_buffer;
    buffer.lines()[buffer.yBase() + buffer.y()]->renderMode = mode;
    if (mode != BufferLine::RenderLineMode::single) _doubleWidthRowsMade = true;
    // A column of the right half leaves the row's columns.
    holdCursorToRow();
    updateRange(buffer.y());
}

void Terminal::cmdScreenAlignmentPattern() {
    // The colours of the current attribute, none of its styles.
    const Attribute attribute(_curAttr.fg, _curAttr.bg, CharacterStyle::none, UnderlineStyle::none,
                              _curAttr.underlineColor);
    const CharData cell(attribute, _underlineColors, code("E"), 1);
    setCursor(0, 0);
    Buffer& buffer = *_buffer;
    CircularBufferLineList& lines = buffer.lines();
    const int last = std::min(buffer.yBase() + _rows, lines.count());
    for (int row = buffer.yBase(); row < last; ++row) {
        BufferLine& line = *lines[row];
        line.fill(cell);
        line.isWrapped = false;
    }
    updateFullScreen();
    setCursor(0, 0);
}

} // namespace Tessaline
