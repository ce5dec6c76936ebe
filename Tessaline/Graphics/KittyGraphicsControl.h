#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace Tessaline {

// The control block of one Kitty graphics command: the comma-separated key=value pairs before the first
// ";" of the APC string. Every field comes from one key letter (noted beside it); a key that is missing or
// whose value does not read leaves the default.
struct KittyGraphicsControl {
    char action = 't';                         // a
    int64_t suppressResponses = 0;             // q
    int64_t format = 32;                       // f
    char transmission = 'd';                   // t
    int64_t width = 0;                         // s: pixel width of raw data
    int64_t height = 0;                        // v: pixel height of raw data
    int64_t cropX = 0;                         // x
    int64_t cropY = 0;                         // y
    int64_t cropWidth = 0;                     // w
    int64_t cropHeight = 0;                    // h
    int64_t dataSize = 0;                      // S: bytes to read from a file or shared memory
    int64_t dataOffset = 0;                    // O: where to start reading
    std::optional<uint32_t> imageId;           // i
    std::optional<uint32_t> imageNumber;       // I
    std::optional<uint32_t> placementId;       // p
    std::optional<uint32_t> parentImageId;     // P
    std::optional<uint32_t> parentPlacementId; // Q
    int64_t offsetH = 0;                       // H
    int64_t offsetV = 0;                       // V
    int64_t pixelOffsetX = 0;                  // X
    int64_t pixelOffsetY = 0;                  // Y
    int64_t unicodePlaceholder = 0;            // U
    int64_t zIndex = 0;                        // z
    int64_t more = 0;                          // m: always 0 unless transmission is 'd'
    std::optional<char> compression;           // o
    int64_t columns = 0;                       // c
    int64_t rows = 0;                          // r
    int64_t cursorPolicy = 0;                  // C
    std::optional<char> deleteMode;            // d

    bool operator==(const KittyGraphicsControl&) const = default;

    // A signed 64-bit decimal (optional "+" or "-") that is the whole value; else the default.
    static int64_t intValue(std::string_view value, int64_t defaultValue);
    // A decimal (optional "+") in 1..4294967295 that is the whole value; else nothing (0 means no id).
    static std::optional<uint32_t> uintValue(std::string_view value);
};

// One Kitty graphics command: its control block and the payload after the first ";" (empty without one).
// The payload refers into the bytes parsed.
struct KittyGraphicsCommand {
    KittyGraphicsControl control;
    std::span<const uint8_t> payload;
};

// Splits the content of an APC "G" string (after the "G") into its control block and payload. Never
// fails: pieces without "=", keys outside the table, pieces that are not 7-bit ASCII and values that do
// not read are ignored; a key given twice keeps its last value.
KittyGraphicsCommand parseKittyGraphicsControl(std::span<const uint8_t> data);

} // namespace Tessaline
