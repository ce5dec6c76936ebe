#include "KittyGraphicsControl.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace Tessaline {

namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return uint8_t(c) < 0x80; });
}

bool startsWithDigit(std::string_view text) {
    return !text.empty() && text.front() >= '0' && text.front() <= '9';
}

std::optional<char> charValue(const std::optional<std::string_view>& value) {
    if (!value || value->empty()) return std::nullopt;
    return value->front();
}

} // namespace

int64_t KittyGraphicsControl::intValue(std::string_view value, int64_t defaultValue) {
    if (!value.empty() && value.front() == '+') {
        value.remove_prefix(1);
        if (!startsWithDigit(value)) return defaultValue;
    }
    int64_t result = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), result);
    if (error != std::errc() || end != value.data() + value.size() || value.empty()) return defaultValue;
    return result;
}

std::optional<uint32_t> KittyGraphicsControl::uintValue(std::string_view value) {
    if (!value.empty() && value.front() == '+') value.remove_prefix(1);
    if (!startsWithDigit(value)) return std::nullopt;
    uint64_t result = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), result);
    if (error != std::errc() || end != value.data() + value.size()) return std::nullopt;
    if (result < 1 || result > UINT32_MAX) return std::nullopt;
    return uint32_t(result);
}

KittyGraphicsCommand parseKittyGraphicsControl(std::span<const uint8_t> data) {
    std::string_view content(reinterpret_cast<const char*>(data.data()), data.size());
    size_t semicolon = content.find(';');
    std::string_view block = content.substr(0, semicolon);
    std::span<const uint8_t> payload;
    if (semicolon != std::string_view::npos) payload = data.subspan(semicolon + 1);

    // Only one-letter keys are read, so the last value of each letter is all that needs keeping.
    std::array<std::optional<std::string_view>, 128> values;
    while (!block.empty()) {
        size_t comma = block.find(',');
        std::string_view piece = block.substr(0, comma);
        block = comma == std::string_view::npos ? std::string_view() : block.substr(comma + 1);
        size_t equals = piece.find('=');
        if (equals != 1 || !isAscii(piece)) continue;
        values[uint8_t(piece[0])] = piece.substr(2);
    }

    auto integer = [&](char key, int64_t defaultValue) {
        const auto& value = values[uint8_t(key)];
        return value ? KittyGraphicsControl::intValue(*value, defaultValue) : defaultValue;
    };
    auto id = [&](char key) -> std::optional<uint32_t> {
        const auto& value = values[uint8_t(key)];
        return value ? KittyGraphicsControl::uintValue(*value) : std::nullopt;
    };

    KittyGraphicsControl c;
    c.action = charValue(values['a']).value_or('t');
    c.suppressResponses = integer('q', 0);
    c.format = integer('f', 32);
    c.transmission = charValue(values['t']).value_or('d');
    c.width = integer('s', 0);
    c.height = integer('v', 0);
    c.cropX = integer('x', 0);
    c.cropY = integer('y', 0);
    c.cropWidth = integer('w', 0);
    c.cropHeight = integer('h', 0);
    c.dataSize = integer('S', 0);
    c.dataOffset = integer('O', 0);
    c.imageId = id('i');
    c.imageNumber = id('I');
    c.placementId = id('p');
    c.parentImageId = id('P');
    c.parentPlacementId = id('Q');
    c.offsetH = integer('H', 0);
    c.offsetV = integer('V', 0);
    c.pixelOffsetX = integer('X', 0);
    c.pixelOffsetY = integer('Y', 0);
    c.unicodePlaceholder = integer('U', 0);
    c.zIndex = integer('z', 0);
    c.more = integer('m', 0);
    c.compression = charValue(values['o']);
    c.columns = integer('c', 0);
    c.rows = integer('r', 0);
    c.cursorPolicy = integer('C', 0);
    c.deleteMode = charValue(values['d']);
    // Chunking exists only for data carried inside the escape sequence.
    if (c.transmission != 'd') c.more = 0;
    return {c, payload};
}

} // namespace Tessaline
