#pragma once

namespace Tessaline {

class KittyPlacementImage;

// An image strip one row high that can hang on a row. The line model only stores, copies and drops
// strips; the view and the Kitty graphics code give them meaning.
class TerminalImage {
public:
    virtual ~TerminalImage() = default;
    virtual int pixelWidth() const = 0;
    virtual int pixelHeight() const = 0;
    virtual int col() const = 0;
    virtual void setCol(int col) = 0;

    // The strip as a Kitty placement strip, when it is one: the Kitty code asks this of every strip it
    // walks past on every scroll, where a dynamic cast would cost more than the rest of the walk.
    virtual KittyPlacementImage* asKittyPlacementImage() { return nullptr; }
    const KittyPlacementImage* asKittyPlacementImage() const {
        return const_cast<TerminalImage*>(this)->asKittyPlacementImage();
    }
};

} // namespace Tessaline
