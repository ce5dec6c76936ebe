#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace Tessaline {

enum class GlyphAtlasFormat {
    grayscale, // one byte of coverage per pixel (R8)
    bgra,      // four bytes per pixel, premultiplied, memory order B, G, R, A
};

struct AtlasRegion {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const AtlasRegion&, const AtlasRegion&) = default;
};

// A GPU texture an atlas owns. Uploads take rows of `bytesPerRow` bytes starting at `data`.
class AtlasTexture {
public:
    virtual ~AtlasTexture() = default;
    virtual void upload(int x, int y, int width, int height, const std::uint8_t* data, int bytesPerRow) = 0;
    virtual unsigned textureId() const { return 0; }
};

// Makes atlas textures; nothing when the device cannot.
class AtlasDevice {
public:
    virtual ~AtlasDevice() = default;
    virtual std::unique_ptr<AtlasTexture> makeTexture(int side, GlyphAtlasFormat format) = 0;
};

// One square glyph texture with a CPU copy of every texel, packed shelf by shelf. It grows by doubling
// up to maxSize and, once full at that size, starts over empty. Texture row y of a region holds the
// bottom row of the bitmap written there, so texture coordinates read y-up like the drawable.
class GlyphAtlas {
public:
    // Nothing when the device makes no texture.
    static std::unique_ptr<GlyphAtlas> create(AtlasDevice& device, int size, int maxSize,
                                              GlyphAtlasFormat format);

    // A region of width x height, growing or emptying the atlas when needed; afterwards size() and
    // didReset() tell which happened.
    std::optional<AtlasRegion> ensureRegion(int width, int height);
    // Copies a BGRA bitmap (first row = top of the image) into a region from ensureRegion.
    void write(const AtlasRegion& region, std::span<const std::uint8_t> pixels, int width, int height);

    GlyphAtlasFormat format() const { return _format; }
    int bytesPerPixel() const { return _bytesPerPixel; }
    int maxSize() const { return _maxSize; }
    int size() const { return _size; }
    AtlasTexture& texture() const { return *_texture; }
    bool didReset() const { return _didReset; }
    const std::vector<std::uint8_t>& data() const { return _data; }

private:
    GlyphAtlas(AtlasDevice& device, GlyphAtlasFormat format, int size, int maxSize,
               std::unique_ptr<AtlasTexture> texture);
    std::optional<AtlasRegion> reserve(int width, int height);
    void grow(int newSide);
    void reset();
    void uploadAll();

    AtlasDevice* _device;
    GlyphAtlasFormat _format;
    int _bytesPerPixel;
    int _maxSize;
    int _size;
    std::unique_ptr<AtlasTexture> _texture;
    std::vector<std::uint8_t> _data;
    int _nextX = 0;
    int _nextY = 0;
    int _rowHeight = 0;
    bool _didReset = false;
};

} // namespace Tessaline
