#include "ImageTextures.h"

#include "Terminal.h"
#include "TerminalView.h"
#include "ViewImageStrip.h"

#include <algorithm>

namespace Tessaline {

ImageTextures::ImageTextures(GpuDevice& device, TerminalView* terminalView)
    : terminalView(terminalView)
    , _device(device) {}

QImage ImageTextures::uploadable(const QImage& picture) {
    if (picture.isNull() || picture.width() < 1 || picture.height() < 1) return QImage();
    // Straight alpha becomes premultiplied here, once: the text fragment blends premultiplied texels.
    return picture.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

std::shared_ptr<GpuTexture> ImageTextures::upload(const QImage& picture) {
    const QImage pixels = uploadable(picture);
    if (pixels.isNull()) return nullptr;
    return _device.makeTexture(pixels.width(), pixels.height(), pixels.constBits());
}

std::shared_ptr<GpuTexture> ImageTextures::texture(const std::shared_ptr<TerminalImage>& strip) {
    if (!strip) return nullptr;
    const auto found = _strips.find(strip.get());
    if (found != _strips.end()) {
        // An address reused by a new strip after the old one went is not the old strip.
        if (found->second.strip.lock() == strip) return found->second.texture;
        _strips.erase(found);
    }
    const auto* picture = dynamic_cast<const ViewImageStrip*>(strip.get());
    if (!picture) return nullptr;
    std::shared_ptr<GpuTexture> made = upload(picture->image());
    if (made) _strips[strip.get()] = {strip, made};
    return made;
}

uint32_t ImageTextures::hashBytes(std::span<const uint8_t> data, std::size_t limit) {
    const std::size_t n = std::min(data.size(), limit);
    if (n == 0) return 0;
    uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < n; ++i) {
        hash ^= data[i];
        hash *= 16777619u;
    }
    return hash;
}

KittyImageSignature ImageTextures::kittySignature(const KittyGraphicsPayload& payload) {
    KittyImageSignature signature;
    signature.kind = payload.isPng() ? 1 : 2;
    signature.width = payload.isPng() ? 0 : payload.width;
    signature.height = payload.isPng() ? 0 : payload.height;
    signature.byteCount = int64_t(payload.bytes.size());
    signature.headHash = hashBytes(payload.bytes, 64);
    return signature;
}

std::shared_ptr<GpuTexture> ImageTextures::kittyTexture(uint32_t imageId) {
    if (!terminalView) return nullptr;
    const auto& images = terminalView->terminal().kittyGraphicsState.imagesById;
    const auto stored = images.find(imageId);
    if (stored == images.end() || !stored->second.payload) return nullptr;
    const KittyGraphicsPayload& payload = *stored->second.payload;
    const KittyImageSignature signature = kittySignature(payload);
    if (const auto cached = _kitty.find(imageId); cached != _kitty.end() && cached->second.signature == signature)
        return cached->second.texture;

    QImage picture;
    if (payload.isPng()) {
        picture.loadFromData(payload.bytes.data(), int(payload.bytes.size()), "PNG");
    } else if (payload.width > 0 && payload.height > 0 &&
               payload.bytes.size() >= std::size_t(payload.width) * std::size_t(payload.height) * 4) {
        // Straight alpha, rows top first.
        picture = QImage(payload.bytes.data(), payload.width, payload.height, payload.width * 4,
                         QImage::Format_RGBA8888);
    }
    std::shared_ptr<GpuTexture> made = upload(picture);
    // A failed upload keeps whatever was drawn for the id before.
    if (made) _kitty[imageId] = {signature, made};
    return made;
}

void ImageTextures::pruneKittyTextureCache() {
    std::erase_if(_strips, [](const auto& entry) { return entry.second.strip.expired(); });
    if (!terminalView) {
        _kitty.clear();
        return;
    }
    const auto& images = terminalView->terminal().kittyGraphicsState.imagesById;
    std::erase_if(_kitty, [&](const auto& entry) { return !images.contains(entry.first); });
}

std::optional<ImageDraw> ImageTextures::imageDraw(std::shared_ptr<GpuTexture> texture, const PixelRect& rect,
                                                  const TexRect& uvRect, BufferLine::RenderLineMode renderMode,
                                                  const std::optional<ClipRect>& clipRect, double pivotY,
                                                  double scale) {
    const PixelRect scaled{rect.x0 * scale, rect.y0 * scale, rect.x1 * scale, rect.y1 * scale};
    const PixelRect moved = RowGeometry::transformRect(scaled, renderMode, pivotY);
    const TexRect uv{std::min(uvRect.uMin, uvRect.uMax), std::min(uvRect.vMin, uvRect.vMax),
                     std::max(uvRect.uMin, uvRect.uMax), std::max(uvRect.vMin, uvRect.vMax)};
    const auto clipped = Tessaline::clipRect(moved, uv, clipRect);
    if (!clipped) return std::nullopt;
    ImageDraw draw{std::move(texture), {}};
    draw.vertices.reserve(6);
    appendQuad(draw.vertices, clipped->first, clipped->second, Float4{1, 1, 1, 1});
    return draw;
}

std::vector<ImageDrawBuffer> ImageTextures::makeImageDrawBuffers(const std::vector<ImageDraw>& draws) {
    std::vector<ImageDrawBuffer> out;
    for (const ImageDraw& draw : draws) {
        if (draw.vertices.empty()) continue;
        const std::size_t bytes = draw.vertices.size() * sizeof(GlyphVertex);
        std::shared_ptr<GpuBuffer> buffer = _device.makeBuffer(bytes);
        if (!buffer) continue;
        buffer->write(draw.vertices.data(), bytes);
        out.push_back({draw.texture, std::move(buffer), int(draw.vertices.size())});
    }
    return out;
}

} // namespace Tessaline
