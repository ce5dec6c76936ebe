#include "Picker/FolderCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <filesystem>
#include <system_error>

namespace Quillaby {

namespace fs = std::filesystem;

namespace {

fs::path toPath(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}

QString nameOf(const fs::path& path) {
    return QStringLiteral("“") + QFile::decodeName(path.filename().native().c_str()) + QStringLiteral("”");
}

bool fail(QString* error, const QString& what, const fs::path& path, const std::error_code& code) {
    if (error)
        *error = what + QLatin1Char(' ') + nameOf(path) + QStringLiteral(": ") +
                 QString::fromLocal8Bit(code.message().c_str());
    return false;
}

bool copyEntry(const fs::path& from, const fs::path& to, QString* error) {
    std::error_code code;
    const fs::file_status status = fs::symlink_status(from, code);
    if (code) return fail(error, QStringLiteral("couldn't read"), from, code);
    switch (status.type()) {
    case fs::file_type::directory: {
        if (!fs::create_directory(to, code) || code)
            return fail(error, QStringLiteral("couldn't create"), to,
                        code ? code : std::make_error_code(std::errc::file_exists));
        fs::directory_iterator it(from, code);
        if (code) return fail(error, QStringLiteral("couldn't read"), from, code);
        for (const fs::directory_entry& entry : it) {
            if (!copyEntry(entry.path(), to / entry.path().filename(), error)) return false;
        }
        return true;
    }
    case fs::file_type::regular:
        if (!fs::copy_file(from, to, fs::copy_options::none, code) || code)
            return fail(error, QStringLiteral("couldn't copy"), from, code);
        return true;
    case fs::file_type::symlink: {
        const fs::path target = fs::read_symlink(from, code);
        if (!code) fs::create_symlink(target, to, code);
        if (code) return fail(error, QStringLiteral("couldn't copy"), from, code);
        return true;
    }
    default:
        if (error) *error = nameOf(from) + QStringLiteral(" is not a file or folder");
        return false;
    }
}

QString resolved(const QString& path) {
    QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

QString workName(const char* kind) {
    return QStringLiteral(".quillaby-") + QLatin1String(kind) + QLatin1Char('-') +
           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

} // namespace

bool FolderCopy::copyTree(const QString& source, const QString& destination, QString* error) {
    std::error_code code;
    if (fs::symlink_status(toPath(destination), code).type() != fs::file_type::not_found)
        return fail(error, QStringLiteral("couldn't create"), toPath(destination),
                    std::make_error_code(std::errc::file_exists));
    // A link dropped in place of a folder stands for the folder: its content is copied, not the link.
    fs::path from = toPath(source);
    const fs::path real = fs::canonical(from, code);
    if (!code) from = real;
    if (copyEntry(from, toPath(destination), error)) return true;
    std::error_code ignored;
    fs::remove_all(toPath(destination), ignored);
    return false;
}

bool FolderCopy::install(const QString& source, const QString& destination, const QString& workParent,
                         QString* error) {
    const fs::path staged = toPath(workParent + QLatin1Char('/') + workName("install"));
    if (!copyTree(source, QFile::decodeName(staged.native().c_str()), error)) return false;

    const fs::path target = toPath(destination);
    std::error_code code;
    const bool replacing = fs::symlink_status(target, code).type() != fs::file_type::not_found;
    const fs::path old = toPath(workParent + QLatin1Char('/') + workName("replaced"));
    if (replacing) {
        fs::rename(target, old, code);
        if (code) {
            std::error_code ignored;
            fs::remove_all(staged, ignored);
            return fail(error, QStringLiteral("couldn't move aside"), target, code);
        }
    }
    fs::rename(staged, target, code);
    if (code) {
        std::error_code ignored;
        if (replacing) fs::rename(old, target, ignored);
        fs::remove_all(staged, ignored);
        return fail(error, QStringLiteral("couldn't move into place"), target, code);
    }
    if (replacing) {
        // The new skin is in place; a leftover of the old one is only clutter.
        std::error_code ignored;
        fs::remove_all(old, ignored);
    }
    return true;
}

bool FolderCopy::makePath(const QString& path, QString* error) {
    std::error_code code;
    fs::create_directories(toPath(path), code);
    if (code) return fail(error, QStringLiteral("couldn't create"), toPath(path), code);
    return true;
}

bool FolderCopy::copyFile(const QString& source, const QString& destination, QString* error) {
    std::error_code code;
    if (!fs::copy_file(toPath(source), toPath(destination), fs::copy_options::none, code) || code)
        return fail(error, QStringLiteral("couldn't copy"), toPath(source), code);
    return true;
}

bool FolderCopy::removeTree(const QString& path, QString* error) {
    std::error_code code;
    fs::remove_all(toPath(path), code);
    if (code) return fail(error, QStringLiteral("couldn't remove"), toPath(path), code);
    return true;
}

bool FolderCopy::isSameOrInside(const QString& inner, const QString& outer) {
    const QString in = resolved(inner);
    const QString out = resolved(outer);
    if (in == out) return true;
    return in.startsWith(out.endsWith(QLatin1Char('/')) ? out : out + QLatin1Char('/'));
}

} // namespace Quillaby
