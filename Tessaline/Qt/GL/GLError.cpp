#include "GLError.h"

namespace Tessaline {

QString GLError::description() const {
    switch (_kind) {
    case Kind::shaderLibraryLoadFailed:
        return QStringLiteral("Failed to load OpenGL library: ") + _payload;
    case Kind::shaderFunctionMissing:
        return QStringLiteral("OpenGL library missing required function: ") + _payload;
    case Kind::shaderSourceMissing:
        return QStringLiteral("Failed to load OpenGL shader source: ") + _payload;
    case Kind::shaderCompilationFailed:
        return QStringLiteral("Failed to compile OpenGL shader source: ") + _payload;
    case Kind::pipelineCreationFailed:
        return QStringLiteral("Failed to create OpenGL pipeline: ") + _payload;
    case Kind::widgetsUnavailable:
        return QStringLiteral("OpenGLWidgets is unavailable.");
    case Kind::deviceUnavailable:
        return QStringLiteral("No OpenGL device is available.");
    case Kind::commandQueueUnavailable:
        return QStringLiteral("Failed to create OpenGL command queue.");
    case Kind::atlasUnavailable:
        return QStringLiteral("Failed to create the glyph atlas.");
    case Kind::shaderLibraryMissing:
        return QStringLiteral("Failed to locate an OpenGL library in bundle resources.");
    case Kind::samplerUnavailable:
        return QStringLiteral("Failed to create OpenGL sampler state.");
    }
    return {};
}

} // namespace Tessaline
