#pragma once

#include <cstddef>
#include <memory>

namespace Tessaline {

// A vertex buffer on the GPU. Shared between the row cache, the frame's pooled list and the pool, so it
// lives until the last of them lets it go.
class GpuBuffer {
public:
    virtual ~GpuBuffer() = default;
    virtual std::size_t length() const = 0;
    // Copies `bytes` bytes to the start of the buffer; never more than its length.
    virtual void write(const void* data, std::size_t bytes) = 0;
    // The GL buffer name; 0 for a buffer that lives only in a test.
    virtual unsigned bufferId() const { return 0; }
};

// An image texture: a strip, a stored Kitty image.
class GpuTexture {
public:
    virtual ~GpuTexture() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual unsigned textureId() const { return 0; }
};

// Makes buffers and image textures; nothing when the device cannot. The GL device works on the current
// context; tests inject a fake that records what was made.
class GpuDevice {
public:
    virtual ~GpuDevice() = default;
    virtual std::shared_ptr<GpuBuffer> makeBuffer(std::size_t length) = 0;
    // Premultiplied RGBA, `width` x `height`, rows top first; the device uploads them the way GL
    // expects (bottom row first) so texture coordinates read y-up like the drawable.
    virtual std::shared_ptr<GpuTexture> makeTexture(int width, int height, const unsigned char* rgbaPremultiplied) = 0;
};

} // namespace Tessaline
