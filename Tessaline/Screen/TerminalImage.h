#pragma once

namespace Tessaline {

// An image strip one row high that can hang on a row. The line model only stores, copies and drops
// strips; the view and the Kitty graphics code give them meaning.
class TerminalImage {
public:
    virtual ~TerminalImage() = default;
    virtual int pixelWidth() const = 0;
    virtual int pixelHeight() const = 0;
    virtual int col() const = 0;
    virtual void setCol(int col) = 0;
};

} // namespace Tessaline
