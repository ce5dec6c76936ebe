#include "KittyGraphicsState.h"

#include <algorithm>

namespace Tessaline {

int64_t KittyGraphicsState::clampCacheLimit(int64_t optionValue) {
    return std::clamp(optionValue, int64_t(0), maxCacheLimitBytes);
}

uint64_t KittyGraphicsState::takeAccessTick() {
    return nextImageAccessTick++;
}

uint32_t KittyGraphicsState::takeImageIdForNumber(const KittyImageIdSet& inUse) {
    // Bounded by the id space; every id taken cannot happen within any memory, and would reuse one.
    for (uint64_t tries = 0; tries <= UINT32_MAX; ++tries) {
        uint32_t id = nextImageId++;
        if (id != 0 && !imagesById.contains(id) && !inUse.contains(id)) return id;
    }
    if (nextImageId == 0) ++nextImageId;
    return nextImageId++;
}

void KittyGraphicsState::storeImage(KittyGraphicsPayloadPtr payload, uint32_t imageId,
                                    std::optional<uint32_t> imageNumber) {
    int64_t byteSize = payload->byteSize();
    uint64_t tick = takeAccessTick();
    if (auto old = imagesById.find(imageId); old != imagesById.end())
        totalImageBytes = std::max<int64_t>(totalImageBytes - old->second.byteSize, 0);
    imagesById[imageId] = KittyGraphicsImage{std::move(payload), byteSize, tick};
    totalImageBytes += byteSize;
    if (imageNumber) imageNumbers[*imageNumber] = imageId;
}

std::vector<uint32_t> KittyGraphicsState::idsByAge(const KittyImageIdSet* excluded) const {
    std::vector<std::pair<uint64_t, uint32_t>> stamped;
    stamped.reserve(imagesById.size());
    for (const auto& [id, image] : imagesById)
        if (!excluded || !excluded->contains(id)) stamped.emplace_back(image.lastAccessTick, id);
    std::stable_sort(stamped.begin(), stamped.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<uint32_t> ids;
    ids.reserve(stamped.size());
    for (const auto& entry : stamped)
        ids.push_back(entry.second);
    return ids;
}

void KittyGraphicsState::evictUntilWithin(const std::vector<uint32_t>& order, int64_t limit) {
    for (uint32_t id : order) {
        if (totalImageBytes <= limit) return;
        evictImage(id);
    }
}

void KittyGraphicsState::enforceCacheLimit(int64_t limit, const std::function<KittyImageIdSet()>& usedIds) {
    if (totalImageBytes <= limit) return;
    KittyImageIdSet used = usedIds ? usedIds() : KittyImageIdSet();
    evictUntilWithin(idsByAge(&used), limit);
    if (totalImageBytes <= limit) return;
    evictUntilWithin(idsByAge(nullptr), limit);
}

void KittyGraphicsState::removeUnusedImages(const KittyImageIdSet& used) {
    for (uint32_t id : idsByAge(&used))
        evictImage(id);
}

void KittyGraphicsState::evictImage(uint32_t imageId) {
    auto it = imagesById.find(imageId);
    if (it == imagesById.end()) return;
    totalImageBytes = std::max<int64_t>(totalImageBytes - it->second.byteSize, 0);
    imagesById.erase(it);
    removeImageNumbers(imageId);
}

const KittyGraphicsImage* KittyGraphicsState::updateImageAccess(uint32_t imageId) {
    auto it = imagesById.find(imageId);
    if (it == imagesById.end()) return nullptr;
    it->second.lastAccessTick = takeAccessTick();
    return &it->second;
}

void KittyGraphicsState::removeImageNumbers(uint32_t imageId) {
    std::erase_if(imageNumbers, [imageId](const auto& entry) { return entry.second == imageId; });
}

void KittyGraphicsState::removeAllImages() {
    imagesById.clear();
    imageNumbers.clear();
    placementsByKey.clear();
    totalImageBytes = 0;
    nextImageAccessTick = 1;
}

void KittyGraphicsState::collectRecordImageIds(KittyImageIdSet& into) const {
    for (const auto& [key, record] : placementsByKey)
        into.insert(record.imageId);
}

} // namespace Tessaline
