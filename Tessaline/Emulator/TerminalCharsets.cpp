// Character-set invocation and designation: which of G0-G3 the print path translates through.
#include "Terminal.h"

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

} // namespace Tessaline
