// Kitty keyboard flags: the query, push, pop and set requests (CSI ? u, CSI > u, CSI < u, CSI = u) on the
// flags and stack of the active screen.
#include "Terminal.h"

#include <string>

namespace Tessaline {

namespace {

// Saved flags kept per screen; a push past this drops the oldest.
constexpr size_t maxStackDepth = 16;

KittyKeyboardFlags knownFlags(int64_t value) {
    return KittyKeyboardFlags(int(value & KittyKeyboardFlags::knownMask.rawValue));
}

} // namespace

bool Terminal::handleKittyKeyboardProtocol(const SequenceParams& pars, std::string_view collect) {
    if (collect.size() != 1) return false;
    KeyboardModeState& state = isCurrentBufferAlternate() ? _keyboardModeAlt : _keyboardModeNormal;
    switch (collect[0]) {
    case '?':
        sendResponse(cc.csi(), "?", std::to_string(state.flags.rawValue), "u");
        return true;
    case '>':
        if (state.stack.size() >= maxStackDepth) state.stack.erase(state.stack.begin());
        state.stack.push_back(state.flags);
        state.flags = knownFlags(pars[0]);
        return true;
    case '<': {
        const int64_t n = pars[0] >= 2 ? pars[0] : 1;
        if (int64_t(state.stack.size()) < n) {
            state.flags = KittyKeyboardFlags();
            state.stack.clear();
        } else {
            // The flags become the deepest entry taken off.
            state.flags = state.stack[state.stack.size() - size_t(n)];
            state.stack.resize(state.stack.size() - size_t(n));
        }
        return true;
    }
    case '=': {
        const KittyKeyboardFlags value = knownFlags(pars[0]);
        switch (pars.get(1, 1)) {
        case 1:
            state.flags = value;
            break;
        case 2:
            state.flags.insert(value);
            break;
        case 3:
            state.flags.remove(value);
            break;
        default:
            break;
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace Tessaline
