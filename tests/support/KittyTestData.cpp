#include "KittyTestData.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace Tessaline::Testing {

std::vector<uint8_t> bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

std::vector<uint32_t> sortedImageIds(const KittyGraphicsState& state) {
    std::vector<uint32_t> ids;
    for (const auto& entry : state.imagesById)
        ids.push_back(entry.first);
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::string storedImageIds(const KittyGraphicsState& state) {
    std::string out;
    for (uint32_t id : sortedImageIds(state))
        out += (out.empty() ? "" : " ") + std::to_string(id);
    return out;
}

std::string textOf(std::span<const uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

std::vector<uint8_t> makePng(int width, int height, const std::vector<uint8_t>& rgba) {
    std::vector<uint8_t> pixels = rgba;
    if (pixels.size() != size_t(width) * size_t(height) * 4) {
        pixels.resize(size_t(width) * size_t(height) * 4);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = i % 4 == 3 ? 255 : uint8_t(i * 31);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr))
        throw std::runtime_error("png size");
    std::vector<uint8_t> png(size);
    if (!png_image_write_to_memory(&image, png.data(), &size, 0, pixels.data(), 0, nullptr))
        throw std::runtime_error("png write");
    png.resize(size);
    return png;
}

std::vector<uint8_t> zlibCompress(std::span<const uint8_t> data) {
    uLongf size = compressBound(uLong(data.size()));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, data.data(), uLong(data.size()), 6) != Z_OK)
        throw std::runtime_error("compress");
    out.resize(size);
    return out;
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaline-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    _path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(_path, error);
}

std::string TempFolder::write(const std::string& name, std::span<const uint8_t> content) const {
    std::string path = _path + "/" + name;
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(content.data()), std::streamsize(content.size()));
    return path;
}

} // namespace Tessaline::Testing
