#pragma once

#include "WeakReference.h"

#include <cstdint>
#include <optional>
#include <string>

namespace Tessaline {

class LocalProcessTerminalView;
class TerminalView;

// What the owner of a LocalProcessTerminalView hears of its program, on the GUI thread. The view holds
// it without owning it; calls to a delegate that has gone are dropped.
class LocalProcessTerminalViewDelegate : public virtual WeakTarget {
public:
    ~LocalProcessTerminalViewDelegate() override = default;

    // After the terminal was resized and the new size given to the pseudo-terminal.
    virtual void sizeChanged(LocalProcessTerminalView& source, int newCols, int newRows) = 0;
    virtual void setTerminalTitle(LocalProcessTerminalView& source, const std::string& title) = 0;
    // The directory the program reported (normally a file URL), or none.
    virtual void hostCurrentDirectoryUpdate(TerminalView& source,
                                            const std::optional<std::string>& directory) = 0;
    // Once, when the child ended on its own (never after terminate()), with its exit status.
    virtual void processTerminated(TerminalView& source, std::optional<int32_t> exitCode) = 0;
};

} // namespace Tessaline
