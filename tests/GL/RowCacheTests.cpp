// The frame builder's row cache and the pool of per-frame buffers, against a device that only counts
// and a row builder that only counts.
#include "BufferPool.h"
#include "ManualExecutor.h"
#include "RowCache.h"
#include "ViewTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace Tessaline;
using namespace QuillabyTest;

namespace {

class CountingBuffer : public GpuBuffer {
public:
    explicit CountingBuffer(std::size_t length)
        : _bytes(length) {}
    std::size_t length() const override { return _bytes.size(); }
    void write(const void* data, std::size_t bytes) override {
        std::memcpy(_bytes.data(), data, std::min(bytes, _bytes.size()));
    }
    const std::vector<unsigned char>& bytes() const { return _bytes; }

private:
    std::vector<unsigned char> _bytes;
};

class CountingDevice : public GpuDevice {
public:
    std::shared_ptr<GpuBuffer> makeBuffer(std::size_t length) override {
        lengths.push_back(length);
        if (buffersLeft-- <= 0) return nullptr;
        return std::make_shared<CountingBuffer>(length);
    }
    std::shared_ptr<GpuTexture> makeTexture(int, int, const unsigned char*) override { return nullptr; }
    std::vector<std::size_t> lengths;
    int buffersLeft = 1000;
};

ColorCell cellAt(float x) {
    ColorCell cell;
    cell.position = {x, 0};
    return cell;
}

} // namespace

// MARK: BufferPool

TEST(BufferPool, LengthsAreRoundedTo256AndReusedAfterTheFrameIsCommitted) {
    struct Case {
        std::size_t records;
        std::size_t length;
    };
    // ColorCell records are 32 bytes.
    for (Case c : {Case{1, 256}, Case{8, 256}, Case{9, 512}, Case{64, 2048}}) {
        SCOPED_TRACE(c.records);
        CountingDevice device;
        BufferPool pool(device);
        std::vector<ColorCell> records(c.records, cellAt(7));
        auto buffer = pool.makeBuffer(records);
        ASSERT_TRUE(buffer);
        EXPECT_EQ(buffer->length(), c.length);
        EXPECT_EQ(device.lengths, std::vector<std::size_t>{c.length});
        float x = 0;
        std::memcpy(&x, static_cast<CountingBuffer&>(*buffer).bytes().data(), sizeof x);
        EXPECT_EQ(x, 7);
        pool.commit();
        EXPECT_TRUE(pool.frameBuffers.empty());
        // The next frame takes the same buffer back.
        EXPECT_EQ(pool.makeBuffer(records), buffer);
        EXPECT_EQ(device.lengths.size(), 1u);
    }
    // Three TextCells (48 bytes each) ask for 256.
    CountingDevice device;
    BufferPool pool(device);
    pool.makeBuffer(std::vector<TextCell>(3));
    EXPECT_EQ(device.lengths, std::vector<std::size_t>{256});
}

TEST(BufferPool, KeepsAtMostFourIdleBuffersPerLength) {
    CountingDevice device;
    BufferPool pool(device);
    std::vector<std::shared_ptr<GpuBuffer>> five;
    for (int i = 0; i < 5; ++i)
        five.push_back(std::make_shared<CountingBuffer>(512));
    pool.recycle(five);
    EXPECT_EQ(pool.idleCount(512), 4u);
    // The last one given back is the first taken.
    EXPECT_EQ(pool.dequeue(512), five[3]);
    EXPECT_EQ(pool.idleCount(512), 3u);
    EXPECT_TRUE(device.lengths.empty());
    // Another length finds nothing idle and is made.
    EXPECT_TRUE(pool.dequeue(1024));
    EXPECT_EQ(device.lengths, std::vector<std::size_t>{1024});
}

TEST(BufferPool, NoRecordsOrNoDeviceBufferGiveNone) {
    CountingDevice device;
    BufferPool pool(device);
    EXPECT_FALSE(pool.makeBuffer(std::vector<ColorVertex>{}));
    EXPECT_TRUE(device.lengths.empty());
    device.buffersLeft = 0;
    EXPECT_FALSE(pool.makeBuffer(std::vector<ColorVertex>(2)));
    EXPECT_TRUE(pool.frameBuffers.empty());
}

// MARK: RowCache

namespace {

struct CacheFixture {
    ManualExecutor executor;
    TerminalView view{QRect(0, 0, 400, 240), testFont(), nullptr, &executor};
    CountingDevice device;
    bool atlasResetDuringBuild = false;
    bool atlasResetHandled = false;
    std::vector<int> built;
    int buffersMade = 0;
    // Runs inside the row builder for the row given, once.
    std::function<void()> duringRow;
    int duringRowAt = -1;
    RowCache cache{builders(), atlasResetDuringBuild, atlasResetHandled};

    RowCache::Builders builders() {
        RowCache::Builders b;
        b.buildRowDrawData = [this](int row, Buffer&, int, double, double, double, double, double,
                                    const VirtualPlacements&) {
            built.push_back(row);
            if (row == duringRowAt && duringRow) std::exchange(duringRow, nullptr)();
            RowDrawData data;
            data.backgroundCells.push_back(cellAt(float(row)));
            return data;
        };
        b.makeRowBuffers = [this](const RowDrawData& data) {
            ++buffersMade;
            RowDrawBuffers buffers;
            buffers.backgroundBuffer = device.makeBuffer(data.backgroundCells.size() * sizeof(ColorCell));
            buffers.backgroundCount = int(data.backgroundCells.size());
            return buffers;
        };
        return b;
    }
    Buffer& shown() { return view.terminal().displayBuffer(); }
    int rows() { return view.terminal().rows(); }
    DrawData build() {
        built.clear();
        buffersMade = 0;
        return cache.buildDrawData(&view, 1);
    }
    std::vector<int> allRows() {
        std::vector<int> rows;
        for (int r = shown().yDisp(); r < shown().yDisp() + this->rows(); ++r)
            rows.push_back(r);
        return rows;
    }
};

} // namespace

TEST(RowCache, AnUnchangedScreenRebuildsNoRowAndMakesNoBuffer) {
    CacheFixture f;
    DrawData first = f.build();
    EXPECT_EQ(f.built, f.allRows());
    EXPECT_EQ(f.buffersMade, f.rows());
    ASSERT_EQ(first.rows.size(), size_t(f.rows()));
    EXPECT_FALSE(first.frame);
    DrawData second = f.build();
    EXPECT_TRUE(f.built.empty());
    EXPECT_EQ(f.buffersMade, 0);
    ASSERT_EQ(second.rows.size(), first.rows.size());
    for (size_t i = 0; i < first.rows.size(); ++i)
        EXPECT_EQ(second.rows[i].backgroundBuffer, first.rows[i].backgroundBuffer);
}

TEST(RowCache, TheDirtyRangeRebuildsItsVisiblePartAndIsTakenEvenWhenNothingOfItShows) {
    CacheFixture f;
    f.build();
    const int top = f.shown().yDisp();
    struct Case {
        const char* name;
        std::pair<int, int> range;
        std::vector<int> rebuilt;
    };
    const Case cases[] = {
        {"inside", {top + 2, top + 3}, {top + 2, top + 3}},
        {"partly below", {top + f.rows() - 2, top + f.rows() + 5}, {top + f.rows() - 2, top + f.rows() - 1}},
        {"wholly below", {top + f.rows() + 1, top + f.rows() + 9}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f.view.addGpuDirtyRange(c.range);
        f.build();
        EXPECT_EQ(f.built, c.rebuilt);
        EXPECT_FALSE(f.view.gpuDirtyRange());
    }
}

TEST(RowCache, TwoRedrawsBeforeAFrameBothReachIt) {
    // Each redraw used to replace the range of the one before: the first one's lines stayed stale.
    CacheFixture f;
    f.build();
    f.view.addGpuDirtyRange(std::pair{1, 1});
    f.view.addGpuDirtyRange(std::pair{4, 5});
    EXPECT_EQ(f.view.gpuDirtyRange(), std::optional(std::pair{1, 5}));
    f.view.addGpuDirtyRange(std::nullopt);
    EXPECT_EQ(f.view.gpuDirtyRange(), std::optional(std::pair{1, 5}));
    f.build();
    EXPECT_EQ(f.built, (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(RowCache, WhatEmptiesTheWholeCache) {
    struct Case {
        const char* name;
        std::function<void(CacheFixture&)> change;
    };
    const Case cases[] = {
        {"scrolled by one line",
         [](CacheFixture& f) {
             f.view.feed(std::string(60, '\n'));
             f.view.scrollUp(1);
             f.build();
             f.view.scrollDown(1);
         }},
        {"a new view size", [](CacheFixture& f) { f.view.resize(500, 240); }},
        {"the alternate screen", [](CacheFixture& f) { f.view.feed("\x1b[?1049h"); }},
        {"a new font size", [](CacheFixture& f) { f.view.setFont(testFont(16)); }},
        {"a Kitty image stored",
         [](CacheFixture& f) { f.view.feed("\x1b_Ga=t,f=32,s=1,v=1,i=7,q=2;AAAA/w==\x1b\\"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CacheFixture f;
        f.build();
        c.change(f);
        f.view.takeGpuDirtyRange();
        f.build();
        EXPECT_EQ(f.built, f.allRows());
        EXPECT_EQ(f.cache.rowCache.size(), size_t(f.rows()));
    }
}

TEST(RowCache, SwitchingToAggregatedAndBackRebuildsNoRow) {
    CacheFixture f;
    f.build();
    f.view.setGpuBufferingMode(GLBufferingMode::perFrameAggregated);
    DrawData aggregated = f.build();
    EXPECT_TRUE(f.built.empty());
    EXPECT_EQ(f.buffersMade, 0);
    EXPECT_TRUE(aggregated.rows.empty());
    ASSERT_TRUE(aggregated.frame);
    // Every visible row's records, one after the other.
    ASSERT_EQ(aggregated.frame->backgroundCells.size(), size_t(f.rows()));
    for (int i = 0; i < f.rows(); ++i)
        EXPECT_EQ(aggregated.frame->backgroundCells[size_t(i)].position.x, float(f.shown().yDisp() + i));
    for (const auto& [row, entry] : f.cache.rowCache)
        EXPECT_FALSE(entry.buffers) << row;

    f.view.addGpuDirtyRange(std::pair{0, 0});
    f.view.setGpuBufferingMode(GLBufferingMode::perRowPersistent);
    DrawData persistent = f.build();
    EXPECT_EQ(f.built, std::vector<int>{0});
    EXPECT_EQ(f.buffersMade, f.rows()) << "buffers remade from the kept data";
    EXPECT_EQ(persistent.rows.size(), size_t(f.rows()));
}

TEST(RowCache, AnAtlasChangeDuringABuildRepeatsItOnceAndOnlyOnce) {
    CacheFixture f;
    f.build();
    f.view.addGpuDirtyRange(std::pair{2, 2});
    f.duringRowAt = 2;
    f.duringRow = [&] { f.cache.atlasChanged(); };
    f.build();
    // From the dirty row on (the cache went with the atlas), then every row against the new atlas.
    std::vector<int> expected;
    for (int row : f.allRows())
        if (row >= 2) expected.push_back(row);
    for (int row : f.allRows())
        expected.push_back(row);
    EXPECT_EQ(f.built, expected);
    EXPECT_FALSE(f.atlasResetHandled);
    EXPECT_EQ(f.cache.lastStats.builds, 3);

    // A change in the first build and another in the repeat: two builds, no third.
    f.duringRowAt = 0;
    f.duringRow = [&] {
        f.cache.atlasChanged();
        f.duringRow = [&] { f.cache.atlasChanged(); };
    };
    f.view.addGpuDirtyRange(std::pair{0, 0});
    f.build();
    EXPECT_EQ(f.built.size(), size_t(2 * f.rows()));
    EXPECT_FALSE(f.atlasResetHandled);
    EXPECT_EQ(f.cache.lastStats.builds, 5);
    // The row the repeat was building when the atlas changed again is not kept: the next frame builds it.
    f.build();
    EXPECT_EQ(f.built, std::vector<int>{0});
}

TEST(RowCache, NoViewOrNoLinesGiveEmptyDataAndLeaveTheRangeInPlace) {
    CacheFixture f;
    DrawData none = f.cache.buildDrawData(nullptr, 1);
    EXPECT_TRUE(none.rows.empty());
    EXPECT_FALSE(none.frame);

    f.cache.builders.visibleRowRange = [](const Buffer&, double) { return std::nullopt; };
    f.view.addGpuDirtyRange(std::pair{0, 1});
    DrawData empty = f.build();
    EXPECT_TRUE(empty.rows.empty());
    EXPECT_TRUE(f.built.empty());
    EXPECT_TRUE(f.view.gpuDirtyRange());
}

TEST(RowCache, RowsScrolledOutOfViewLeaveTheCacheAndTheCaretSeesTheVisibleRows) {
    CacheFixture f;
    std::optional<RowCache::CaretRequest> caret;
    f.cache.builders.buildCursorDrawData = [&](const RowCache::CaretRequest& request, DrawData& output) {
        caret = request;
        output.cursorColorVertices.resize(6);
    };
    DrawData data = f.build();
    ASSERT_TRUE(caret);
    EXPECT_EQ(caret->visible.firstRow, f.shown().yDisp());
    EXPECT_EQ(caret->visible.lastRow, f.shown().yDisp() + f.rows() - 1);
    EXPECT_EQ(caret->cellHeight, f.view.cellDimension().height());
    EXPECT_EQ(data.cursorColorVertices.size(), 6u);
    for (const auto& [row, entry] : f.cache.rowCache)
        EXPECT_TRUE(row >= caret->visible.firstRow && row <= caret->visible.lastRow);
}
