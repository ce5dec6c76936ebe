#pragma once

#include <QString>
#include <QStringList>

namespace Quillaby {

// Makes the font files shipped in the resource bundle's "Fonts" folder usable by this process by
// family name; nothing is installed for the user. Start-up calls it once, before the skins load.
class FontRegistrar {
public:
    // Why a file's fonts could not be registered, as logged.
    enum class Failure {
        FileNotFound = 101,
        InsufficientPermissions = 102,
        UnrecognizedFormat = 103,
        // Not a failure to report: the same file was registered before in this process.
        AlreadyRegistered = 105,
    };

    static void registerBundledFonts();

    // Registers every file directly in the folder whose extension, lower-cased, is "ttf" (otf and ttc
    // are not taken), in listing order; logs each failure other than AlreadyRegistered. Returns the
    // names of the files registered by this call.
    static QStringList registerFonts(const QString& fontsFolder);
};

} // namespace Quillaby
