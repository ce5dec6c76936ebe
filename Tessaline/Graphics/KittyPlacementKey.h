#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace Tessaline {

// Names one Kitty placement: its image id and placement id (neither ever 0).
struct KittyPlacementKey {
    uint32_t imageId = 0;
    uint32_t placementId = 0;

    bool operator==(const KittyPlacementKey&) const = default;
};

} // namespace Tessaline

template<>
struct std::hash<Tessaline::KittyPlacementKey> {
    size_t operator()(const Tessaline::KittyPlacementKey& key) const noexcept {
        return std::hash<uint64_t>()(uint64_t(key.imageId) << 32 | key.placementId);
    }
};
