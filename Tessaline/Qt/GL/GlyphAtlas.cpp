#include "GlyphAtlas.h"

#include <algorithm>
#include <cstring>

namespace Tessaline {

std::unique_ptr<GlyphAtlas> GlyphAtlas::create(AtlasDevice& device, int size, int maxSize,
                                               GlyphAtlasFormat format) {
    const int side = std::max(size, 256);
    std::unique_ptr<AtlasTexture> texture = device.makeTexture(side, format);
    if (!texture) return nullptr;
    return std::unique_ptr<GlyphAtlas>(
        new GlyphAtlas(device, format, side, std::max(maxSize, side), std::move(texture)));
}

GlyphAtlas::GlyphAtlas(AtlasDevice& device, GlyphAtlasFormat format, int size, int maxSize,
                       std::unique_ptr<AtlasTexture> texture)
    : _device(&device)
    , _format(format)
    , _bytesPerPixel(format == GlyphAtlasFormat::grayscale ? 1 : 4)
    , _maxSize(maxSize)
    , _size(size)
    , _texture(std::move(texture))
    , _data(std::size_t(size) * std::size_t(size) * std::size_t(_bytesPerPixel), 0) {}

std::optional<AtlasRegion> GlyphAtlas::reserve(int width, int height) {
    if (width > _size || height > _size) return std::nullopt;
    if (_nextX + width > _size) {
        _nextX = 0;
        _nextY += _rowHeight;
        _rowHeight = 0;
    }
    if (_nextY + height > _size) return std::nullopt;
    AtlasRegion region{_nextX, _nextY, width, height};
    _nextX += width;
    _rowHeight = std::max(_rowHeight, height);
    return region;
}

std::optional<AtlasRegion> GlyphAtlas::ensureRegion(int width, int height) {
    _didReset = false;
    if (width < 1 || height < 1) return std::nullopt;
    if (std::optional<AtlasRegion> region = reserve(width, height)) return region;
    if (width > _maxSize || height > _maxSize) return std::nullopt;
    int side = _size;
    while (side < _maxSize && !(side >= std::max(width, height) && side >= _nextY + height))
        side *= 2;
    const int newSide = std::min(_maxSize, side);
    if (_size < newSide) {
        grow(newSide);
    } else {
        reset();
        _didReset = true;
    }
    return reserve(width, height);
}

void GlyphAtlas::grow(int newSide) {
    if (newSide <= _size) return;
    std::unique_ptr<AtlasTexture> texture = _device->makeTexture(newSide, _format);
    if (!texture) return;
    const std::size_t oldRow = std::size_t(_size) * std::size_t(_bytesPerPixel);
    const std::size_t newRow = std::size_t(newSide) * std::size_t(_bytesPerPixel);
    std::vector<std::uint8_t> data(newRow * std::size_t(newSide), 0);
    for (int row = 0; row < _size; ++row)
        std::memcpy(data.data() + std::size_t(row) * newRow, _data.data() + std::size_t(row) * oldRow,
                    oldRow);
    _size = newSide;
    _data = std::move(data);
    _texture = std::move(texture);
    uploadAll();
}

void GlyphAtlas::reset() {
    _nextX = _nextY = _rowHeight = 0;
    std::fill(_data.begin(), _data.end(), std::uint8_t(0));
    uploadAll();
}

void GlyphAtlas::uploadAll() {
    _texture->upload(0, 0, _size, _size, _data.data(), _size * _bytesPerPixel);
}

void GlyphAtlas::write(const AtlasRegion& region, std::span<const std::uint8_t> pixels, int width,
                       int height) {
    if (region.width != width || region.height != height) return;
    // A region outside the atlas (one from before a reset at another size) or short pixels are refused
    // rather than written past either buffer.
    if (region.x < 0 || region.y < 0 || region.x + width > _size || region.y + height > _size) return;
    const std::size_t sourceRow = std::size_t(width) * 4;
    if (pixels.size() < sourceRow * std::size_t(height)) return;
    const std::size_t rowBytes = std::size_t(_size) * std::size_t(_bytesPerPixel);
    for (int i = 0; i < height; ++i) {
        const std::uint8_t* source = pixels.data() + std::size_t(height - 1 - i) * sourceRow;
        std::uint8_t* target = _data.data() + std::size_t(region.y + i) * rowBytes +
                               std::size_t(region.x) * std::size_t(_bytesPerPixel);
        if (_format == GlyphAtlasFormat::bgra) {
            std::memcpy(target, source, sourceRow);
        } else {
            for (int x = 0; x < width; ++x)
                target[x] = source[std::size_t(x) * 4 + 3];
        }
    }
    const std::size_t offset =
        std::size_t(region.y) * rowBytes + std::size_t(region.x) * std::size_t(_bytesPerPixel);
    _texture->upload(region.x, region.y, width, height, _data.data() + offset, _size * _bytesPerPixel);
}

} // namespace Tessaline
