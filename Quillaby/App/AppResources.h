#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace Quillaby {

// The application's resource folder, "Quillaby_Quillaby.bundle": it holds "Fonts", "Skins",
// "Resources/CHANGELOG.md" and the brand images. A default-constructed bundle stands for "none found".
class ResourceBundle {
public:
    ResourceBundle() = default;
    explicit ResourceBundle(QString path)
        : _path(std::move(path)) {}

    bool isValid() const { return !_path.isEmpty(); }
    QString path() const { return _path; }
    // The folder the resources lie in; none without a bundle.
    std::optional<QString> resourcePath() const;

private:
    QString _path;
};

class AppResources {
public:
    static constexpr const char* bundleName = "Quillaby_Quillaby.bundle";

    // Found once, on first use: installed under <prefix>/share/quillaby/ (the executable in
    // <prefix>/bin), else beside the executable, else the source folder the build recorded. When none
    // holds it, one line is logged and the bundle is invalid: the application runs on without shipped
    // fonts and skins rather than stopping.
    static const ResourceBundle& bundle();

    // The places looked in, in order, for an executable in the given folder.
    static QStringList candidatePaths(const QString& executableDir, const QString& sourceResources);
    // The first candidate that is a folder; invalid when none is.
    static ResourceBundle locate(const QStringList& candidates);

    // Tests: use this folder as the bundle (an empty text: no bundle); nullopt looks it up again.
    static void setBundleForTesting(const std::optional<QString>& path);
};

} // namespace Quillaby
