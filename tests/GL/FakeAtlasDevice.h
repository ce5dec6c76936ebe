#pragma once

#include "GlyphAtlas.h"

#include <memory>
#include <vector>

namespace GLTest {

using namespace Tessaline;

// Atlas textures that only log their uploads; a device that can run out of them.
struct Upload {
    int x, y, width, height, bytesPerRow;
    bool operator==(const Upload&) const = default;
};

class FakeTexture : public AtlasTexture {
public:
    explicit FakeTexture(std::vector<Upload>* log)
        : _log(log) {}
    void upload(int x, int y, int width, int height, const std::uint8_t*, int bytesPerRow) override {
        _log->push_back({x, y, width, height, bytesPerRow});
    }

private:
    std::vector<Upload>* _log;
};

class FakeDevice : public AtlasDevice {
public:
    std::unique_ptr<AtlasTexture> makeTexture(int side, GlyphAtlasFormat) override {
        sides.push_back(side);
        if (texturesLeft-- <= 0) return nullptr;
        return std::make_unique<FakeTexture>(&uploads);
    }
    int texturesLeft = 100;
    std::vector<int> sides;
    std::vector<Upload> uploads;
};

} // namespace GLTest
