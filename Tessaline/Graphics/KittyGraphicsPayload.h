#pragma once

#include "KittyGraphicsControl.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace Tessaline {

// The decoded content of one Kitty image: PNG bytes as sent (their pixel size checked, not decoded), or
// RGBA pixels, 8 bits a channel, straight alpha, rows top first, exactly width x height x 4 bytes.
struct KittyGraphicsPayload {
    enum class Kind : uint8_t {
        png,
        rgba,
    };

    Kind kind = Kind::png;
    std::vector<uint8_t> bytes;
    // Pixel size of rgba payloads; 0 for png.
    int width = 0;
    int height = 0;

    static KittyGraphicsPayload png(std::vector<uint8_t> bytes) {
        return {Kind::png, std::move(bytes), 0, 0};
    }
    static KittyGraphicsPayload rgba(std::vector<uint8_t> bytes, int width, int height) {
        return {Kind::rgba, std::move(bytes), width, height};
    }

    bool isPng() const { return kind == Kind::png; }
    bool isRgba() const { return kind == Kind::rgba; }
    // What the image store counts: the PNG byte count, or width x height x 4.
    int64_t byteSize() const { return int64_t(bytes.size()); }

    bool operator==(const KittyGraphicsPayload&) const = default;
};

// Limits of the protocol, in bytes or pixels.
namespace KittyGraphicsLimits {
inline constexpr int64_t maxImageSide = 10000;
// Decoded data (after Base64 and again after inflation), and files and shared-memory objects read.
inline constexpr int64_t maxDataSize = 419430400;
inline constexpr size_t inflateStep = 65536;
inline constexpr size_t fileReadStep = 4096;
} // namespace KittyGraphicsLimits

// RGBA pixels of a decoded image, alpha premultiplied, rows top first.
struct KittyRgbaBitmap {
    std::vector<uint8_t> bytes;
    int width = 0;
    int height = 0;
};

struct KittyPixelSize {
    int64_t width = 0;
    int64_t height = 0;
    bool operator==(const KittyPixelSize&) const = default;
};

// width x height x 4 for format 32, x 3 for format 24, when both sides are 1..10000; nothing otherwise
// (PNG included).
std::optional<int64_t> kittyExpectedDataSize(const KittyGraphicsControl& control);

// The decoded size that the raw pixels of this command take once stored (RGBA), when the control says.
std::optional<int64_t> kittyStoredDataSize(const KittyGraphicsControl& control);

// No compression: the data unchanged; 'z': a zlib stream inflated; any other letter, a failed inflation
// or a result above the data limit: nothing. expectedSize, when known, sizes the output once.
std::optional<std::vector<uint8_t>> decompressKittyData(std::vector<uint8_t> data,
                                                        std::optional<char> compression,
                                                        std::optional<int64_t> expectedSize = std::nullopt);

// Inflates one whole zlib stream (RFC 1950). A stream that ends before its end marker, a decoding error or
// output above the data limit fails the whole inflation.
std::optional<std::vector<uint8_t>> decompressZlib(std::span<const uint8_t> data,
                                                   std::optional<int64_t> expectedSize = std::nullopt);

// Checks the data against the command's format: 24 (RGB, each pixel widened with alpha 255), 32 (RGBA,
// kept) or 100 (PNG whose pixel size is 1..10000 a side). Nothing for any other format or a mismatch.
std::optional<KittyGraphicsPayload> decodeKittyPayloadData(const KittyGraphicsControl& control,
                                                           std::vector<uint8_t> rawData);

// Decodes Base64 text (skipping bytes outside the alphabet, as the protocol allows) into raw bytes; nothing
// for empty or undecodable text or a result above the data limit.
std::optional<std::vector<uint8_t>> decodeKittyBase64(std::span<const uint8_t> text);

// Data carried inside the escape sequence, already decoded from Base64 (nothing when it did not decode):
// inflated when asked and checked against the format.
std::optional<KittyGraphicsPayload> decodeKittyPayload(const KittyGraphicsControl& control,
                                                       std::optional<std::vector<uint8_t>> data);

// PNG helpers. The pixel size read from the header, without a range check.
std::optional<KittyPixelSize> kittyPngPixelSize(std::span<const uint8_t> data);
// True when the image's pixel width and height are 1..10000.
bool validateKittyPngDimensions(std::span<const uint8_t> data);
// The whole image as premultiplied RGBA; nothing when it does not decode or a side is outside 1..10000.
std::optional<KittyRgbaBitmap> decodePngToRgba(std::span<const uint8_t> data);

// Straight to premultiplied alpha, in place (for handing raw 32-bit pixels on where premultiplied pixels
// are expected).
void premultiplyRgba(std::span<uint8_t> pixels);

} // namespace Tessaline
