#pragma once

#include "LocalProcess.h"
#include "LocalProcessTerminalViewDelegate.h"
#include "TerminalView.h"
#include "TerminalViewDelegate.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Tessaline {

// A terminal view that runs a program: it owns a LocalProcess on a pseudo-terminal, feeds the program's
// output to the view, writes the view's bytes (keys, pastes, the terminal's replies) to the program, gives
// the pseudo-terminal every new size, and passes titles, directories, sizes and the program's end on to
// its processDelegate. It is its own view delegate.
class LocalProcessTerminalView : public TerminalView,
                                 public TerminalViewDelegate,
                                 public LocalProcessDelegate {
    Q_OBJECT
public:
    // The default font and options; the process delivers on the executor (the GUI thread's when none is
    // given). No program runs yet.
    explicit LocalProcessTerminalView(const QRect& frame = QRect(), QWidget* parent = nullptr,
                                      Executor* executor = nullptr);
    // Takes over a process that may already run a program (its output waits on the terminal until the
    // executor's next turn): the view becomes its delegate, delivers on its executor and gives the
    // program the view's size at once, since the program was started before the view had one. A font
    // given here is measured once, where the default font and a later setFont would each cost a font load.
    explicit LocalProcessTerminalView(std::unique_ptr<LocalProcess> process, const QRect& frame = QRect(),
                                      QWidget* parent = nullptr,
                                      const std::optional<QFont>& font = std::nullopt);
    ~LocalProcessTerminalView() override;

    virtual LocalProcess& process() { return *_process; }
    virtual LocalProcessTerminalViewDelegate* processDelegate() const { return _processDelegate.get(); }
    virtual void setProcessDelegate(LocalProcessTerminalViewDelegate* delegate) {
        _processDelegate = delegate;
    }

    // Starts the program on a new pseudo-terminal of the terminal's size, unless one runs already.
    // environment: none for the engine's default; execName: argument 0, none for the executable.
    virtual void startProcess(const std::string& executable, const std::vector<std::string>& args = {},
                              const std::optional<std::vector<std::string>>& environment = std::nullopt,
                              const std::optional<std::string>& execName = std::nullopt,
                              const std::optional<std::string>& currentDirectory = std::nullopt);
    // Ends the program (SIGTERM); its end is not reported.
    virtual void terminate();
    // A folder receiving a dump of every chunk the program writes.
    virtual void setHostLogging(std::optional<std::string> directory);

    // TerminalViewDelegate
    void sizeChanged(TerminalView& source, int newCols, int newRows) override;
    void setTerminalTitle(TerminalView& source, const std::string& title) override;
    void hostCurrentDirectoryUpdate(TerminalView& source,
                                    const std::optional<std::string>& directory) override;
    void send(TerminalView& source, std::span<const uint8_t> data) override;
    void scrolled(TerminalView& source, double position) override;
    void clipboardCopy(TerminalView& source, const std::vector<uint8_t>& content) override;
    void rangeChanged(TerminalView& source, int startY, int endY) override;

    // LocalProcessDelegate
    void processTerminated(LocalProcess& source, std::optional<int32_t> exitCode) override;
    void dataReceived(std::span<const uint8_t> slice) override;
    // Rows, columns and the text area in device pixels, as CSI 14 t reports it, each held to 16 bits.
    winsize getWindowSize() override;

    // The names above hide the view's own overloads; these bring them back.
    using TerminalView::bell;
    using TerminalView::clipboardCopy;
    using TerminalView::iTermContent;
    using TerminalView::scrolled;
    using TerminalView::send;
    using TerminalView::setTerminalTitle;
    using TerminalView::sizeChanged;
    using TerminalViewDelegate::bell;
    using TerminalViewDelegate::iTermContent;

private:
    WeakReference<LocalProcessTerminalViewDelegate> _processDelegate;
    // Last, so that it goes first: once it is gone, nothing of the program arrives.
    std::unique_ptr<LocalProcess> _process;
};

} // namespace Tessaline
