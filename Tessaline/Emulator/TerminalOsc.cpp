// OSC notices for the host (titles, document, working directory, progress, notifications, clipboard
// writes) and OSC 1337 inline images. None of them touches the screen or answers the program; what the
// terminal cannot use is dropped without a word.
#include "Terminal.h"

#include "Base64.h"
#include "Utf8.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace Tessaline {

namespace {

std::string_view asText(std::span<const uint8_t> data) {
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

// The text when it is valid UTF-8.
std::optional<std::string> utf8Text(std::string_view bytes) {
    std::u32string scalars;
    if (!Utf8::decode(bytes, scalars)) return std::nullopt;
    return std::string(bytes);
}

// An optional "+" or "-" and decimal digits only; nothing for anything else, or a value that does not fit.
std::optional<int64_t> parseDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    uint64_t magnitude = 0;
    const char* end = text.data() + text.size();
    auto [ptr, error] = std::from_chars(text.data(), end, magnitude);
    if (error != std::errc() || ptr != end) return std::nullopt;
    if (magnitude > uint64_t(std::numeric_limits<int64_t>::max())) return std::nullopt;
    return negative ? -int64_t(magnitude) : int64_t(magnitude);
}

// The arguments of an inline file transfer that the terminal reads; the others are parsed (they can end
// the list) but not kept, so a long list holds nothing.
struct FileArguments {
    std::optional<std::string> inlineValue;
    std::optional<std::string> width;
    std::optional<std::string> height;
    std::optional<std::string> preserveAspectRatio;
};

// "key=value;key=value": stops at an empty segment, a segment without "=", or text that is not UTF-8,
// keeping what was read before. A key seen twice keeps its last value.
FileArguments parseKeyValues(std::string_view list) {
    FileArguments arguments;
    while (!list.empty()) {
        const size_t semicolon = list.find(';');
        const std::string_view segment = list.substr(0, semicolon);
        list = semicolon == std::string_view::npos ? std::string_view() : list.substr(semicolon + 1);
        const size_t equals = segment.find('=');
        if (segment.empty() || equals == std::string_view::npos) break;
        const std::optional<std::string> key = utf8Text(segment.substr(0, equals));
        std::optional<std::string> value = utf8Text(segment.substr(equals + 1));
        if (!key || !value) break;
        if (*key == "inline")
            arguments.inlineValue = std::move(value);
        else if (*key == "width")
            arguments.width = std::move(value);
        else if (*key == "height")
            arguments.height = std::move(value);
        else if (*key == "preserveAspectRatio")
            arguments.preserveAspectRatio = std::move(value);
    }
    return arguments;
}

// "auto", N% (1-100), Npx (1-4095) or N cells (1-199). Values out of range fall back to automatic rather
// than being clamped.
ImageSizeRequest parseDimension(const std::optional<std::string>& value) {
    if (!value || *value == "auto") return ImageSizeRequest::automatic();
    const std::string_view text = *value;
    auto within = [](std::string_view number, int64_t low, int64_t high) -> std::optional<int> {
        const std::optional<int64_t> parsed = parseDecimal(number);
        if (!parsed || *parsed < low || *parsed > high) return std::nullopt;
        return int(*parsed);
    };
    if (text.ends_with('%')) {
        const auto percent = within(text.substr(0, text.size() - 1), 1, 100);
        return percent ? ImageSizeRequest::percent(*percent) : ImageSizeRequest::automatic();
    }
    if (text.ends_with("px")) {
        const auto pixels = within(text.substr(0, text.size() - 2), 1, 4095);
        return pixels ? ImageSizeRequest::pixels(*pixels) : ImageSizeRequest::automatic();
    }
    const auto cells = within(text, 1, 199);
    return cells ? ImageSizeRequest::cells(*cells) : ImageSizeRequest::automatic();
}

} // namespace

// MARK: Titles

void Terminal::setTitle(const std::string& text) {
    terminalTitle = text;
    if (tdel != nullptr) tdel->setTerminalTitle(*this, terminalTitle);
}

void Terminal::setIconTitle(const std::string& text) {
    iconTitle = text;
    if (tdel != nullptr) tdel->setTerminalIconTitle(*this, iconTitle);
}

void Terminal::oscSetTitle(std::span<const uint8_t> data) {
    setTitle(utf8Text(asText(data)).value_or(std::string()));
}

void Terminal::oscSetIconTitle(std::span<const uint8_t> data) {
    setIconTitle(utf8Text(asText(data)).value_or(std::string()));
}

// MARK: Document and working directory

// Both say where the program's files are: a process the host does not trust may not claim that.
void Terminal::oscSetCurrentDocument(std::span<const uint8_t> data) {
    if (tdel == nullptr || !tdel->isProcessTrusted(*this)) return;
    std::optional<std::string> text = utf8Text(asText(data));
    if (!text) return;
    _hostCurrentDocument = std::move(text);
    if (tdel != nullptr) tdel->hostCurrentDocumentUpdated(*this);
}

void Terminal::oscSetCurrentDirectory(std::span<const uint8_t> data) {
    if (tdel == nullptr || !tdel->isProcessTrusted(*this)) return;
    std::optional<std::string> text = utf8Text(asText(data));
    if (!text) return;
    _hostCurrentDirectory = std::move(text);
    if (tdel != nullptr) tdel->hostCurrentDirectoryUpdated(*this);
}

// MARK: Progress reports

std::optional<ProgressReport> Terminal::parseProgressReport(std::span<const uint8_t> data) {
    if (std::any_of(data.begin(), data.end(), [](uint8_t b) { return b >= 0x80; })) return std::nullopt;
    // The pieces between ";": "4", the state and the progress are read; later pieces are ignored.
    const std::string_view text = asText(data);
    const size_t first = text.find(';');
    if (first == std::string_view::npos || text.substr(0, first) != "4") return std::nullopt;
    std::string_view rest = text.substr(first + 1);
    const size_t second = rest.find(';');
    const std::string_view stateText = rest.substr(0, second);
    std::string_view progressText;
    if (second != std::string_view::npos) {
        rest = rest.substr(second + 1);
        progressText = rest.substr(0, rest.find(';'));
    }
    if (stateText.size() != 1 || stateText[0] < '0' || stateText[0] > '4') return std::nullopt;
    const ProgressReportState state = *progressReportState(stateText[0] - '0');

    ProgressReport report{state, std::nullopt};
    if (!progressText.empty()) {
        const std::optional<int64_t> value = parseDecimal(progressText);
        if (!value) return std::nullopt;
        if (state != ProgressReportState::remove)
            report.progress = uint8_t(std::clamp<int64_t>(*value, 0, 100));
    } else if (state == ProgressReportState::set) {
        report.progress = 0;
    }
    return report;
}

bool Terminal::oscProgressReport(std::span<const uint8_t> data) {
    const std::optional<ProgressReport> report = parseProgressReport(data);
    if (!report) return false;
    if (tdel != nullptr) tdel->progressReport(*this, *report);
    return true;
}

// MARK: Notifications and clipboard

void Terminal::oscNotification(std::span<const uint8_t> data) {
    const std::optional<std::string> text = utf8Text(asText(data));
    if (!text) return;
    // "notify", the title, then the body: everything after the second ";".
    const size_t first = text->find(';');
    if (first == std::string::npos || text->compare(0, first, "notify") != 0) return;
    const size_t second = text->find(';', first + 1);
    if (second == std::string::npos) return;
    if (tdel != nullptr)
        tdel->notify(*this, text->substr(first + 1, second - first - 1), text->substr(second + 1));
}

void Terminal::oscClipboardCopy(std::span<const uint8_t> data) {
    if (data.size() < 2 || data[0] != 'c' || data[1] != ';' || tdel == nullptr) return;
    const std::optional<std::vector<uint8_t>> content = Base64::decode(data.subspan(2));
    if (content) tdel->clipboardCopy(*this, *content);
}

// MARK: Inline images

// Every effect is a delegate call, so without a delegate nothing needs reading.
void Terminal::osciTerm2(std::span<const uint8_t> data) {
    if (data.empty() || tdel == nullptr) return;
    const std::string_view text = asText(data);
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) return;
    const std::string_view key = text.substr(0, equals);
    if (key != "File") {
        if (utf8Text(key)) tdel->iTermContent(*this, data);
        return;
    }
    const size_t colon = text.find(':', equals + 1);
    if (colon == std::string_view::npos) return;
    const FileArguments arguments = parseKeyValues(text.substr(equals + 1, colon - equals - 1));
    // A transfer meant for download, not display, is the host's business.
    if (arguments.inlineValue != "1") {
        tdel->iTermContent(*this, data);
        return;
    }
    const std::optional<std::vector<uint8_t>> image = Base64::decode(data.subspan(colon + 1));
    if (!image) return;
    const ImageSizeRequest width = parseDimension(arguments.width);
    const ImageSizeRequest height = parseDimension(arguments.height);
    const bool preserveAspectRatio = !arguments.preserveAspectRatio || *arguments.preserveAspectRatio == "1";
    tdel->createImage(*this, *image, width, height, preserveAspectRatio);
}

} // namespace Tessaline
