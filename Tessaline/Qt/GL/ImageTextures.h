#pragma once

#include "DrawData.h"
#include "DrawGeometry.h"
#include "KittyGraphicsPayload.h"

#include <QImage>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

namespace Tessaline {

class TerminalImage;
class TerminalView;

// A cheap fingerprint of a stored Kitty image: notices a new image under the same id without hashing it
// whole.
struct KittyImageSignature {
    uint8_t kind = 0; // 1 PNG, 2 RGBA
    int width = 0;
    int height = 0;
    int64_t byteCount = 0;
    uint32_t headHash = 0;
    bool operator==(const KittyImageSignature&) const = default;
};

// The image side of the GPU renderer: textures of image strips (one per strip object, for as long as it
// lives) and of stored Kitty images (one per id, replaced when the image under the id changes), and the
// textured quads that draw them. GUI thread only.
class ImageTextures {
public:
    ImageTextures(GpuDevice& device, TerminalView* terminalView);

    QPointer<TerminalView> terminalView;

    // The texture of a strip; nothing for a strip that is not a picture or cannot be uploaded.
    std::shared_ptr<GpuTexture> texture(const std::shared_ptr<TerminalImage>& strip);
    // The texture of a stored Kitty image; nothing when none is stored under the id or it cannot be made.
    std::shared_ptr<GpuTexture> kittyTexture(uint32_t imageId);
    // Forgets textures of images that left the store and of strips that are gone.
    void pruneKittyTextureCache();

    static KittyImageSignature kittySignature(const KittyGraphicsPayload& payload);
    // 32-bit FNV-1a of the first `limit` bytes; 0 for none.
    static uint32_t hashBytes(std::span<const uint8_t> data, std::size_t limit);
    // A picture as premultiplied RGBA, rows top first, ready for the device; null when it is empty.
    static QImage uploadable(const QImage& picture);

    // One quad of `rect` (points) scaled to pixels, moved by the line-size mode about `pivotY` and cut to
    // `clipRect`; nothing when the clip leaves nothing.
    static std::optional<ImageDraw> imageDraw(std::shared_ptr<GpuTexture> texture, const PixelRect& rect,
                                              const TexRect& uvRect, BufferLine::RenderLineMode renderMode,
                                              const std::optional<ClipRect>& clipRect, double pivotY,
                                              double scale);
    // Each draw's vertices in a buffer of their own, made from the device; draws without vertices or
    // buffer are left out.
    std::vector<ImageDrawBuffer> makeImageDrawBuffers(const std::vector<ImageDraw>& draws);

    std::size_t stripTextureCount() const { return _strips.size(); }
    std::size_t kittyTextureCount() const { return _kitty.size(); }

private:
    struct StripEntry {
        std::weak_ptr<TerminalImage> strip;
        std::shared_ptr<GpuTexture> texture;
    };
    struct KittyEntry {
        KittyImageSignature signature;
        std::shared_ptr<GpuTexture> texture;
    };
    std::shared_ptr<GpuTexture> upload(const QImage& picture);

    GpuDevice& _device;
    std::unordered_map<const TerminalImage*, StripEntry> _strips;
    std::unordered_map<uint32_t, KittyEntry> _kitty;
};

} // namespace Tessaline
