#pragma once

#include "BufferLine.h"
#include "CircularList.h"

namespace Tessaline {

// The ring of rows of a buffer, oldest scroll-back row first. It reports rows with images entering it
// (push) and leaving it (recycle) so the buffer can keep count without scanning.
class CircularBufferLineList : public CircularList<BufferLinePtr> {
public:
    // Called after recycle() with whether the reused row carried images before it was cleared.
    std::function<void(bool)> onLineRecycled;
    // Called after push() with whether the pushed row carries images.
    std::function<void(bool)> onLinePushed;

    using CircularList::CircularList;

    void push(BufferLinePtr line) {
        bool hasImages = line && line->images.has_value();
        CircularList::push(std::move(line));
        if (onLinePushed) onLinePushed(hasImages);
    }

    // Turns the oldest row into the newest, cleared with the attribute; the row object and its cells are
    // reused, so scrolling a full scroll-back allocates nothing. Only on a full ring.
    void recycle(const Attribute& clearAttribute) { recycle(CharData(clearAttribute, 0, 1)); }
    // The same with the blank cell given whole. A row leaving the screen for the scroll-back (retiring)
    // keeps only the cells it uses and hands its block to the reused row, when it can.
    void recycle(const CharData& blank, BufferLine* retiring = nullptr, CellArena* arena = nullptr) {
        Slot& s = rotateOldestToNewest("can only recycle when the buffer is full");
        bool hadImages = false;
        if (s) {
            hadImages = s->images.has_value();
            if (retiring == nullptr || arena == nullptr || !retiring->retire(*s, blank, *arena))
                s->clear(blank);
        }
        if (onLineRecycled) onLineRecycled(hadImages);
    }
};

} // namespace Tessaline
