#pragma once

#include "DrawData.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace Tessaline {

// The six pipelines of the renderer.
enum class PipelineKind {
    text,
    textGray,
    color,
    cellText,
    cellTextGray,
    cellColor
};

// Where a frame's draws go: the renderer's GL calls, or a log in tests.
class FrameEncoder {
public:
    virtual ~FrameEncoder() = default;
    // Binds the pipeline, the viewport, `texture` (0: none) on unit 0 with the sampler and `buffer` as
    // the records, then draws `count` records.
    virtual void draw(PipelineKind pipeline, const GpuBuffer& buffer, int count, unsigned texture,
                      Float2 viewport) = 0;
};

// Buffers that live for one frame: the renderer's pool hands out a buffer of at least `length` bytes
// (its length rounded up), copies `bytes` to its start and keeps it until the GPU is done with the frame.
class FrameBufferSource {
public:
    virtual ~FrameBufferSource() = default;
    virtual std::shared_ptr<GpuBuffer> makeBuffer(const void* bytes, std::size_t length) = 0;
};

// The atlases' texture names of the frame.
struct AtlasTextures {
    unsigned grayscale = 0;
    unsigned color = 0;
};

// One image list of every row (per-row buffering), rows in order; nothing at all when every list is empty.
void drawImageRows(FrameEncoder& encoder, const std::vector<RowDrawBuffers>& rows,
                   std::vector<ImageDrawBuffer> RowDrawBuffers::*imageKey, Float2 viewport);
// Image draws through pooled buffers (per-frame buffering).
void drawImageBatches(FrameEncoder& encoder, FrameBufferSource& buffers, const std::vector<ImageDraw>& draws,
                      Float2 viewport);
// A whole frame's aggregated records, layer by layer, each non-empty list in one pooled buffer.
void drawFrameData(FrameEncoder& encoder, FrameBufferSource& buffers, const FrameDrawData& frame,
                   AtlasTextures atlases, Float2 viewport);

} // namespace Tessaline
