#include "FakeDelegate.h"

#include "Terminal.h"

#include <cstdio>

namespace Tessaline::Testing {

namespace {

std::string bytesOf(std::span<const uint8_t> data) {
    return std::string(reinterpret_cast<const char*>(data.data()), data.size());
}

std::string sizeText(ImageSizeRequest request) {
    switch (request.kind()) {
    case ImageSizeRequest::Kind::cells:
        return "cells:" + std::to_string(request.value());
    case ImageSizeRequest::Kind::pixels:
        return "pixels:" + std::to_string(request.value());
    case ImageSizeRequest::Kind::percent:
        return "percent:" + std::to_string(request.value());
    case ImageSizeRequest::Kind::automatic:
        break;
    }
    return "auto";
}

} // namespace

std::string FakeDelegate::escape(std::string_view bytes) {
    std::string out;
    for (char ch : bytes) {
        const uint8_t b = uint8_t(ch);
        if (b == 0x1B) {
            out += "\\e";
        } else if (b == '\\') {
            out += "\\\\";
        } else if (b >= 0x20 && b < 0x7F) {
            out += ch;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        }
    }
    return out;
}

std::vector<std::string> FakeDelegate::takeLog() {
    std::vector<std::string> out = std::move(log);
    log.clear();
    return out;
}

std::string FakeDelegate::takeReplies() {
    std::string out = std::move(replies);
    replies.clear();
    return out;
}

void FakeDelegate::record(std::string line) {
    const std::string name = line.substr(0, line.find(' '));
    if (ignored.count(name) == 0) log.push_back(std::move(line));
}

void FakeDelegate::showCursor(Terminal&) {
    record("showCursor");
}
void FakeDelegate::hideCursor(Terminal&) {
    record("hideCursor");
}
void FakeDelegate::setTerminalTitle(Terminal&, const std::string& title) {
    record("setTitle " + title);
}
void FakeDelegate::setTerminalIconTitle(Terminal&, const std::string& title) {
    record("setIconTitle " + title);
}
std::optional<std::vector<uint8_t>> FakeDelegate::windowCommand(Terminal&,
                                                                const WindowManipulationCommand& command) {
    record("windowCommand " + command.description());
    return windowCommandReply;
}
void FakeDelegate::sizeChanged(Terminal&) {
    record("sizeChanged");
}
void FakeDelegate::send(Terminal&, std::span<const uint8_t> data) {
    const std::string bytes = bytesOf(data);
    replies += bytes;
    record("send " + escape(bytes));
}
void FakeDelegate::scrolled(Terminal&, int yDisp) {
    record("scrolled " + std::to_string(yDisp));
}
void FakeDelegate::linefeed(Terminal&) {
    record("linefeed");
}
void FakeDelegate::bufferActivated(Terminal&) {
    record("bufferActivated");
}
void FakeDelegate::synchronizedOutputChanged(Terminal&, bool active) {
    record(std::string("synchronizedOutputChanged ") + (active ? "true" : "false"));
}
void FakeDelegate::bell(Terminal&) {
    record("bell");
}
void FakeDelegate::selectionChanged(Terminal&) {
    record("selectionChanged");
}
bool FakeDelegate::isProcessTrusted(Terminal&) {
    record("isProcessTrusted");
    return trusted;
}
std::optional<CellPixelSize> FakeDelegate::cellSizeInPixels(Terminal&) {
    record("cellSizeInPixels");
    return cellSize;
}
void FakeDelegate::mouseModeChanged(Terminal&) {
    record("mouseModeChanged");
}
void FakeDelegate::cursorStyleChanged(Terminal&, CursorStyle newStyle) {
    record("cursorStyleChanged " + std::string(name(newStyle)));
}
void FakeDelegate::hostCurrentDirectoryUpdated(Terminal&) {
    record("hostCurrentDirectoryUpdated");
}
void FakeDelegate::hostCurrentDocumentUpdated(Terminal&) {
    record("hostCurrentDocumentUpdated");
}
void FakeDelegate::colorChanged(Terminal&, std::optional<int> idx) {
    record("colorChanged " + (idx ? std::to_string(*idx) : std::string("all")));
}
void FakeDelegate::setForegroundColor(Terminal& source, const Color& color) {
    record("setForegroundColor " + color.formatAsXcolor());
    TerminalDelegate::setForegroundColor(source, color);
}
void FakeDelegate::setBackgroundColor(Terminal& source, const Color& color) {
    record("setBackgroundColor " + color.formatAsXcolor());
    TerminalDelegate::setBackgroundColor(source, color);
}
void FakeDelegate::setCursorColor(Terminal& source, const std::optional<Color>& color) {
    record("setCursorColor " + (color ? color->formatAsXcolor() : std::string("none")));
    TerminalDelegate::setCursorColor(source, color);
}
TerminalColors FakeDelegate::getColors(Terminal& source) {
    record("getColors");
    return TerminalDelegate::getColors(source);
}
void FakeDelegate::iTermContent(Terminal&, std::span<const uint8_t> content) {
    record("iTermContent " + escape(bytesOf(content)));
}
void FakeDelegate::clipboardCopy(Terminal&, const std::vector<uint8_t>& content) {
    record("clipboardCopy " + escape(bytesOf(content)));
}
void FakeDelegate::notify(Terminal&, const std::string& title, const std::string& body) {
    record("notify " + title + "|" + body);
}
void FakeDelegate::progressReport(Terminal&, const ProgressReport& report) {
    static constexpr const char* states[] = {"remove", "set", "error", "indeterminate", "pause"};
    const int state = int(report.state);
    record("progressReport " + std::string(state >= 0 && state < 5 ? states[state] : "?") + " " +
           (report.progress ? std::to_string(int(*report.progress)) : std::string("none")));
}
void FakeDelegate::createImageFromBitmap(Terminal&, std::vector<uint8_t>&, int width, int height) {
    record("createImageFromBitmap " + std::to_string(width) + "x" + std::to_string(height));
}
void FakeDelegate::createImage(Terminal&, const std::vector<uint8_t>& data, ImageSizeRequest width,
                               ImageSizeRequest height, bool preserveAspectRatio) {
    record("createImage " + std::to_string(data.size()) + " bytes " + sizeText(width) + " " +
           sizeText(height) + (preserveAspectRatio ? " aspect" : " stretch"));
}

} // namespace Tessaline::Testing
