#pragma once

#include "Builder/BezierNode.h"
#include "Builder/ButtonDef.h"
#include "Builder/SkinImage.h"

#include <QList>
#include <QRectF>
#include <QSizeF>

#include <optional>

namespace Quillaby {

// One undo step of the image tools: the image object itself (tools never change one in place, so no
// pixels are copied) with the geometry that belonged to it.
struct ImageSnapshot {
    SkinImage image;
    std::optional<QRectF> viewport;
    QList<ButtonDef> buttons;
    QSizeF pixelSize;
    // Trimming moves the drawer with the image, so a step puts the drawer geometry back too.
    std::optional<QRectF> drawerViewport;
    QList<BezierNode> drawerMask;
};

// The image tools' undo stack, oldest first, at most maxDepth steps. The model empties it by assigning
// an empty stack.
class ImageHistory {
public:
    static constexpr int maxDepth = 10;

    QList<ImageSnapshot> stack;

    // Appends; the oldest step goes when there would be more than maxDepth.
    void push(ImageSnapshot snapshot) {
        stack.append(std::move(snapshot));
        while (stack.size() > maxDepth)
            stack.removeFirst();
    }
    // The newest step, removed; nothing when empty.
    std::optional<ImageSnapshot> pop() {
        if (stack.isEmpty()) return std::nullopt;
        return stack.takeLast();
    }
};

} // namespace Quillaby
