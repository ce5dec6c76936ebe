#pragma once

#include "KittyGraphicsImage.h"
#include "KittyGraphicsPending.h"
#include "KittyPlacementKey.h"
#include "KittyPlacementRecord.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace Tessaline {

using KittyImageIdSet = std::unordered_set<uint32_t>;

// The Kitty images of one terminal, their numbers, the placement records and the chunked transmission in
// progress; made with the terminal and never replaced. The terminal's Kitty code reads and changes the
// fields directly; the operations below keep the byte count and the access stamps right. Single-threaded.
class KittyGraphicsState {
public:
    // The most the budget option can ask for.
    static constexpr int64_t maxCacheLimitBytes = int64_t(4) << 30;

    std::unordered_map<uint32_t, KittyGraphicsImage> imagesById;
    // Image number (I) to the image id it names.
    std::unordered_map<uint32_t, uint32_t> imageNumbers;
    // Where the search for the id of an image sent with a number only starts.
    uint32_t nextImageId = 1;
    uint32_t nextPlacementId = 1;
    std::optional<KittyGraphicsPending> pending;
    std::unordered_map<KittyPlacementKey, KittyPlacementRecord> placementsByKey;
    // Sum of byteSize over imagesById.
    int64_t totalImageBytes = 0;
    uint64_t nextImageAccessTick = 1;

    // The budget option taken into 0..4 GiB.
    static int64_t clampCacheLimit(int64_t optionValue);

    // The id for an image sent with a number only: from nextImageId on, skipping 0, the ids of stored
    // images and the ids inUse reports (placed images), so that a number never silently replaces an
    // unrelated image. nextImageId moves past the id handed out.
    uint32_t takeImageIdForNumber(const KittyImageIdSet& inUse);

    // Stores the payload under the id (replacing an image there, whose placements and numbers stay) with
    // a new stamp, and points the number, if any, at it. The budget is the caller's next step.
    void storeImage(KittyGraphicsPayloadPtr payload, uint32_t imageId, std::optional<uint32_t> imageNumber);

    // Drops images until totalImageBytes is within the limit: first those usedIds (asked only when over
    // the limit) does not name, oldest stamp first, then all the others in the same order.
    void enforceCacheLimit(int64_t limit, const std::function<KittyImageIdSet()>& usedIds);

    // Drops every image that used does not name.
    void removeUnusedImages(const KittyImageIdSet& used);

    // Removes one image with its numbers; placements and strips showing it stay.
    void evictImage(uint32_t imageId);

    // Stamps the image as just used; null when it is not stored.
    const KittyGraphicsImage* updateImageAccess(uint32_t imageId);

    // Forgets every number that names the id.
    void removeImageNumbers(uint32_t imageId);

    // Empties images, numbers and records, with the byte count and the stamps started afresh; the id
    // counters and a pending transmission stay.
    void removeAllImages();

    // Ids of the placement records.
    void collectRecordImageIds(KittyImageIdSet& into) const;

    // Bytes held by the chunked transmission in progress.
    size_t pendingHeldBytes() const { return pending ? pending->decoder.heldBytes() : 0; }

private:
    uint64_t takeAccessTick();
    // Stored ids, oldest stamp first, optionally only those not in used.
    std::vector<uint32_t> idsByAge(const KittyImageIdSet* excluded) const;
    void evictUntilWithin(const std::vector<uint32_t>& order, int64_t limit);
};

} // namespace Tessaline
