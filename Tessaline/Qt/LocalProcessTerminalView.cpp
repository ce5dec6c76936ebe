#include "LocalProcessTerminalView.h"

#include "WindowReports.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QStringDecoder>

#include <sys/ioctl.h>

namespace Tessaline {

LocalProcessTerminalView::LocalProcessTerminalView(const QRect& frame, QWidget* parent, Executor* executor)
    : TerminalView(frame, std::nullopt, parent, executor) {
    setTerminalDelegate(this);
    _process = std::make_unique<LocalProcess>(this, this->executor(), true);
}

LocalProcessTerminalView::LocalProcessTerminalView(std::unique_ptr<LocalProcess> process, const QRect& frame,
                                                   QWidget* parent, const std::optional<QFont>& font)
    : TerminalView(frame, font, parent, &process->dispatchQueue())
    , _process(std::move(process)) {
    setTerminalDelegate(this);
    _process->setDelegate(this);
    if (_process->running()) {
        const winsize size = getWindowSize();
        ioctl(_process->childfd(), TIOCSWINSZ, &size);
    }
}

LocalProcessTerminalView::~LocalProcessTerminalView() {
    _process.reset();
}

void LocalProcessTerminalView::startProcess(const std::string& executable,
                                            const std::vector<std::string>& args,
                                            const std::optional<std::vector<std::string>>& environment,
                                            const std::optional<std::string>& execName,
                                            const std::optional<std::string>& currentDirectory) {
    if (_process->running()) return;
    _process->startProcessWithForkpty(executable, args, environment, execName, currentDirectory);
}

void LocalProcessTerminalView::terminate() {
    _process->terminate();
}

void LocalProcessTerminalView::setHostLogging(std::optional<std::string> directory) {
    _process->setHostLogging(std::move(directory));
}

// MARK: The view's delegate

void LocalProcessTerminalView::sizeChanged(TerminalView&, int newCols, int newRows) {
    if (!_process->running()) return;
    const winsize size = getWindowSize();
    ioctl(_process->childfd(), TIOCSWINSZ, &size);
    if (auto* delegate = _processDelegate.get()) delegate->sizeChanged(*this, newCols, newRows);
}

void LocalProcessTerminalView::setTerminalTitle(TerminalView&, const std::string& title) {
    if (auto* delegate = _processDelegate.get()) delegate->setTerminalTitle(*this, title);
}

void LocalProcessTerminalView::hostCurrentDirectoryUpdate(TerminalView& source,
                                                          const std::optional<std::string>& directory) {
    if (auto* delegate = _processDelegate.get()) delegate->hostCurrentDirectoryUpdate(source, directory);
}

void LocalProcessTerminalView::send(TerminalView&, std::span<const uint8_t> data) {
    _process->send(data);
}

void LocalProcessTerminalView::scrolled(TerminalView&, double) {}

void LocalProcessTerminalView::clipboardCopy(TerminalView&, const std::vector<uint8_t>& content) {
    QStringDecoder decode(QStringDecoder::Utf8);
    const QString text = decode(QByteArrayView(content.data(), qsizetype(content.size())));
    if (decode.hasError()) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

void LocalProcessTerminalView::rangeChanged(TerminalView&, int, int) {}

// MARK: The process's delegate

void LocalProcessTerminalView::processTerminated(LocalProcess&, std::optional<int32_t> exitCode) {
    if (auto* delegate = _processDelegate.get()) delegate->processTerminated(*this, exitCode);
}

void LocalProcessTerminalView::dataReceived(std::span<const uint8_t> slice) {
    feed(slice);
}

winsize LocalProcessTerminalView::getWindowSize() {
    // Pixels as the window reports give them (device pixels of the text area), not the frame in logical
    // pixels: a program that divides them by the cells gets the cell size it would draw images at.
    const Terminal& t = terminal();
    return WindowReports::ptyWindowSize(cellDimension(), backingScale(), t.cols(), t.rows());
}

} // namespace Tessaline
