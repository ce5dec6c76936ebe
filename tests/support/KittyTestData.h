#pragma once

#include "KittyGraphicsState.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Tessaline::Testing {

// Built with AddressSanitizer: tests that push hundreds of megabytes through the engine only to reach a
// size limit skip themselves there, where they take minutes; the release suite runs them.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool sanitizedBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool sanitizedBuild = true;
#else
inline constexpr bool sanitizedBuild = false;
#endif
#else
inline constexpr bool sanitizedBuild = false;
#endif

std::vector<uint8_t> bytesOf(std::string_view text);
// The ids of the stored images, ascending.
std::vector<uint32_t> sortedImageIds(const KittyGraphicsState& state);
// The same, separated by spaces.
std::string storedImageIds(const KittyGraphicsState& state);
std::string textOf(std::span<const uint8_t> bytes);

// A PNG of the given size: RGBA pixels from `rgba` when it holds width x height x 4 bytes, else a pattern.
std::vector<uint8_t> makePng(int width, int height, const std::vector<uint8_t>& rgba = {});

// A whole zlib stream of the data.
std::vector<uint8_t> zlibCompress(std::span<const uint8_t> data);

// A file in a fresh folder under the system's temporary directory, removed with the fixture.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return _path; }
    // Writes a file in the folder and returns its path.
    std::string write(const std::string& name, std::span<const uint8_t> content) const;

private:
    std::string _path;
};

} // namespace Tessaline::Testing
