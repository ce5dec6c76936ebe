#pragma once

#include "Skins/SkinManifest.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QTimer;

namespace Quillaby {

// The skin picker's model: the skins it shows (the loader's list), installs from a skin folder or a
// zip archive into the user's skins folder, deletion of user skins, and a status line that clears
// itself statusClearMs after the last report. It knows nothing of the builder: an image leaves it
// only through the callback its caller passes in. Main thread only.
//
// Items are imported one at a time in the order given; a zip archive is unpacked on a worker thread
// and the rest of its import (alerts, status, the callback) follows on the main thread, so the window
// stays responsive while the next items wait their turn.
class SkinPickerModel : public QObject {
    Q_OBJECT

public:
    using OpenImage = std::function<void(const QString& imageFile)>;

    static constexpr int statusClearMs = 3000;

    explicit SkinPickerModel(QObject* parent = nullptr);
    ~SkinPickerModel() override;

    // The loader's skins in its order, or the two built-in skins while it has none.
    const QList<SkinManifest>& skins() const { return _skins; }
    const std::optional<QString>& statusMessage() const { return _statusMessage; }
    // Whether the last report was a failure; it does not change how the text is shown.
    bool statusIsError() const { return _statusIsError; }

    // Rescans both skins folders, then shows the result; announces nothing.
    void reload();
    // A folder is installed, a .zip unpacked and installed (or its lone image handed on), an image
    // handed to `openImage` as it is; anything else is reported.
    void importItem(const QString& path, const OpenImage& openImage);
    // Copies a folder holding a skin.json into the skins folder under its own name, asking before it
    // replaces one; reloads, but leaves the announcement to the folder watch.
    void installSkinFolder(const QString& folder);
    // After confirmation removes a user skin's folder, reloads and announces the reload.
    void deleteSkin(const SkinManifest& skin);

    // The window the alerts belong to.
    void setAlertParent(QWidget* window) { _alertParent = window; }

    // True while an import is running or waiting.
    bool isImporting() const { return _busy || !_queue.isEmpty(); }

    // The file-name extensions that count as an image, lower case. HEIC is left out: Linux cannot
    // read it, so such a file is treated like any other file that is no image.
    static const QSet<QString>& imageExtensions();
    static bool isImageFile(const QString& path);

    struct SkinFiles {
        std::optional<QString> json;
        std::optional<QString> image;
    };
    // The first "skin.json" (any case) and the first image the deep walk of the folder yields, among
    // regular files only, skipping "._" companions and anything under "__MACOSX"; none when neither.
    static std::optional<SkinFiles> findSkinFiles(const QString& folder);
    // The top-level "name" of a skin.json, untrimmed; none when unreadable, not an object, not a text,
    // or blank (spaces and tabs only).
    static std::optional<QString> skinName(const QString& jsonFile);
    // A folder name made from a display name: NFC, lower case, spaces as "-", only letters, numbers,
    // "-" and "_" kept; "skin" when nothing is left. It never names "." or ".." or holds a "/".
    static QString folderId(const QString& name);

    // The status line's clearing timer, for tests to fire.
    QTimer* statusTimer() const { return _statusTimer; }

signals:
    void skinsChanged();
    void statusMessageChanged();
    // The last waiting import has finished.
    void importsFinished();

private:
    struct Pending {
        QString path;
        OpenImage openImage;
    };
    struct ZipJob;

    void handleReload();
    void setSkins(const QList<SkinManifest>& skins);
    void setStatus(const QString& text, bool isError);
    void runQueue();
    // True when the import goes on later (an archive being unpacked).
    bool route(const Pending& item);
    bool installSkinZip(const QString& archive, const OpenImage& openImage);
    void finishSkinZip(const std::shared_ptr<ZipJob>& job, bool unpacked, const QString& reason,
                       const QString& archive, const OpenImage& openImage);

    QList<SkinManifest> _skins;
    std::optional<QString> _statusMessage;
    bool _statusIsError = false;
    QTimer* _statusTimer = nullptr;
    QList<Pending> _queue;
    bool _busy = false;
    std::shared_ptr<ZipJob> _job;
    QPointer<QWidget> _alertParent;
};

} // namespace Quillaby
