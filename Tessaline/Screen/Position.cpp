#include "Position.h"

namespace Tessaline {

std::string Position::debugDescription() const {
    return "col=" + std::to_string(col) + " row=" + std::to_string(row);
}

std::string Line::debugDescription() const {
    if (fragments.empty()) return "[]";
    std::string out = std::to_string(fragments.size()) + "/" + std::to_string(length) + ": [";
    for (size_t i = 0; i < fragments.size(); ++i) {
        if (i > 0) out += "][";
        const auto& text = fragments[i].text;
        if (!text) continue;
        out += *text == "\n" ? "\\n" : *text;
    }
    out += "]";
    return out;
}

} // namespace Tessaline
