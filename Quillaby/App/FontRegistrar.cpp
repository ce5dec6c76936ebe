#include "App/FontRegistrar.h"

#include "App/AppResources.h"
#include "App/Log.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QSet>

#include <unistd.h>

#include <cerrno>
#include <optional>

namespace Quillaby {

namespace {

// Files whose fonts this process has registered, by resolved path.
QSet<QString>& registeredFiles() {
    static QSet<QString> files;
    return files;
}

std::optional<FontRegistrar::Failure> registerFile(const QString& path) {
    using Failure = FontRegistrar::Failure;
    const QString key = QFileInfo(path).canonicalFilePath();
    if (key.isEmpty()) return Failure::FileNotFound;
    if (registeredFiles().contains(key)) return Failure::AlreadyRegistered;
    if (::access(QFile::encodeName(key).constData(), R_OK) != 0)
        return errno == ENOENT ? Failure::FileNotFound : Failure::InsufficientPermissions;
    // A folder or a pipe is no font file (and reading a pipe would block).
    if (!QFileInfo(key).isFile()) return Failure::UnrecognizedFormat;
    const int id = QFontDatabase::addApplicationFont(key);
    if (id < 0 || QFontDatabase::applicationFontFamilies(id).isEmpty()) {
        if (id >= 0) QFontDatabase::removeApplicationFont(id);
        return Failure::UnrecognizedFormat;
    }
    registeredFiles().insert(key);
    return std::nullopt;
}

} // namespace

void FontRegistrar::registerBundledFonts() {
    std::optional<QString> resources = AppResources::bundle().resourcePath();
    if (!resources) {
        Log::write(QStringLiteral("FontRegistrar: no bundled Fonts directory"));
        return;
    }
    registerFonts(*resources + QStringLiteral("/Fonts"));
}

QStringList FontRegistrar::registerFonts(const QString& fontsFolder) {
    QStringList registered;
    QDirIterator it(fontsFolder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = it.fileName();
        if (QFileInfo(name).suffix().toLower() != QStringLiteral("ttf")) continue;
        std::optional<Failure> failure = registerFile(path);
        if (!failure) {
            registered.append(name);
        } else if (*failure != Failure::AlreadyRegistered) {
            Log::write(QStringLiteral("FontRegistrar: ") + name + QStringLiteral(" register failed (") +
                       QString::number(int(*failure)) + QLatin1Char(')'));
        }
    }
    return registered;
}

} // namespace Quillaby
