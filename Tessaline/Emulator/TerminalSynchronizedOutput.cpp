// Synchronized output (mode 2026): readers see a copy of the buffer while a program redraws.
//
// Many full-screen programs open a batch around every frame, so the copy must be cheap: its rows are
// copies that share their cells with the live rows until one side writes (BufferLine copies on write).
// Taking it costs one small object per row; a live row pays for a copy of its cells only when the
// program writes it during the batch.
#include "Terminal.h"

#include <chrono>

namespace Tessaline {

void Terminal::beginSynchronizedOutput() {
    if (synchronizedOutputActive) {
        if (!synchronizedOutputBuffer) {
            synchronizedOutputBuffer = snapshotBuffer(*_buffer);
            synchronizedOutputBufferIsAlternate = isCurrentBufferAlternate();
        }
        scheduleSynchronizedOutputTimeout();
        return;
    }
    synchronizedOutputActive = true;
    synchronizedOutputBuffer = snapshotBuffer(*_buffer);
    synchronizedOutputBufferIsAlternate = isCurrentBufferAlternate();
    scheduleSynchronizedOutputTimeout();
    if (tdel != nullptr) tdel->synchronizedOutputChanged(*this, true);
}

void Terminal::endSynchronizedOutput() {
    if (!synchronizedOutputActive) return;
    synchronizedOutputActive = false;
    retireSnapshot();
    synchronizedOutputBufferIsAlternate = false;
    if (synchronizedOutputTimeoutItem != 0 && executor != nullptr)
        executor->cancel(synchronizedOutputTimeoutItem);
    synchronizedOutputTimeoutItem = 0;
    updateRange(0);
    updateRange(_rows - 1);
    if (tdel != nullptr) tdel->synchronizedOutputChanged(*this, false);
}

void Terminal::scheduleSynchronizedOutputTimeout() {
    // Without an executor there is no clock: the batch lasts until the program ends it.
    if (executor == nullptr) return;
    if (synchronizedOutputTimeoutItem != 0) executor->cancel(synchronizedOutputTimeoutItem);
    // The task holds the terminal weakly: the destructor also cancels it, but a terminal that is gone
    // must never be reached, whatever the executor does with a cancelled task.
    std::weak_ptr<Terminal*> weak = _lifeToken;
    const auto delay = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::duration<double>(synchronizedOutputTimeoutSeconds));
    synchronizedOutputTimeoutItem = executor->postAfter(delay, [weak] {
        const std::shared_ptr<Terminal*> alive = weak.lock();
        if (!alive) return;
        Terminal& terminal = **alive;
        terminal.synchronizedOutputTimeoutItem = 0;
        if (terminal.synchronizedOutputActive) terminal.endSynchronizedOutput();
    });
}

void Terminal::refresh(int startRow, int endRow) {
    updateRange(startRow);
    updateRange(endRow);
}

std::unique_ptr<Buffer> Terminal::snapshotBuffer(Buffer& source) {
    ++_snapshotGeneration;
    std::unique_ptr<Buffer> copy = takeSpareSnapshot(source);
    if (!copy) copy = std::make_unique<Buffer>(source.cols(), source.rows(), tabStopWidth, source.scrollback);
    Buffer& b = *copy;
    b.xDisp = source.xDisp;
    b.setYDisp(source.yDisp());
    b.xBase = source.xBase;
    b.linesTop = source.linesTop;
    b.setYBase(source.yBase());
    // The setters refuse negative values, as they do for every caller.
    b.setX(source.x());
    b.setY(source.y());
    b.setScrollTop(source.scrollTop());
    b.setScrollBottom(source.scrollBottom());
    b.tabStops = source.tabStops;
    b.savedX = source.savedX;
    b.savedY = source.savedY;
    b.savedOriginMode = source.savedOriginMode;
    b.savedMarginMode = source.savedMarginMode;
    b.savedWraparound = source.savedWraparound;
    b.savedReverseWraparound = source.savedReverseWraparound;
    b.setMarginLeft(source.marginLeft());
    b.setMarginRight(source.marginRight());
    b.savedAttr = source.savedAttr;
    b.savedCharset = source.savedCharset;
    b.scrollback = source.scrollback;

    // Oldest row first; reading a row the ring has not made yet makes it, as any read does. A row of
    // the spare that no reader holds any more is renewed in place.
    CircularBufferLineList& from = source.lines();
    CircularBufferLineList& to = b.lines();
    const int count = from.count();
    const bool hadImages = b.hasAnyImages();
    to.setCount(count);
    for (int i = 0; i < count; ++i) {
        const BufferLinePtr& row = to.peek(i);
        if (row && row.use_count() == 1)
            row->becomeCopyOf(*from[i]);
        else
            to.set(i, std::make_shared<BufferLine>(*from[i]));
    }
    // The count of rows with images is only a hint, but the copy's must cover the source's rows.
    if (hadImages || source.hasAnyImages()) b.recalculateLinesWithImagesCount();
    noteGraphemeSnapshot(source);
    return copy;
}

std::unique_ptr<Buffer> Terminal::takeSpareSnapshot(const Buffer& source) {
    if (_spareSnapshotRelease != 0 && executor != nullptr) executor->cancel(_spareSnapshotRelease);
    _spareSnapshotRelease = 0;
    std::unique_ptr<Buffer> spare = std::move(_spareSnapshot);
    if (!spare || spare->cols() != source.cols() || spare->rows() != source.rows() ||
        spare->scrollback != source.scrollback || spare->lines().maxLength() != source.lines().maxLength())
        return nullptr;
    return spare;
}

void Terminal::retireSnapshot() {
    std::unique_ptr<Buffer> copy = std::move(synchronizedOutputBuffer);
    // Without a clock there is no telling when to let it go: it goes now.
    if (executor == nullptr || !copy) return;
    _spareSnapshot = std::move(copy);
    if (_spareSnapshotRelease != 0) executor->cancel(_spareSnapshotRelease);
    std::weak_ptr<Terminal*> weak = _lifeToken;
    const auto delay = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::duration<double>(synchronizedOutputTimeoutSeconds));
    _spareSnapshotRelease = executor->postAfter(delay, [weak] {
        if (const std::shared_ptr<Terminal*> alive = weak.lock()) {
            (*alive)->_spareSnapshot.reset();
            (*alive)->_spareSnapshotRelease = 0;
            BufferLine::releaseBlockCache();
        }
    });
}

} // namespace Tessaline
