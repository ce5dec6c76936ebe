#include "GLError.h"
#include "GLTerminalRenderer.h"
#include "ShaderLibrary.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Tessaline;

namespace {

QString libraryText(const QStringList& names) {
    QString text = QStringLiteral("// a comment before any section is ignored\n");
    for (const QString& name : names)
        text += QStringLiteral("//! ") + name + QStringLiteral("\n#version 330 core\nvoid main() {}\n");
    return text;
}

QStringList allNames() {
    QStringList names;
    for (const char* name : requiredShaderFunctions)
        names.append(QString::fromLatin1(name));
    return names;
}

void writeFile(const QString& path, const QString& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

QString describe(const ShaderLibraryResult& result) {
    if (const auto* error = std::get_if<GLError>(&result)) return error->description();
    return QStringLiteral("library");
}

} // namespace

TEST(ShaderLibrary, SectionsBecomeFunctions) {
    const ShaderLibrary library = ShaderLibrary::parse(libraryText(allNames()));
    EXPECT_TRUE(library.hasRequiredFunctions());
    EXPECT_EQ(library.functions().size(), 7);
    EXPECT_TRUE(
        library.function(QStringLiteral("terminal_color_fragment"))->contains(QStringLiteral("void main")));
    QStringList six = allNames();
    six.removeAt(3);
    EXPECT_FALSE(ShaderLibrary::parse(libraryText(six)).hasRequiredFunctions());
}

TEST(ShaderLibrary, LookupStagesAndTheirErrors) {
    const QString all = libraryText(allNames());
    QStringList six = allNames();
    six.removeLast();
    const QString missingOne = libraryText(six);
    QTemporaryDir dir;
    const QString unreadable = dir.path() + QStringLiteral("/gone.glsllib");

    struct Case {
        const char* name;
        std::optional<QString> builtIn;
        std::optional<QString> libraryFile;
        std::optional<QString> source;
        std::optional<QString> compileError;
        QString expected;
    };
    const QString joined =
        QStringLiteral("terminal_text_vertex, terminal_cell_text_vertex, terminal_text_fragment, "
                       "terminal_text_fragment_gray, "
                       "terminal_color_vertex, terminal_cell_color_vertex, terminal_color_fragment");
    writeFile(dir.path() + QStringLiteral("/good.glsllib"), all);
    const Case cases[] = {
        {"built-in library", all, std::nullopt, std::nullopt, std::nullopt, QStringLiteral("library")},
        {"built-in lacks one, nothing else", missingOne, std::nullopt, std::nullopt, std::nullopt,
         QStringLiteral("Failed to load OpenGL shader source: Qt/GL/Shaders")},
        {"a library file", std::nullopt, dir.path() + QStringLiteral("/good.glsllib"), std::nullopt,
         std::nullopt, QStringLiteral("library")},
        {"an unreadable library file stops the lookup", std::nullopt, unreadable, all, std::nullopt,
         QStringLiteral("Failed to load OpenGL library: cannot read ") + unreadable},
        {"source missing a function", std::nullopt, std::nullopt, missingOne, std::nullopt,
         QStringLiteral("OpenGL library missing required function: ") + joined},
        {"source that does not compile", std::nullopt, std::nullopt, all, QStringLiteral("0:3: syntax error"),
         QStringLiteral("Failed to compile OpenGL shader source: 0:3: syntax error")},
        {"source", std::nullopt, std::nullopt, all, std::nullopt, QStringLiteral("library")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShaderLibrarySources sources;
        sources.defaultLibrary = [&] { return c.builtIn; };
        sources.findLibraryFile = [&] { return c.libraryFile; };
        sources.loadShaderSource = [&] { return c.source; };
        sources.compile = [&](const ShaderLibrary&) { return c.compileError; };
        EXPECT_EQ(describe(makeShaderLibrary(sources)), c.expected);
    }
}

TEST(ShaderLibrary, LibraryFilesAreFoundByNameThenBySuffixNeverHidden) {
    QTemporaryDir first;
    QTemporaryDir second;
    writeFile(first.path() + QStringLiteral("/.hidden.glsllib"), QStringLiteral("x"));
    writeFile(first.path() + QStringLiteral("/notes.txt"), QStringLiteral("x"));
    writeFile(second.path() + QStringLiteral("/other.glsllib"), QStringLiteral("x"));
    const QStringList folders{first.path() + QStringLiteral("/missing"), first.path(), second.path()};
    EXPECT_EQ(ShaderLibrarySources::findLibraryFileIn(folders),
              second.path() + QStringLiteral("/other.glsllib"));

    writeFile(second.path() + QStringLiteral("/default.glsllib"), QStringLiteral("x"));
    EXPECT_EQ(ShaderLibrarySources::findLibraryFileIn(folders),
              second.path() + QStringLiteral("/default.glsllib"));
    EXPECT_FALSE(ShaderLibrarySources::findLibraryFileIn({first.path()}));
}

TEST(ShaderLibrary, TheBuiltInLibraryHasEveryFunction) {
    const std::optional<QString> text = ShaderLibrarySources::standard().defaultLibrary();
    ASSERT_TRUE(text);
    EXPECT_TRUE(ShaderLibrary::parse(*text).hasRequiredFunctions());
    // Running from the build tree also finds the source.
    EXPECT_TRUE(ShaderLibrarySources::loadShaderSourceIn(ShaderLibrarySources::candidateFolders()));
}

TEST(GLError, Descriptions) {
    const std::pair<GLError, const char*> cases[] = {
        {GLError(GLError::Kind::pipelineCreationFailed, QStringLiteral("text/color/cell")),
         "Failed to create OpenGL pipeline: text/color/cell"},
        {GLError(GLError::Kind::deviceUnavailable), "No OpenGL device is available."},
        {GLError(GLError::Kind::commandQueueUnavailable), "Failed to create OpenGL command queue."},
        {GLError(GLError::Kind::atlasUnavailable), "Failed to create the glyph atlas."},
        {GLError(GLError::Kind::samplerUnavailable), "Failed to create OpenGL sampler state."},
        {GLError(GLError::Kind::widgetsUnavailable), "OpenGLWidgets is unavailable."},
        {GLError(GLError::Kind::shaderLibraryMissing),
         "Failed to locate an OpenGL library in bundle resources."},
    };
    for (const auto& [error, text] : cases)
        EXPECT_EQ(error.description(), QString::fromLatin1(text));
}

TEST(GLTerminalRendererSetUp, WithoutAContextThereIsNoDevice) {
    GLTerminalRenderer::Result result = GLTerminalRenderer::create(nullptr, nullptr);
    const GLError* error = std::get_if<GLError>(&result);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description(), QStringLiteral("No OpenGL device is available."));
}
