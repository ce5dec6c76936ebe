// The terminal's shader library: one GLSL 330 stage per "//! name" section. Positions arrive in
// drawable pixels, origin bottom left, y up; the viewport uniform is the drawable size in pixels.

//! terminal_text_vertex
#version 330 core
layout(location = 0) in vec2 position;
layout(location = 1) in vec2 texCoord;
layout(location = 2) in vec4 color;
uniform vec2 viewport;
out vec2 vTexCoord;
out vec4 vColor;
void main() {
    gl_Position = vec4(2.0 * position.x / viewport.x - 1.0, 2.0 * position.y / viewport.y - 1.0, 0.0, 1.0);
    vTexCoord = texCoord;
    vColor = color;
}

//! terminal_cell_text_vertex
#version 330 core
// One record per instance, six vertices per record: two triangles over position .. position + size.
layout(location = 0) in vec2 position;
layout(location = 1) in vec2 size;
layout(location = 2) in vec2 texOrigin;
layout(location = 3) in vec2 texSize;
layout(location = 4) in vec4 color;
uniform vec2 viewport;
out vec2 vTexCoord;
out vec4 vColor;
const vec2 corners[6] = vec2[6](vec2(0.0, 0.0), vec2(1.0, 0.0), vec2(0.0, 1.0),
                                vec2(1.0, 0.0), vec2(1.0, 1.0), vec2(0.0, 1.0));
void main() {
    vec2 corner = corners[gl_VertexID % 6];
    vec2 p = position + corner * size;
    gl_Position = vec4(2.0 * p.x / viewport.x - 1.0, 2.0 * p.y / viewport.y - 1.0, 0.0, 1.0);
    vTexCoord = texOrigin + corner * texSize;
    vColor = color;
}

//! terminal_text_fragment
#version 330 core
// Premultiplied texels (the colour atlas, images) times the colour.
in vec2 vTexCoord;
in vec4 vColor;
uniform sampler2D glyphTexture;
out vec4 fragColor;
void main() {
    fragColor = texture(glyphTexture, vTexCoord) * vColor;
}

//! terminal_text_fragment_gray
#version 330 core
// Coverage from the red channel of the one-channel atlas, returned premultiplied.
in vec2 vTexCoord;
in vec4 vColor;
uniform sampler2D glyphTexture;
out vec4 fragColor;
void main() {
    float c = texture(glyphTexture, vTexCoord).r;
    fragColor = vec4(vColor.rgb * c * vColor.a, c * vColor.a);
}

//! terminal_color_vertex
#version 330 core
layout(location = 0) in vec2 position;
layout(location = 2) in vec4 color;
uniform vec2 viewport;
out vec4 vColor;
void main() {
    gl_Position = vec4(2.0 * position.x / viewport.x - 1.0, 2.0 * position.y / viewport.y - 1.0, 0.0, 1.0);
    vColor = color;
}

//! terminal_cell_color_vertex
#version 330 core
layout(location = 0) in vec2 position;
layout(location = 1) in vec2 size;
layout(location = 4) in vec4 color;
uniform vec2 viewport;
out vec4 vColor;
const vec2 corners[6] = vec2[6](vec2(0.0, 0.0), vec2(1.0, 0.0), vec2(0.0, 1.0),
                                vec2(1.0, 0.0), vec2(1.0, 1.0), vec2(0.0, 1.0));
void main() {
    vec2 p = position + corners[gl_VertexID % 6] * size;
    gl_Position = vec4(2.0 * p.x / viewport.x - 1.0, 2.0 * p.y / viewport.y - 1.0, 0.0, 1.0);
    vColor = color;
}

//! terminal_color_fragment
#version 330 core
// Straight alpha; the pipeline blends with source alpha.
in vec4 vColor;
out vec4 fragColor;
void main() {
    fragColor = vColor;
}
