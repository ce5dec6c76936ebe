#include "FrameEncoder.h"

namespace Tessaline {

namespace {

template <typename Record>
void drawCells(FrameEncoder& encoder, FrameBufferSource& buffers, const std::vector<Record>& records,
               PipelineKind pipeline, unsigned texture, Float2 viewport) {
    if (records.empty()) return;
    const std::shared_ptr<GpuBuffer> buffer = buffers.makeBuffer(records.data(), records.size() * sizeof(Record));
    if (!buffer) return;
    encoder.draw(pipeline, *buffer, int(records.size()), texture, viewport);
}

} // namespace

void drawImageRows(FrameEncoder& encoder, const std::vector<RowDrawBuffers>& rows,
                   std::vector<ImageDrawBuffer> RowDrawBuffers::*imageKey, Float2 viewport) {
    for (const RowDrawBuffers& row : rows) {
        for (const ImageDrawBuffer& draw : row.*imageKey) {
            if (!draw.buffer || !draw.texture || draw.vertexCount <= 0) continue;
            encoder.draw(PipelineKind::text, *draw.buffer, draw.vertexCount, draw.texture->textureId(), viewport);
        }
    }
}

void drawImageBatches(FrameEncoder& encoder, FrameBufferSource& buffers, const std::vector<ImageDraw>& draws,
                      Float2 viewport) {
    for (const ImageDraw& draw : draws) {
        if (draw.vertices.empty() || !draw.texture) continue;
        const std::shared_ptr<GpuBuffer> buffer =
            buffers.makeBuffer(draw.vertices.data(), draw.vertices.size() * sizeof(GlyphVertex));
        if (!buffer) continue;
        encoder.draw(PipelineKind::text, *buffer, int(draw.vertices.size()), draw.texture->textureId(), viewport);
    }
}

void drawFrameData(FrameEncoder& encoder, FrameBufferSource& buffers, const FrameDrawData& frame,
                   AtlasTextures atlases, Float2 viewport) {
    drawCells(encoder, buffers, frame.backgroundCells, PipelineKind::cellColor, 0, viewport);
    drawImageBatches(encoder, buffers, frame.underImageDraws, viewport);
    drawCells(encoder, buffers, frame.glyphCellsGray, PipelineKind::cellTextGray, atlases.grayscale, viewport);
    drawCells(encoder, buffers, frame.glyphCellsColor, PipelineKind::cellText, atlases.color, viewport);
    drawCells(encoder, buffers, frame.decorationCells, PipelineKind::cellColor, 0, viewport);
    drawImageBatches(encoder, buffers, frame.placeholderImageDraws, viewport);
    drawImageBatches(encoder, buffers, frame.overImageDraws, viewport);
    drawImageBatches(encoder, buffers, frame.otherImageDraws, viewport);
}

} // namespace Tessaline
