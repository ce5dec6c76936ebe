#include "HeadlessTerminal.h"

#include "PseudoTerminalHelpers.h"

#include <algorithm>
#include <utility>

namespace Tessaline {

namespace {

uint16_t fitWinsize(int value) {
    return uint16_t(std::clamp(value, 0, 0xFFFF));
}

} // namespace

HeadlessTerminal::HeadlessTerminal(Executor& queue, const TerminalOptions& options, OnEnd onEnd,
                                   bool usesMainQueue)
    : _onEnd(std::move(onEnd))
    , _terminal(this, options)
    , _process(this, queue, usesMainQueue) {
    // Synchronized output times out on the thread that feeds the terminal.
    _terminal.executor = &queue;
}

HeadlessTerminal::~HeadlessTerminal() = default;

void HeadlessTerminal::processTerminated(LocalProcess&, std::optional<int32_t> exitCode) {
    // A copy: the closure may replace itself or destroy this object.
    const OnEnd onEnd = _onEnd;
    if (onEnd) onEnd(exitCode);
}

void HeadlessTerminal::dataReceived(std::span<const uint8_t> slice) {
    _terminal.parser().parse(slice);
}

size_t HeadlessTerminal::send(std::span<const uint8_t> data) {
    return _process.send(data);
}

size_t HeadlessTerminal::send(std::string_view text) {
    return send(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void HeadlessTerminal::changeScrollback(std::optional<int> lines) {
    // The normal buffer's history, the options' record (none as 0) and the first and last rows as changed.
    _terminal.changeScrollback(lines);
}

void HeadlessTerminal::send(Terminal&, std::span<const uint8_t> data) {
    send(data);
}

winsize HeadlessTerminal::getWindowSize() {
    return {fitWinsize(_terminal.rows()), fitWinsize(_terminal.cols()), windowPixelWidth, windowPixelHeight};
}

std::optional<std::vector<uint8_t>>
HeadlessTerminal::windowCommand(Terminal& source, const WindowManipulationCommand& command) {
    if (!resizesOnRequest || command.kind() != WindowManipulationCommand::Kind::resizeTerminal)
        return std::nullopt;
    const auto side = [](int requested, int current, int most) {
        return requested > 0 ? std::min(requested, most) : current;
    };
    source.resize(side(command.cols(), source.cols(), maxRequestedCols),
                  side(command.rows(), source.rows(), maxRequestedRows));
    sizeChanged(source);
    return std::nullopt;
}

void HeadlessTerminal::sizeChanged(Terminal&) {
    if (const int fd = _process.childfd(); fd >= 0) PseudoTerminalHelpers::setWinSize(fd, getWindowSize());
}

void HeadlessTerminal::mouseModeChanged(Terminal&) {}

void HeadlessTerminal::hostCurrentDirectoryUpdated(Terminal& source) {
    _dir = source.hostCurrentDirectory();
}

void HeadlessTerminal::colorChanged(Terminal&, int) {}

void HeadlessTerminal::createImageFromBitmap(Terminal&, std::vector<uint8_t>& bytes, int width, int height) {
    // Taken, not copied: the bitmap is not used after this call, and a copy would double the peak.
    _imageBytes += bytes.size();
    _images.push_back({std::move(bytes), width, height});
    // A program that sends images without end must not make us hold them all: the oldest go first.
    size_t dropped = 0;
    while (_imageBytes > imageByteLimit && _images.size() - dropped > 1)
        _imageBytes -= _images[dropped++].bytes.size();
    if (dropped > 0) _images.erase(_images.begin(), _images.begin() + std::ptrdiff_t(dropped));
}

std::vector<HeadlessTerminal::Image> HeadlessTerminal::takeImages() {
    _imageBytes = 0;
    return std::exchange(_images, {});
}

} // namespace Tessaline
