#include "Base64.h"

#include <algorithm>
#include <array>

namespace Tessaline {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t padValue = 64;
constexpr uint8_t otherValue = 0xFF;

// 0-63 for the letters, padValue for "=", otherValue for every other byte. Any value with a bit of 0xC0
// set is not a letter, which the quartet fast path tests for four bytes at once.
constexpr std::array<uint8_t, 256> makeTable() {
    std::array<uint8_t, 256> table{};
    for (uint8_t& value : table)
        value = otherValue;
    for (int i = 0; i < 64; ++i)
        table[uint8_t(alphabet[i])] = uint8_t(i);
    table['='] = padValue;
    return table;
}

constexpr std::array<uint8_t, 256> decodeTable = makeTable();
static_assert(decodeTable['A'] == 0 && decodeTable['/'] == 63 && decodeTable['='] == padValue);
static_assert(decodeTable['\n'] == otherValue);

} // namespace

Base64Decoder::Base64Decoder(Mode mode, size_t maxDecodedSize)
    : _maxDecodedSize(maxDecodedSize)
    , _mode(mode) {}

void Base64Decoder::fail() {
    _failed = true;
    release();
}

void Base64Decoder::release() {
    std::vector<uint8_t>().swap(_data);
}

void Base64Decoder::reserve(size_t decodedSize) {
    if (_failed || _overLimit) return;
    _data.reserve(std::min(decodedSize, _maxDecodedSize));
}

std::vector<uint8_t> Base64Decoder::takeData() {
    std::vector<uint8_t> data;
    data.swap(_data);
    return data;
}

void Base64Decoder::ensureRoom(size_t want) {
    if (want <= _data.capacity()) return;
    // Grown by half at a time so that many small pieces stay linear, and never past the limit.
    size_t grown = std::max(want, _data.capacity() + _data.capacity() / 2);
    _data.reserve(std::max(want, std::min(grown, _maxDecodedSize)));
}

bool Base64Decoder::append(std::span<const uint8_t> text) {
    if (_failed) return false;
    if (text.empty()) return true;

    // The buffer is sized for the quartets this piece can complete, less the padding at its end, so that
    // a buffer reserved for the exact size is never outgrown; a quartet past that grows it.
    uint8_t* out = nullptr;
    uint8_t* end = nullptr;
    if (!_overLimit) {
        size_t bound = (text.size() + _quartetLength) / 4 * 3;
        size_t pads = 0;
        for (size_t i = text.size(); i-- > 0 && pads < 2;) {
            uint8_t value = decodeTable[text[i]];
            if (value == padValue)
                ++pads;
            else if (value != otherValue || _mode == Mode::strict)
                break;
        }
        bound -= std::min(bound, pads);
        size_t old = _data.size();
        size_t want = old + std::min(bound, _maxDecodedSize - old);
        ensureRoom(want);
        _data.resize(want);
        out = _data.data() + old;
        end = _data.data() + want;
    }

    const uint8_t* p = text.data();
    const uint8_t* const e = p + text.size();
    while (p < e) {
        if (_quartetLength == 0 && !_ended && !_overLimit) {
            while (e - p >= 4 && end - out >= 3) {
                uint8_t a = decodeTable[p[0]], b = decodeTable[p[1]], c = decodeTable[p[2]],
                        d = decodeTable[p[3]];
                if ((a | b | c | d) & 0xC0) break;
                out[0] = uint8_t(a << 2 | b >> 4);
                out[1] = uint8_t(b << 4 | c >> 2);
                out[2] = uint8_t(c << 6 | d);
                out += 3;
                p += 4;
            }
            if (p == e) break;
        }

        uint8_t value = decodeTable[*p++];
        if (value == otherValue) {
            if (_mode == Mode::strict) {
                fail();
                return false;
            }
            continue;
        }
        if (_ended) {
            fail();
            return false;
        }
        if (value == padValue) {
            // "=" may stand only in the last two places of a quartet.
            if (_quartetLength < 2) {
                fail();
                return false;
            }
            ++_padding;
            value = 0;
        } else if (_padding > 0) {
            fail();
            return false;
        }
        _quartet[_quartetLength++] = value;
        if (_quartetLength < 4) continue;

        size_t count = size_t(3 - _padding);
        if (!_overLimit && size_t(end - out) < count) {
            size_t used = size_t(out - _data.data());
            if (count > _maxDecodedSize - used) {
                _overLimit = true;
            } else {
                size_t want = used + count + std::min(size_t(e - p) / 4 * 3, _maxDecodedSize - used - count);
                ensureRoom(want);
                _data.resize(want);
                out = _data.data() + used;
                end = _data.data() + want;
            }
        }
        if (!_overLimit) {
            uint8_t bytes[3] = {uint8_t(_quartet[0] << 2 | _quartet[1] >> 4),
                                uint8_t(_quartet[1] << 4 | _quartet[2] >> 2),
                                uint8_t(_quartet[2] << 6 | _quartet[3])};
            std::copy(bytes, bytes + count, out);
            out += count;
        }
        if (_padding > 0) _ended = true;
        _quartetLength = 0;
        _padding = 0;
    }

    if (_overLimit) {
        release();
    } else {
        _data.resize(size_t(out - _data.data()));
    }
    return true;
}

bool Base64Decoder::finish() {
    if (!_failed && _quartetLength != 0) fail();
    return !_failed && !_overLimit;
}

namespace Base64 {

std::optional<std::vector<uint8_t>> decode(std::span<const uint8_t> text, Base64Decoder::Mode mode) {
    Base64Decoder decoder(mode);
    decoder.reserve(text.size() / 4 * 3);
    if (!decoder.append(text) || !decoder.finish()) return std::nullopt;
    return decoder.takeData();
}

std::optional<std::vector<uint8_t>> decode(std::string_view text, Base64Decoder::Mode mode) {
    return decode(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), mode);
}

std::string encode(std::span<const uint8_t> data) {
    std::string text;
    text.reserve((data.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        uint32_t v = uint32_t(data[i]) << 16 | uint32_t(data[i + 1]) << 8 | data[i + 2];
        text += alphabet[v >> 18];
        text += alphabet[v >> 12 & 63];
        text += alphabet[v >> 6 & 63];
        text += alphabet[v & 63];
    }
    size_t rest = data.size() - i;
    if (rest > 0) {
        uint32_t v = uint32_t(data[i]) << 16 | (rest == 2 ? uint32_t(data[i + 1]) << 8 : 0);
        text += alphabet[v >> 18];
        text += alphabet[v >> 12 & 63];
        text += rest == 2 ? alphabet[v >> 6 & 63] : '=';
        text += '=';
    }
    return text;
}

std::string encode(std::string_view data) {
    return encode(std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
}

} // namespace Base64

} // namespace Tessaline
