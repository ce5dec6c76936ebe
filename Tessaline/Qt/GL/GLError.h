#pragma once

#include <QString>

namespace Tessaline {

// Why the GPU path could not be set up. The view stays on its painter drawing whenever one occurs.
class GLError {
public:
    enum class Kind {
        shaderLibraryLoadFailed,
        shaderFunctionMissing,
        shaderSourceMissing,
        shaderCompilationFailed,
        pipelineCreationFailed,
        widgetsUnavailable,
        deviceUnavailable,
        commandQueueUnavailable,
        atlasUnavailable,
        shaderLibraryMissing,
        samplerUnavailable,
    };

    GLError(Kind kind, QString payload = {})
        : _kind(kind)
        , _payload(std::move(payload)) {}

    Kind kind() const { return _kind; }
    const QString& payload() const { return _payload; }
    QString description() const;

    friend bool operator==(const GLError&, const GLError&) = default;

private:
    Kind _kind;
    QString _payload;
};

// The shader functions every library must have, in the order they are checked.
inline constexpr const char* requiredShaderFunctions[] = {
    "terminal_text_vertex",        "terminal_cell_text_vertex", "terminal_text_fragment",
    "terminal_text_fragment_gray", "terminal_color_vertex",     "terminal_cell_color_vertex",
    "terminal_color_fragment",
};

} // namespace Tessaline
