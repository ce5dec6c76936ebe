#pragma once

namespace Tessaline {

// How the GPU renderer's row cache keeps GPU buffers: one set per visible row across frames, or only the
// rows' draw data, uploaded whole into pooled buffers each frame.
enum class GLBufferingMode {
    perRowPersistent,
    perFrameAggregated
};

} // namespace Tessaline
