#pragma once

#include <cstddef>
#include <type_traits>

namespace Tessaline {

// Records the shaders read straight from vertex buffers. Positions are drawable pixels, origin bottom
// left, y up; colours are 32-bit floats. The layouts are fixed: the shaders' attribute offsets below
// and every writer of draw data depend on them.
struct Float2 {
    float x = 0;
    float y = 0;
};

struct Float4 {
    float r = 0;
    float g = 0;
    float b = 0;
    float a = 0;
};

struct GlyphVertex {
    Float2 position;
    Float2 texCoord;
    Float4 color;
};

struct ColorVertex {
    Float2 position;
    float padding[2] = {0, 0};
    Float4 color;
};

struct ColorCell {
    Float2 position;
    Float2 size;
    Float4 color;
};

struct TextCell {
    Float2 position;
    Float2 size;
    Float2 texOrigin;
    Float2 texSize;
    Float4 color;
};

static_assert(std::is_standard_layout_v<GlyphVertex> && std::is_trivially_copyable_v<GlyphVertex>);
static_assert(sizeof(GlyphVertex) == 32);
static_assert(offsetof(GlyphVertex, position) == 0);
static_assert(offsetof(GlyphVertex, texCoord) == 8);
static_assert(offsetof(GlyphVertex, color) == 16);

static_assert(std::is_standard_layout_v<ColorVertex> && std::is_trivially_copyable_v<ColorVertex>);
static_assert(sizeof(ColorVertex) == 32);
static_assert(offsetof(ColorVertex, position) == 0);
static_assert(offsetof(ColorVertex, color) == 16);

static_assert(std::is_standard_layout_v<ColorCell> && std::is_trivially_copyable_v<ColorCell>);
static_assert(sizeof(ColorCell) == 32);
static_assert(offsetof(ColorCell, position) == 0);
static_assert(offsetof(ColorCell, size) == 8);
static_assert(offsetof(ColorCell, color) == 16);

static_assert(std::is_standard_layout_v<TextCell> && std::is_trivially_copyable_v<TextCell>);
static_assert(sizeof(TextCell) == 48);
static_assert(offsetof(TextCell, position) == 0);
static_assert(offsetof(TextCell, size) == 8);
static_assert(offsetof(TextCell, texOrigin) == 16);
static_assert(offsetof(TextCell, texSize) == 24);
static_assert(offsetof(TextCell, color) == 32);

} // namespace Tessaline
