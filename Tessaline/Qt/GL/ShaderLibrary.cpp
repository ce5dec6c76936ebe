#include "ShaderLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifndef TESSALINE_GL_SHADER_SOURCE_DIR
#define TESSALINE_GL_SHADER_SOURCE_DIR ""
#endif

static void initShaderResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(Shaders);
        return true;
    }();
    (void)done;
}

namespace Tessaline {

namespace {

std::optional<QString> readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return QString::fromUtf8(file.readAll());
}

QString joinedRequiredNames() {
    QStringList names;
    for (const char* name : requiredShaderFunctions)
        names.append(QString::fromLatin1(name));
    return names.join(QStringLiteral(", "));
}

} // namespace

ShaderLibrary ShaderLibrary::parse(const QString& text) {
    ShaderLibrary library;
    QString name;
    QString body;
    const auto finish = [&] {
        if (!name.isEmpty()) library._functions.insert(name, body);
    };
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("//! "))) {
            finish();
            name = line.mid(4).trimmed();
            body.clear();
        } else if (!name.isEmpty()) {
            body += line;
            body += QLatin1Char('\n');
        }
    }
    finish();
    return library;
}

bool ShaderLibrary::hasRequiredFunctions() const {
    for (const char* name : requiredShaderFunctions) {
        if (!_functions.contains(QString::fromLatin1(name))) return false;
    }
    return true;
}

std::optional<QString> ShaderLibrary::function(const QString& name) const {
    auto it = _functions.constFind(name);
    if (it == _functions.constEnd()) return std::nullopt;
    return *it;
}

QStringList ShaderLibrarySources::candidateFolders() {
    const QString app = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    QStringList folders;
    if (!app.isEmpty()) {
        folders.append(QDir::cleanPath(app + QStringLiteral("/../share/tessaline")));
        folders.append(app);
    }
    const QString source = QString::fromUtf8(TESSALINE_GL_SHADER_SOURCE_DIR);
    if (!source.isEmpty()) folders.append(source);
    return folders;
}

std::optional<QString> ShaderLibrarySources::findLibraryFileIn(const QStringList& folders) {
    for (const QString& folder : folders) {
        const QString named = folder + QStringLiteral("/default.glsllib");
        if (QFileInfo(named).isFile()) return named;
        QDir dir(folder);
        if (!dir.exists()) continue;
        // Hidden files are never taken; the listing's own order decides among the rest.
        const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
        for (const QFileInfo& entry : entries) {
            if (entry.suffix() == QStringLiteral("glsllib") && !entry.fileName().startsWith(QLatin1Char('.')))
                return entry.filePath();
        }
    }
    return std::nullopt;
}

std::optional<QString> ShaderLibrarySources::loadShaderSourceIn(const QStringList& folders) {
    for (const QString& folder : folders) {
        if (std::optional<QString> text = readText(folder + QStringLiteral("/Shaders.glsl"))) return text;
    }
    return std::nullopt;
}

ShaderLibrarySources ShaderLibrarySources::standard() {
    ShaderLibrarySources sources;
    sources.defaultLibrary = [] {
        initShaderResources();
        return readText(QStringLiteral(":/tessaline/gl/default.glsllib"));
    };
    sources.findLibraryFile = [] { return findLibraryFileIn(candidateFolders()); };
    sources.loadShaderSource = [] { return loadShaderSourceIn(candidateFolders()); };
    sources.compile = [](const ShaderLibrary&) { return std::optional<QString>(); };
    return sources;
}

ShaderLibraryResult makeShaderLibrary(const ShaderLibrarySources& sources) {
    const auto compiles = [&](const ShaderLibrary& library) -> std::optional<QString> {
        return sources.compile ? sources.compile(library) : std::nullopt;
    };

    if (sources.defaultLibrary) {
        if (std::optional<QString> text = sources.defaultLibrary()) {
            ShaderLibrary library = ShaderLibrary::parse(*text);
            if (library.hasRequiredFunctions() && !compiles(library)) return library;
        }
    }

    if (sources.findLibraryFile) {
        if (std::optional<QString> path = sources.findLibraryFile()) {
            std::optional<QString> text = readText(*path);
            if (!text)
                return GLError(GLError::Kind::shaderLibraryLoadFailed,
                               QStringLiteral("cannot read ") + *path);
            ShaderLibrary library = ShaderLibrary::parse(*text);
            if (library.hasRequiredFunctions()) {
                if (std::optional<QString> error = compiles(library))
                    return GLError(GLError::Kind::shaderLibraryLoadFailed, *error);
                return library;
            }
        }
    }

    std::optional<QString> source = sources.loadShaderSource ? sources.loadShaderSource() : std::nullopt;
    if (!source) return GLError(GLError::Kind::shaderSourceMissing, QStringLiteral("Qt/GL/Shaders"));
    ShaderLibrary library = ShaderLibrary::parse(*source);
    if (std::optional<QString> error = compiles(library))
        return GLError(GLError::Kind::shaderCompilationFailed, *error);
    if (!library.hasRequiredFunctions())
        return GLError(GLError::Kind::shaderFunctionMissing, joinedRequiredNames());
    return library;
}

} // namespace Tessaline
