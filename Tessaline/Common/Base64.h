#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Tessaline {

// Standard Base64 (RFC 4648 alphabet, "=" padding), the one decoder of the engine. Strict form: only the
// 64 letters of the alphabet and "=" as the last one or two characters, the length a multiple of 4; empty
// text is empty data. Bits left over in the last quartet are ignored.
//
// Decoding works on text that arrives in pieces (the chunks of an image transmission) as well as on one
// whole string; a decoder that has failed or passed its size limit stays so until reset.
class Base64Decoder {
public:
    enum class Mode : uint8_t {
        // Any byte outside the alphabet and "=" fails the text (line breaks included).
        strict,
        // Bytes outside the alphabet and "=" are skipped; what is left must be strict Base64.
        skipOutsideAlphabet,
    };

    explicit Base64Decoder(Mode mode = Mode::strict, size_t maxDecodedSize = SIZE_MAX);

    // Decodes the next piece of text; returns false once the text is known to be bad. Past the size
    // limit the decoded bytes are dropped and the rest of the text is only checked.
    bool append(std::span<const uint8_t> text);
    bool append(std::string_view text) {
        return append(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    }
    // The piece appended last was a unit of its own (a chunk of an image transmission, which its sender
    // encoded and padded by itself): a quartet it ended with padding does not end the text, and the next
    // piece starts a new quartet. Padding in the middle of a piece still fails it.
    void endPiece() { _ended = false; }
    // Ends the text: true when it was whole, well-formed and within the limit.
    bool finish();

    // Makes room for this many decoded bytes in one step (when the final size is known ahead).
    void reserve(size_t decodedSize);

    bool failed() const { return _failed; }
    bool overLimit() const { return _overLimit; }
    // Bytes decoded so far (empty after failure or past the limit).
    const std::vector<uint8_t>& data() const { return _data; }
    // Hands the decoded bytes over; the decoder is left empty.
    std::vector<uint8_t> takeData();
    size_t maxDecodedSize() const { return _maxDecodedSize; }
    // Bytes held for the decoded data (the buffer's capacity).
    size_t heldBytes() const { return _data.capacity(); }

private:
    void fail();
    // Frees the decoded bytes, capacity included.
    void release();
    // Capacity for want decoded bytes in all.
    void ensureRoom(size_t want);

    std::vector<uint8_t> _data;
    size_t _maxDecodedSize;
    Mode _mode;
    uint8_t _quartet[4] = {};
    uint8_t _quartetLength = 0;
    // Letters of the quartet in progress that are "=".
    uint8_t _padding = 0;
    // A quartet with padding has ended: nothing but skipped bytes may follow.
    bool _ended = false;
    bool _failed = false;
    bool _overLimit = false;
};

namespace Base64 {

// The decoded bytes of a whole text, or nothing when it is not Base64 in the given mode.
std::optional<std::vector<uint8_t>> decode(std::span<const uint8_t> text,
                                           Base64Decoder::Mode mode = Base64Decoder::Mode::strict);
std::optional<std::vector<uint8_t>> decode(std::string_view text,
                                           Base64Decoder::Mode mode = Base64Decoder::Mode::strict);

// Standard Base64 with padding.
std::string encode(std::span<const uint8_t> data);
std::string encode(std::string_view data);

} // namespace Base64

} // namespace Tessaline
