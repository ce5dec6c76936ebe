#include "KittyGraphicsState.h"
#include "KittyTestData.h"

#include <gtest/gtest.h>

#include <string>

using namespace Tessaline;

namespace {

KittyGraphicsPayloadPtr pngOfSize(size_t bytes) {
    return std::make_shared<KittyGraphicsPayload>(KittyGraphicsPayload::png(std::vector<uint8_t>(bytes)));
}

// "id:bytes" of the stored images in id order, then the total.
std::string describe(const KittyGraphicsState& state) {
    std::string out;
    for (uint32_t id : Testing::sortedImageIds(state))
        out += std::to_string(id) + ":" + std::to_string(state.imagesById.at(id).byteSize) + " ";
    return out + "total " + std::to_string(state.totalImageBytes);
}

} // namespace

TEST(KittyGraphicsState, StartsEmpty) {
    KittyGraphicsState state;
    EXPECT_TRUE(state.imagesById.empty());
    EXPECT_TRUE(state.imageNumbers.empty());
    EXPECT_EQ(state.nextImageId, 1u);
    EXPECT_EQ(state.nextPlacementId, 1u);
    EXPECT_FALSE(state.pending);
    EXPECT_TRUE(state.placementsByKey.empty());
    EXPECT_EQ(state.totalImageBytes, 0);
    EXPECT_EQ(state.nextImageAccessTick, 1u);
}

TEST(KittyGraphicsState, BudgetEvictsUnusedImagesFirstOldestFirst) {
    struct Case {
        const char* name;
        int64_t limit;
        std::vector<std::pair<uint32_t, size_t>> stores; // id, bytes, in order
        KittyImageIdSet used;
        std::vector<uint32_t> touched; // stamped after storing, in order
        std::string expected;
    };
    const Case cases[] = {
        {"within budget", 1000, {{1, 400}, {2, 400}}, {}, {}, "1:400 2:400 total 800"},
        {"third evicts the oldest", 1000, {{1, 400}, {2, 400}, {3, 400}}, {}, {}, "2:400 3:400 total 800"},
        {"placed image stays, new one goes", 1000, {{1, 800}, {2, 600}}, {1}, {}, "1:800 total 800"},
        {"access stamp makes an image newer",
         1000,
         {{1, 400}, {2, 400}, {3, 400}},
         {},
         {1},
         "1:400 3:400 total 800"},
        {"placed images go oldest first once unplaced are gone",
         1000,
         {{1, 600}, {2, 600}},
         {1, 2},
         {},
         "2:600 total 600"},
        {"image larger than the budget goes after the other unplaced ones",
         1000,
         {{1, 300}, {2, 2000}},
         {},
         {},
         "total 0"},
        {"image larger than the budget goes, placed ones stay",
         1000,
         {{1, 300}, {2, 2000}},
         {1},
         {},
         "1:300 total 300"},
        {"larger than the budget and placed: placed ones trimmed too",
         1000,
         {{1, 300}, {2, 2000}},
         {1, 2},
         {},
         "total 0"},
        {"budget 0 empties the store", 0, {{1, 1}}, {1}, {}, "total 0"},
        {"replacing counts only the new image", 1000, {{1, 900}, {1, 100}}, {}, {}, "1:100 total 100"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KittyGraphicsState state;
        size_t n = 0;
        for (auto [id, bytes] : c.stores) {
            state.storeImage(pngOfSize(bytes), id, std::nullopt);
            // Touches run after the last store but one.
            if (++n == c.stores.size() - 1)
                for (uint32_t touched : c.touched)
                    state.updateImageAccess(touched);
            state.enforceCacheLimit(c.limit, [&] { return c.used; });
        }
        EXPECT_EQ(describe(state), c.expected);
    }
}

TEST(KittyGraphicsState, UsedSetAskedOnlyWhenOverBudget) {
    KittyGraphicsState state;
    int asked = 0;
    state.storeImage(pngOfSize(10), 1, std::nullopt);
    state.enforceCacheLimit(10, [&] {
        ++asked;
        return KittyImageIdSet();
    });
    EXPECT_EQ(asked, 0);
    state.enforceCacheLimit(9, [&] {
        ++asked;
        return KittyImageIdSet();
    });
    EXPECT_EQ(asked, 1);
}

TEST(KittyGraphicsState, CacheLimitClamp) {
    EXPECT_EQ(KittyGraphicsState::clampCacheLimit(-5), 0);
    EXPECT_EQ(KittyGraphicsState::clampCacheLimit(335544320), 335544320);
    EXPECT_EQ(KittyGraphicsState::clampCacheLimit(int64_t(8) << 30), int64_t(4) << 30);
}

TEST(KittyGraphicsState, NumbersFollowTheNewestImageAndLeaveWithTheirImage) {
    KittyGraphicsState state;
    state.storeImage(pngOfSize(1), 1, 7);
    state.storeImage(pngOfSize(1), 2, 7);
    state.storeImage(pngOfSize(1), 2, 8);
    EXPECT_EQ(state.imageNumbers, (std::unordered_map<uint32_t, uint32_t>{{7, 2}, {8, 2}}));
    // Replacing an image keeps the numbers that name it.
    state.storeImage(pngOfSize(5), 2, std::nullopt);
    EXPECT_EQ(state.imageNumbers.size(), 2u);
    state.evictImage(2);
    EXPECT_TRUE(state.imageNumbers.empty());
    EXPECT_EQ(describe(state), "1:1 total 1");
}

// An id handed out for an image number once replaced whatever image was stored under it.
TEST(KittyGraphicsState, IdsForNumbersSkipIdsInUseAndZero) {
    KittyGraphicsState state;
    state.storeImage(pngOfSize(1), 1, std::nullopt);
    state.storeImage(pngOfSize(1), 2, std::nullopt);
    EXPECT_EQ(state.takeImageIdForNumber({4}), 3u);
    EXPECT_EQ(state.takeImageIdForNumber({4}), 5u);
    EXPECT_EQ(state.nextImageId, 6u);

    state.nextImageId = UINT32_MAX;
    EXPECT_EQ(state.takeImageIdForNumber({}), UINT32_MAX);
    EXPECT_EQ(state.nextImageId, 0u);
    EXPECT_EQ(state.takeImageIdForNumber({}), 3u); // 0 skipped, 1 and 2 stored
}

TEST(KittyGraphicsState, AccessStampsAndClearing) {
    KittyGraphicsState state;
    state.storeImage(pngOfSize(3), 4, 9);
    EXPECT_EQ(state.imagesById.at(4).lastAccessTick, 1u);
    const KittyGraphicsImage* image = state.updateImageAccess(4);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->lastAccessTick, 2u);
    EXPECT_EQ(state.nextImageAccessTick, 3u);
    EXPECT_FALSE(state.updateImageAccess(5));

    KittyPlacementRecord record;
    record.imageId = 4;
    record.placementId = 1;
    state.placementsByKey[{4, 1}] = record;
    state.storeImage(pngOfSize(3), 6, std::nullopt);
    KittyImageIdSet used;
    state.collectRecordImageIds(used);
    state.removeUnusedImages(used);
    EXPECT_EQ(describe(state), "4:3 total 3");

    state.nextImageId = 40;
    state.nextPlacementId = 50;
    state.removeAllImages();
    EXPECT_EQ(describe(state), "total 0");
    EXPECT_TRUE(state.imageNumbers.empty());
    EXPECT_TRUE(state.placementsByKey.empty());
    EXPECT_EQ(state.nextImageAccessTick, 1u);
    EXPECT_EQ(state.nextImageId, 40u);
    EXPECT_EQ(state.nextPlacementId, 50u);
}

TEST(KittyGraphicsState, PlacementKeysHashBothIds) {
    std::hash<KittyPlacementKey> hash;
    EXPECT_NE(hash({1, 2}), hash({2, 1}));
    EXPECT_EQ(KittyPlacementKey({1, 2}), KittyPlacementKey({1, 2}));
}
