#pragma once

#include "WeakReference.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace Tessaline {

class TerminalView;

// What the owner of a TerminalView hears from it, on the GUI thread. The view holds its delegate without
// owning it; calls to a delegate that has gone are dropped. Texts are UTF-8.
class TerminalViewDelegate : public virtual WeakTarget {
public:
    ~TerminalViewDelegate() override;

    // The terminal has a new size in cells.
    virtual void sizeChanged(TerminalView& source, int newCols, int newRows) = 0;
    virtual void setTerminalTitle(TerminalView& source, const std::string& title) = 0;
    // The directory the program announced (normally a file URL), or none.
    virtual void hostCurrentDirectoryUpdate(TerminalView& source,
                                            const std::optional<std::string>& directory) = 0;
    // Bytes for the program: keys, pastes and the terminal's replies.
    virtual void send(TerminalView& source, std::span<const uint8_t> data) = 0;
    // The view scrolled; 0 is the oldest line, 1 the live screen.
    virtual void scrolled(TerminalView& source, double position) = 0;
    // A hyperlink to open. Default: opened by the desktop when it parses as a URL; the parameters are
    // not used.
    virtual void requestOpenLink(TerminalView& source, const std::string& link,
                                 const std::map<std::string, std::string>& params);
    // Default: the desktop's beep.
    virtual void bell(TerminalView& source);
    // OSC 52 from the program.
    virtual void clipboardCopy(TerminalView& source, const std::vector<uint8_t>& content) = 0;
    // An OSC 1337 payload that is not an image. Default: nothing.
    virtual void iTermContent(TerminalView& source, std::span<const uint8_t> content);
    // The rows a redraw covered (with notifyUpdateChanges on).
    virtual void rangeChanged(TerminalView& source, int startY, int endY) = 0;
};

} // namespace Tessaline
