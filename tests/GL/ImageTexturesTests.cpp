// Image textures and quads: strip and Kitty textures made once and dropped with their images, the Kitty
// fingerprint, the quad's line-size transform and clipping, and the encoding of image and frame lists.
#include "FakeGpuDevice.h"
#include "ImageTextures.h"
#include "ManualExecutor.h"
#include "ViewImageStrip.h"
#include "ViewTestSupport.h"

#include <QBuffer>

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace GLTest;
using namespace QuillabyTest;

namespace {

struct TextureFixture {
    ManualExecutor executor;
    TerminalView view{QRect(0, 0, 400, 240), testFont(), nullptr, &executor};
    FakeGpuDevice gpu;
    ImageTextures images{gpu, &view};

    KittyGraphicsState& store() { return view.terminal().kittyGraphicsState; }
    void storeImage(uint32_t id, KittyGraphicsPayload payload) {
        KittyGraphicsImage image;
        image.byteSize = payload.byteSize();
        image.payload = std::make_shared<KittyGraphicsPayload>(std::move(payload));
        store().imagesById[id] = image;
    }
};

std::vector<uint8_t> png(QColor color, QSize size = QSize(4, 2)) {
    QImage picture(size, QImage::Format_ARGB32);
    picture.fill(color);
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    picture.save(&out, "PNG");
    return {bytes.begin(), bytes.end()};
}

} // namespace

TEST(ImageTextures, FnvHashesTheFirst64Bytes) {
    const std::vector<uint8_t> a = {'a'};
    const std::vector<uint8_t> signature = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    EXPECT_EQ(ImageTextures::hashBytes({}, 64), 0u);
    EXPECT_EQ(ImageTextures::hashBytes(a, 64), 0xE40C292Cu);
    EXPECT_EQ(ImageTextures::hashBytes(signature, 64), 0x255C756Cu);
    EXPECT_EQ(ImageTextures::hashBytes(signature, 0), 0u);
    std::vector<uint8_t> long1(100, 7), long2(100, 7);
    long2[80] = 8;
    EXPECT_EQ(ImageTextures::hashBytes(long1, 64), ImageTextures::hashBytes(long2, 64));
    long2[10] = 8;
    EXPECT_NE(ImageTextures::hashBytes(long1, 64), ImageTextures::hashBytes(long2, 64));

    EXPECT_EQ(ImageTextures::kittySignature(KittyGraphicsPayload::png({})),
              (KittyImageSignature{1, 0, 0, 0, 0}));
    EXPECT_EQ(ImageTextures::kittySignature(KittyGraphicsPayload::rgba(std::vector<uint8_t>(8, 1), 2, 1)),
              (KittyImageSignature{2, 2, 1, 8, ImageTextures::hashBytes(std::vector<uint8_t>(8, 1), 64)}));
}

TEST(ImageTextures, AKittyTextureIsRemadeOnlyWhenItsSignatureChangesAndGoesWithItsImage) {
    TextureFixture f;
    EXPECT_FALSE(f.images.kittyTexture(9));
    f.storeImage(9, KittyGraphicsPayload::png(png(Qt::red)));
    const std::shared_ptr<GpuTexture> first = f.images.kittyTexture(9);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->width(), 4);
    EXPECT_EQ(f.images.kittyTexture(9), first);
    EXPECT_EQ(f.gpu.texturesMade, 1);

    // Another byte count: a new texture.
    f.storeImage(9, KittyGraphicsPayload::png(png(Qt::red, QSize(5, 2))));
    const std::shared_ptr<GpuTexture> second = f.images.kittyTexture(9);
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(second->width(), 5);

    // Same count, a difference past byte 64 only: the old texture stays.
    std::vector<uint8_t> bytes = f.store().imagesById[9].payload->bytes;
    ASSERT_GT(bytes.size(), 70u);
    bytes[bytes.size() - 5] ^= 0xFF;
    f.storeImage(9, KittyGraphicsPayload::png(bytes));
    EXPECT_EQ(f.images.kittyTexture(9), second);

    // Undecodable data under the id keeps nothing new; deleting the image drops its texture at the prune.
    f.storeImage(10, KittyGraphicsPayload::png({1, 2, 3}));
    EXPECT_FALSE(f.images.kittyTexture(10));
    f.store().imagesById.erase(9);
    f.images.pruneKittyTextureCache();
    EXPECT_EQ(f.images.kittyTextureCount(), 0u);
}

TEST(ImageTextures, RgbaImagesArePremultipliedOnceAndShortDataIsRefused) {
    TextureFixture f;
    // One pixel of half-transparent white, one opaque red.
    f.storeImage(3, KittyGraphicsPayload::rgba({255, 255, 255, 128, 255, 0, 0, 255}, 2, 1));
    const auto texture = std::dynamic_pointer_cast<FakeGpuTexture>(f.images.kittyTexture(3));
    ASSERT_TRUE(texture);
    const std::vector<unsigned char> expected = {128, 128, 128, 128, 255, 0, 0, 255};
    EXPECT_EQ(texture->pixels, expected);
    f.storeImage(4, KittyGraphicsPayload::rgba({1, 2, 3}, 2, 1));
    EXPECT_FALSE(f.images.kittyTexture(4));
}

TEST(ImageTextures, AStripKeepsOneTextureForItsLifetime) {
    TextureFixture f;
    auto strip = std::make_shared<ViewImageStrip>(QImage(3, 2, QImage::Format_ARGB32), 1);
    const std::shared_ptr<GpuTexture> texture = f.images.texture(strip);
    ASSERT_TRUE(texture);
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_EQ(f.images.texture(strip), texture);
    EXPECT_EQ(f.gpu.texturesMade, 1);
    strip.reset();
    f.images.pruneKittyTextureCache();
    EXPECT_EQ(f.images.stripTextureCount(), 0u);
    // A picture that cannot be uploaded is not drawn.
    f.gpu.texturesLeft = 0;
    EXPECT_FALSE(f.images.texture(std::make_shared<ViewImageStrip>(QImage(3, 2, QImage::Format_ARGB32), 1)));
}

TEST(ImageTextures, AQuadIsScaledDoubledAndClippedWithItsTextureCoordinates) {
    auto texture = std::make_shared<FakeGpuTexture>(1, 1, std::vector<unsigned char>(4).data(), 1);
    using Mode = BufferLine::RenderLineMode;
    // 10 x 20 points at (5, 40), scale 2.
    const PixelRect rect{5, 40, 15, 60};
    auto quad = [&](Mode mode, std::optional<ClipRect> clip, double pivot = 100) {
        return ImageTextures::imageDraw(texture, rect, TexRect{}, mode, clip, pivot, 2);
    };
    std::optional<ImageDraw> plain = quad(Mode::single, std::nullopt);
    ASSERT_TRUE(plain);
    ASSERT_EQ(plain->vertices.size(), 6u);
    EXPECT_EQ(plain->vertices[0].position.x, 10);
    EXPECT_EQ(plain->vertices[4].position.y, 120);
    for (const GlyphVertex& v : plain->vertices)
        EXPECT_EQ(v.color.a, 1);

    std::optional<ImageDraw> wide = quad(Mode::doubleWidth, std::nullopt);
    EXPECT_EQ(wide->vertices[0].position.x, 20);
    EXPECT_EQ(wide->vertices[4].position.x, 60); // 40 pixels wide
    EXPECT_EQ(wide->vertices[0].position.y, 80);

    // y about pivot 100 at double distance: 80 -> 60, 120 -> 140.
    std::optional<ImageDraw> top = quad(Mode::doubledTop, std::nullopt);
    EXPECT_EQ(top->vertices[0].position.y, 60);
    EXPECT_EQ(top->vertices[4].position.y, 140);

    EXPECT_FALSE(quad(Mode::single, ClipRect{100, 0, 200, 200}));
    // Keeping the left half: the right edge moves to the clip, uMax to the middle.
    std::optional<ImageDraw> half = quad(Mode::single, ClipRect{0, 0, 20, 200});
    ASSERT_TRUE(half);
    EXPECT_EQ(half->vertices[4].position.x, 20);
    EXPECT_EQ(half->vertices[4].texCoord.x, 0.5f);
    EXPECT_EQ(half->vertices[4].texCoord.y, 1);
}

TEST(ImageTextures, DrawsAreUploadedOneBufferEachAndEncodedOnlyWhenThereAreAny) {
    TextureFixture f;
    auto texture = std::make_shared<FakeGpuTexture>(1, 1, std::vector<unsigned char>(4).data(), 7);
    ImageDraw draw = *ImageTextures::imageDraw(texture, {0, 0, 1, 1}, TexRect{},
                                               BufferLine::RenderLineMode::single, std::nullopt, 0, 1);
    const std::vector<ImageDrawBuffer> buffers = f.images.makeImageDrawBuffers({draw, ImageDraw{texture, {}}, draw});
    ASSERT_EQ(buffers.size(), 2u);
    EXPECT_EQ(buffers[0].vertexCount, 6);
    EXPECT_EQ(buffers[0].buffer->length(), 6 * sizeof(GlyphVertex));
    f.gpu.buffersLeft = 1;
    EXPECT_EQ(f.images.makeImageDrawBuffers({draw, draw}).size(), 1u);

    LoggingEncoder encoder;
    std::vector<RowDrawBuffers> rows(3);
    rows[1].overImageBuffers = buffers;
    drawImageRows(encoder, rows, &RowDrawBuffers::underImageBuffers, {100, 100});
    EXPECT_TRUE(encoder.log.empty());
    drawImageRows(encoder, rows, &RowDrawBuffers::overImageBuffers, {100, 100});
    EXPECT_EQ(encoder.log, (std::vector<std::string>{"text 6 7", "text 6 7"}));

    // A frame: layers in order, nothing for empty lists, every list in one pooled buffer.
    encoder.log.clear();
    FakeFrameBuffers pool;
    FrameDrawData frame;
    frame.backgroundCells.resize(2);
    frame.glyphCellsGray.resize(3);
    frame.decorationCells.resize(1);
    frame.underImageDraws = {draw};
    frame.otherImageDraws = {draw, draw};
    drawFrameData(encoder, pool, frame, {11, 12}, {100, 100});
    EXPECT_EQ(encoder.log, (std::vector<std::string>{"cellColor 2 0", "text 6 7", "cellTextGray 3 11",
                                                      "cellColor 1 0", "text 6 7", "text 6 7"}));
    ASSERT_EQ(pool.frame.size(), 6u);
    EXPECT_EQ(pool.frame[2]->length(), 256u); // 3 text cells of 48 bytes, rounded up
}
