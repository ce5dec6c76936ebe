#pragma once

#include "FrameEncoder.h"
#include "GpuBuffer.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace GLTest {

using namespace Tessaline;

// Buffers that keep their bytes in memory, so tests can read back what was uploaded.
class FakeGpuBuffer : public GpuBuffer {
public:
    explicit FakeGpuBuffer(std::size_t length)
        : bytes(length) {}
    std::size_t length() const override { return bytes.size(); }
    void write(const void* data, std::size_t count) override {
        std::memcpy(bytes.data(), data, std::min(count, bytes.size()));
    }
    template <typename Record>
    std::vector<Record> records(std::size_t count) const {
        std::vector<Record> out(count);
        std::memcpy(out.data(), bytes.data(), std::min(count * sizeof(Record), bytes.size()));
        return out;
    }
    std::vector<unsigned char> bytes;
};

// Textures that keep their pixels (premultiplied RGBA, top row first).
class FakeGpuTexture : public GpuTexture {
public:
    FakeGpuTexture(int width, int height, const unsigned char* pixels, unsigned id)
        : pixels(pixels, pixels + std::size_t(width) * std::size_t(height) * 4)
        , _width(width)
        , _height(height)
        , _id(id) {}
    int width() const override { return _width; }
    int height() const override { return _height; }
    unsigned textureId() const override { return _id; }
    std::vector<unsigned char> pixels;

private:
    int _width;
    int _height;
    unsigned _id;
};

// A device that counts what it made and can run out of buffers or textures.
class FakeGpuDevice : public GpuDevice {
public:
    std::shared_ptr<GpuBuffer> makeBuffer(std::size_t length) override {
        if (buffersLeft-- <= 0 || length == 0) return nullptr;
        bufferLengths.push_back(length);
        return std::make_shared<FakeGpuBuffer>(length);
    }
    std::shared_ptr<GpuTexture> makeTexture(int width, int height, const unsigned char* rgba) override {
        if (texturesLeft-- <= 0) return nullptr;
        ++texturesMade;
        return std::make_shared<FakeGpuTexture>(width, height, rgba, unsigned(texturesMade));
    }
    int buffersLeft = 1 << 30;
    int texturesLeft = 1 << 30;
    int texturesMade = 0;
    std::vector<std::size_t> bufferLengths;
};

// Logs every draw as "pipeline count texture".
class LoggingEncoder : public FrameEncoder {
public:
    void draw(PipelineKind pipeline, const GpuBuffer&, int count, unsigned texture, Float2) override {
        static const char* names[] = {"text", "textGray", "color", "cellText", "cellTextGray", "cellColor"};
        log.push_back(std::string(names[int(pipeline)]) + " " + std::to_string(count) + " " +
                      std::to_string(texture));
    }
    std::vector<std::string> log;
};

// Pooled buffers for one frame: lengths rounded up to 256, as the renderer's pool does.
class FakeFrameBuffers : public FrameBufferSource {
public:
    std::shared_ptr<GpuBuffer> makeBuffer(const void* bytes, std::size_t length) override {
        if (length == 0) return nullptr;
        auto buffer = std::make_shared<FakeGpuBuffer>((length + 255) / 256 * 256);
        buffer->write(bytes, length);
        frame.push_back(buffer);
        return buffer;
    }
    std::vector<std::shared_ptr<FakeGpuBuffer>> frame;
};

} // namespace GLTest
