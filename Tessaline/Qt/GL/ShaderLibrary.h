#pragma once

#include "GLError.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <variant>

namespace Tessaline {

// GLSL stages by function name. A library's text holds one stage per section that starts with a
// line "//! name"; the stages compile when the renderer makes its pipelines.
class ShaderLibrary {
public:
    static ShaderLibrary parse(const QString& text);

    bool hasRequiredFunctions() const;
    std::optional<QString> function(const QString& name) const;
    const QMap<QString, QString>& functions() const { return _functions; }

private:
    QMap<QString, QString> _functions;
};

// Where libraries come from. The defaults read the library built into the program, then library
// files and shader source in the candidate folders; tests put their own in.
struct ShaderLibrarySources {
    // The built-in library, if the program has one.
    std::function<std::optional<QString>()> defaultLibrary;
    // A library file ("default.glsllib", else the first *.glsllib) in the candidate folders.
    std::function<std::optional<QString>()> findLibraryFile;
    // The text of "Shaders.glsl" in the candidate folders.
    std::function<std::optional<QString>()> loadShaderSource;
    // Compiles every stage; an error message when one does not compile.
    std::function<std::optional<QString>(const ShaderLibrary&)> compile;

    static ShaderLibrarySources standard();
    // The engine's resource folder, the program's folder, then the source folder of the shaders.
    static QStringList candidateFolders();
    static std::optional<QString> findLibraryFileIn(const QStringList& folders);
    static std::optional<QString> loadShaderSourceIn(const QStringList& folders);
};

using ShaderLibraryResult = std::variant<ShaderLibrary, GLError>;

// The three-stage lookup: the built-in library, a library file, then the shader source.
ShaderLibraryResult makeShaderLibrary(const ShaderLibrarySources& sources);

} // namespace Tessaline
