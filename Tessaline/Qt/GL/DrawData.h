#pragma once

#include "GpuBuffer.h"
#include "GpuRecords.h"

#include <memory>
#include <optional>
#include <vector>

namespace Tessaline {

// One textured quad of an image: six vertices with the row's line-size transform and clipping applied.
struct ImageDraw {
    std::shared_ptr<GpuTexture> texture;
    std::vector<GlyphVertex> vertices;
};

// An image draw uploaded for per-row buffering.
struct ImageDrawBuffer {
    std::shared_ptr<GpuTexture> texture;
    std::shared_ptr<GpuBuffer> buffer;
    int vertexCount = 0;
};

// Every record that draws one row, CPU side.
struct RowDrawData {
    std::vector<ColorCell> backgroundCells;
    std::vector<TextCell> glyphCellsGray;
    std::vector<TextCell> glyphCellsColor;
    std::vector<ColorCell> decorationCells;
    std::vector<ImageDraw> underImageDraws;
    std::vector<ImageDraw> placeholderImageDraws;
    std::vector<ImageDraw> overImageDraws;
    std::vector<ImageDraw> otherImageDraws;
};

// One row's records in exact-size GPU buffers kept across frames. Counts are records, not vertices.
struct RowDrawBuffers {
    std::shared_ptr<GpuBuffer> backgroundBuffer;
    int backgroundCount = 0;
    std::shared_ptr<GpuBuffer> glyphGrayBuffer;
    int glyphGrayCount = 0;
    std::shared_ptr<GpuBuffer> glyphColorBuffer;
    int glyphColorCount = 0;
    std::shared_ptr<GpuBuffer> decorationBuffer;
    int decorationCount = 0;
    std::vector<ImageDrawBuffer> underImageBuffers;
    std::vector<ImageDrawBuffer> placeholderImageBuffers;
    std::vector<ImageDrawBuffer> overImageBuffers;
    std::vector<ImageDrawBuffer> otherImageBuffers;
};

// All visible rows one after the other, for per-frame buffering.
using FrameDrawData = RowDrawData;

// The result of one frame build.
struct DrawData {
    std::vector<RowDrawBuffers> rows;
    std::optional<FrameDrawData> frame;
    std::vector<ColorVertex> cursorColorVertices;
    std::vector<GlyphVertex> cursorGlyphVerticesGray;
    std::vector<GlyphVertex> cursorGlyphVerticesColor;
};

} // namespace Tessaline
