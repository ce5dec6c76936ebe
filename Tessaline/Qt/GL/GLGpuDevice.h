#pragma once

#include "GpuBuffer.h"

namespace Tessaline {

// Buffers and image textures on the GL context current when they are made. They must be released while
// that context is current (or with it).
class GLGpuDevice : public GpuDevice {
public:
    std::shared_ptr<GpuBuffer> makeBuffer(std::size_t length) override;
    std::shared_ptr<GpuTexture> makeTexture(int width, int height, const unsigned char* rgbaPremultiplied) override;
};

} // namespace Tessaline
