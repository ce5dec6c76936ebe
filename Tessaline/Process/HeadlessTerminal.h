#pragma once

#include "Executor.h"
#include "LocalProcess.h"
#include "Terminal.h"
#include "TerminalDelegate.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Tessaline {

// A terminal and a process without a view: the child's output is parsed into the terminal's buffers, the
// terminal's replies go back to the child, and the child's end is reported to onEnd.
//
// Nothing is started here: the owner calls process().startProcess(...). Every callback arrives on the
// executor given to the constructor; the owner calls send(), changeScrollback() and reads the terminal
// on that same thread, and destroys the object there.
class HeadlessTerminal : public TerminalDelegate, public LocalProcessDelegate {
public:
    using OnEnd = std::function<void(std::optional<int32_t> exitCode)>;

    // A raw image the terminal handed over (RGBA, 8 bits per channel, rows top first).
    struct Image {
        std::vector<uint8_t> bytes;
        int width = 0;
        int height = 0;
    };

    // The window's size in pixels as the child is told it: fixed, whatever the rows and columns.
    static constexpr uint16_t windowPixelWidth = 16;
    static constexpr uint16_t windowPixelHeight = 16;

    // The executor runs the process's callbacks and drain jobs and the terminal's timers. usesMainQueue:
    // see LocalProcess.
    HeadlessTerminal(Executor& queue, const TerminalOptions& options, OnEnd onEnd, bool usesMainQueue = true);
    HeadlessTerminal(const HeadlessTerminal&) = delete;
    HeadlessTerminal& operator=(const HeadlessTerminal&) = delete;
    ~HeadlessTerminal() override;

    virtual Terminal& terminal() { return _terminal; }
    virtual LocalProcess& process() { return _process; }
    virtual const OnEnd& onEnd() const { return _onEnd; }
    virtual void setOnEnd(OnEnd onEnd) { _onEnd = std::move(onEnd); }
    // The directory the program last announced (OSC 7).
    virtual const std::optional<std::string>& dir() const { return _dir; }
    virtual void setDir(std::optional<std::string> dir) { _dir = std::move(dir); }

    // LocalProcessDelegate
    void processTerminated(LocalProcess& source, std::optional<int32_t> exitCode) override;
    void dataReceived(std::span<const uint8_t> slice) override;

    // Writes the bytes to the child as LocalProcess::send() does, answering how many it took.
    virtual size_t send(std::span<const uint8_t> data);
    virtual size_t send(std::string_view text);
    // Scroll-back lines of the normal buffer (nullopt: none), recorded in the terminal's options.
    virtual void changeScrollback(std::optional<int> lines);

    // TerminalDelegate
    void send(Terminal& source, std::span<const uint8_t> data) override;

    // LocalProcessDelegate: the terminal's rows and columns (at most 65535) and the fixed pixel size.
    winsize getWindowSize() override;

    // Whether a program's request to resize the text area (CSI 8 ; rows ; cols t) is carried out: off by
    // default, as a host with a window of its own would decide. A 0 or missing size keeps that side;
    // sizes are held to maxRequestedCols x maxRequestedRows.
    bool resizesOnRequest = false;
    static constexpr int maxRequestedCols = 2048;
    static constexpr int maxRequestedRows = 1024;

    // TerminalDelegate
    std::optional<std::vector<uint8_t>> windowCommand(Terminal& source,
                                                      const WindowManipulationCommand& command) override;
    // The terminal changed its own size (DECCOLM): the program is told.
    void sizeChanged(Terminal& source) override;
    void mouseModeChanged(Terminal& source) override;
    void hostCurrentDirectoryUpdated(Terminal& source) override;
    // An operation of its own that does nothing: the terminal's palette notices, which carry an optional
    // index, reach the delegate's default instead.
    using TerminalDelegate::colorChanged;
    virtual void colorChanged(Terminal& source, int idx);

    // The raw images the terminal handed over, in arrival order, within maxImageBytes; nothing is drawn.
    virtual const std::vector<Image>& images() const { return _images; }
    // The images kept hold at most this many bytes (the newest is always kept): the oldest are dropped.
    size_t imageByteLimit = size_t(256) << 20;
    // Hands the images over and forgets them.
    virtual std::vector<Image> takeImages();
    void createImageFromBitmap(Terminal& source, std::vector<uint8_t>& bytes, int width, int height) override;

private:
    // Declared before the terminal, which may call back while it is being made.
    OnEnd _onEnd;
    std::optional<std::string> _dir;
    std::vector<Image> _images;
    size_t _imageBytes = 0;
    Terminal _terminal;
    // Declared last, so destroyed first: once it is gone no callback arrives.
    LocalProcess _process;
};

} // namespace Tessaline
