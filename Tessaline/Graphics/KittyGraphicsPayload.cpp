#include "KittyGraphicsPayload.h"

#include "Base64.h"
#include "ImageBudget.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>

namespace Tessaline {

namespace {

using namespace KittyGraphicsLimits;

bool isImageSide(int64_t side) {
    return side >= 1 && side <= maxImageSide;
}

// Sides the protocol allows, at a cost in bytes within the image budget.
bool isImageSize(int64_t width, int64_t height) {
    return isImageSide(width) && isImageSide(height) && ImageBudget::fits(width, height);
}

} // namespace

std::optional<int64_t> kittyExpectedDataSize(const KittyGraphicsControl& control) {
    if (!isImageSide(control.width) || !isImageSide(control.height)) return std::nullopt;
    if (control.format == 32) return control.width * control.height * 4;
    if (control.format == 24) return control.width * control.height * 3;
    return std::nullopt;
}

std::optional<int64_t> kittyStoredDataSize(const KittyGraphicsControl& control) {
    if (!kittyExpectedDataSize(control)) return std::nullopt;
    return control.width * control.height * 4;
}

std::optional<std::vector<uint8_t>> decompressZlib(std::span<const uint8_t> data,
                                                   std::optional<int64_t> expectedSize) {
    if (int64_t(data.size()) > maxDataSize) return std::nullopt;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return std::nullopt;
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = uInt(data.size());

    std::vector<uint8_t> result;
    if (expectedSize && *expectedSize > 0) result.reserve(size_t(std::min(*expectedSize, maxDataSize)));
    std::vector<uint8_t> step(inflateStep);
    bool ended = false;
    for (;;) {
        stream.next_out = step.data();
        stream.avail_out = uInt(step.size());
        int status = inflate(&stream, Z_NO_FLUSH);
        size_t produced = step.size() - stream.avail_out;
        // Z_BUF_ERROR means no progress was possible: the input ended before the stream did.
        if (status != Z_OK && status != Z_STREAM_END) break;
        if (int64_t(result.size() + produced) > maxDataSize) break;
        result.insert(result.end(), step.begin(), step.begin() + ptrdiff_t(produced));
        if (status == Z_STREAM_END) {
            ended = true;
            break;
        }
    }
    inflateEnd(&stream);
    if (!ended) return std::nullopt;
    return result;
}

std::optional<std::vector<uint8_t>> decompressKittyData(std::vector<uint8_t> data,
                                                        std::optional<char> compression,
                                                        std::optional<int64_t> expectedSize) {
    // Refused before anything is inflated: a few kilobytes of zlib could fill the budget many times.
    if (expectedSize && *expectedSize > ImageBudget::maxImageBytes) return std::nullopt;
    if (!compression) {
        if (int64_t(data.size()) > maxDataSize) return std::nullopt;
        return data;
    }
    if (*compression != 'z') return std::nullopt;
    return decompressZlib(data, expectedSize);
}

std::optional<KittyGraphicsPayload> decodeKittyPayloadData(const KittyGraphicsControl& control,
                                                           std::vector<uint8_t> rawData) {
    if (int64_t(rawData.size()) > maxDataSize) return std::nullopt;
    switch (control.format) {
    case 24: {
        if (!isImageSize(control.width, control.height)) return std::nullopt;
        size_t pixels = size_t(control.width * control.height);
        if (rawData.size() != pixels * 3) return std::nullopt;
        // Widened in place from the back: pixel i moves from 3i to 4i, never over a pixel not yet read.
        rawData.resize(pixels * 4);
        uint8_t* p = rawData.data();
        for (size_t i = pixels; i-- > 0;) {
            uint8_t r = p[3 * i], g = p[3 * i + 1], b = p[3 * i + 2];
            p[4 * i] = r;
            p[4 * i + 1] = g;
            p[4 * i + 2] = b;
            p[4 * i + 3] = 255;
        }
        return KittyGraphicsPayload::rgba(std::move(rawData), int(control.width), int(control.height));
    }
    case 32:
        if (!isImageSize(control.width, control.height)) return std::nullopt;
        if (rawData.size() != size_t(control.width * control.height * 4)) return std::nullopt;
        return KittyGraphicsPayload::rgba(std::move(rawData), int(control.width), int(control.height));
    case 100:
        if (!validateKittyPngDimensions(rawData)) return std::nullopt;
        return KittyGraphicsPayload::png(std::move(rawData));
    default:
        return std::nullopt;
    }
}

std::optional<std::vector<uint8_t>> decodeKittyBase64(std::span<const uint8_t> text) {
    Base64Decoder decoder(Base64Decoder::Mode::skipOutsideAlphabet, size_t(maxDataSize));
    decoder.reserve(text.size() / 4 * 3);
    if (!decoder.append(text) || !decoder.finish() || decoder.data().empty()) return std::nullopt;
    return decoder.takeData();
}

std::optional<KittyGraphicsPayload> decodeKittyPayload(const KittyGraphicsControl& control,
                                                       std::optional<std::vector<uint8_t>> data) {
    if (!data || data->empty()) return std::nullopt;
    auto inflated = decompressKittyData(std::move(*data), control.compression, kittyStoredDataSize(control));
    if (!inflated) return std::nullopt;
    return decodeKittyPayloadData(control, std::move(*inflated));
}

namespace {

// A PNG header read with libpng's simplified interface; freed on every path.
struct PngReader {
    png_image image{};

    explicit PngReader(std::span<const uint8_t> data) {
        image.version = PNG_IMAGE_VERSION;
        if (data.empty() || !png_image_begin_read_from_memory(&image, data.data(), data.size()))
            image.version = 0;
    }
    ~PngReader() { png_image_free(&image); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    bool ok() const { return image.version != 0; }
};

} // namespace

std::optional<KittyPixelSize> kittyPngPixelSize(std::span<const uint8_t> data) {
    PngReader reader(data);
    if (!reader.ok()) return std::nullopt;
    return KittyPixelSize{int64_t(reader.image.width), int64_t(reader.image.height)};
}

bool validateKittyPngDimensions(std::span<const uint8_t> data) {
    auto size = kittyPngPixelSize(data);
    return size && isImageSize(size->width, size->height);
}

std::optional<KittyRgbaBitmap> decodePngToRgba(std::span<const uint8_t> data) {
    PngReader reader(data);
    if (!reader.ok()) return std::nullopt;
    png_image& image = reader.image;
    if (!isImageSize(image.width, image.height)) return std::nullopt;
    image.format = PNG_FORMAT_RGBA;
    KittyRgbaBitmap bitmap;
    bitmap.width = int(image.width);
    bitmap.height = int(image.height);
    bitmap.bytes.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, bitmap.bytes.data(), 0, nullptr)) return std::nullopt;
    premultiplyRgba(bitmap.bytes);
    return bitmap;
}

void premultiplyRgba(std::span<uint8_t> pixels) {
    for (size_t i = 0; i + 4 <= pixels.size(); i += 4) {
        unsigned a = pixels[i + 3];
        if (a == 255) continue;
        for (size_t c = 0; c < 3; ++c)
            pixels[i + c] = uint8_t((pixels[i + c] * a + 127) / 255);
    }
}

} // namespace Tessaline
