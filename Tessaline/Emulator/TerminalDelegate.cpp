#include "TerminalDelegate.h"

#include "RgbaImageStrip.h"
#include "Terminal.h"

namespace Tessaline {

TerminalDelegate::~TerminalDelegate() = default;

void TerminalDelegate::showCursor(Terminal&) {}
void TerminalDelegate::hideCursor(Terminal&) {}
void TerminalDelegate::setTerminalTitle(Terminal&, const std::string&) {}
void TerminalDelegate::setTerminalIconTitle(Terminal&, const std::string&) {}

std::optional<std::vector<uint8_t>> TerminalDelegate::windowCommand(Terminal&,
                                                                    const WindowManipulationCommand&) {
    return std::nullopt;
}

void TerminalDelegate::sizeChanged(Terminal&) {}
void TerminalDelegate::scrolled(Terminal&, int) {}
void TerminalDelegate::linefeed(Terminal&) {}
void TerminalDelegate::bufferActivated(Terminal&) {}
void TerminalDelegate::synchronizedOutputChanged(Terminal&, bool) {}
void TerminalDelegate::bell(Terminal&) {}
void TerminalDelegate::selectionChanged(Terminal&) {}

bool TerminalDelegate::isProcessTrusted(Terminal&) {
    return true;
}

std::optional<CellPixelSize> TerminalDelegate::cellSizeInPixels(Terminal&) {
    return std::nullopt;
}

void TerminalDelegate::mouseModeChanged(Terminal&) {}
void TerminalDelegate::cursorStyleChanged(Terminal&, CursorStyle) {}
void TerminalDelegate::hostCurrentDirectoryUpdated(Terminal&) {}
void TerminalDelegate::hostCurrentDocumentUpdated(Terminal&) {}
void TerminalDelegate::colorChanged(Terminal&, std::optional<int>) {}
// The colour defaults assign the terminal's own property; its observer calls back here once more and
// its guard stops there.
void TerminalDelegate::setForegroundColor(Terminal& source, const Color& color) {
    source.setForegroundColor(color);
}
void TerminalDelegate::setBackgroundColor(Terminal& source, const Color& color) {
    source.setBackgroundColor(color);
}
void TerminalDelegate::setCursorColor(Terminal& source, const std::optional<Color>& color) {
    source.setCursorColor(color);
}
TerminalColors TerminalDelegate::getColors(Terminal& source) {
    return {source.foregroundColor(), source.backgroundColor()};
}

void TerminalDelegate::iTermContent(Terminal&, std::span<const uint8_t>) {}
void TerminalDelegate::clipboardCopy(Terminal&, const std::vector<uint8_t>&) {}
void TerminalDelegate::notify(Terminal&, const std::string&, const std::string&) {}
void TerminalDelegate::progressReport(Terminal&, const ProgressReport&) {}
void TerminalDelegate::createImageFromBitmap(Terminal&, std::vector<uint8_t>&, int, int) {}
void TerminalDelegate::createImage(Terminal&, const std::vector<uint8_t>&, ImageSizeRequest, ImageSizeRequest,
                                   bool) {}

std::shared_ptr<KittyPlacementImage> TerminalDelegate::makeImageStrip(Terminal&, std::vector<uint8_t> pixels,
                                                                      int width, int height) {
    return std::make_shared<RgbaImageStrip>(std::move(pixels), width, height);
}

} // namespace Tessaline
