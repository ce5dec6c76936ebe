#include "TinyAtom.h"

namespace Tessaline {

int TinyAtom::lastUsed = 0;
int TinyAtom::lastCollected = 0;

std::unordered_map<uint16_t, std::any>& TinyAtom::map() {
    static std::unordered_map<uint16_t, std::any> registry;
    return registry;
}

std::optional<TinyAtom> TinyAtom::lookup(std::any value) {
    auto& registry = map();
    if (registry.size() >= size_t(lastCode)) return std::nullopt;
    int candidate = lastUsed;
    for (;;) {
        candidate = candidate >= lastCode ? firstCode : candidate + 1;
        if (!registry.contains(uint16_t(candidate))) break;
    }
    registry.emplace(uint16_t(candidate), std::move(value));
    lastUsed = candidate;
    return TinyAtom{uint16_t(candidate)};
}

void TinyAtom::release(uint16_t code) {
    map().erase(code);
}

const std::any* TinyAtom::target() const {
    if (code == 0) return nullptr;
    auto& registry = map();
    auto it = registry.find(code);
    return it == registry.end() ? nullptr : &it->second;
}

void TinyAtom::resetForTesting() {
    map().clear();
    lastUsed = 0;
    lastCollected = 0;
}

} // namespace Tessaline
