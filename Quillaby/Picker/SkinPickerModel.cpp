#include "Picker/SkinPickerModel.h"

#include "App/AppHooks.h"
#include "App/AppPaths.h"
#include "App/Log.h"
#include "App/NotificationCenter.h"
#include "Picker/FolderCopy.h"
#include "Picker/ZipExtractor.h"
#include "Skins/SkinLoader.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QTimer>
#include <QUuid>
#include <QWidget>

#include <atomic>

namespace Quillaby {

namespace {

const QString skinFileName = QStringLiteral("skin.json");

QString newUuid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString quotedName(const QString& name) {
    return QStringLiteral("“") + name + QStringLiteral("”");
}

bool isBlank(const QString& text) {
    for (QChar c : text) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t')) return false;
    }
    return true;
}

} // namespace

// One archive import. The work folder goes when the import ends, or, should the model go away while
// the worker still unpacks, when the worker lets go of it.
struct SkinPickerModel::ZipJob {
    QString workFolder;
    std::atomic<bool> cancelled{false};
    bool unpacked = false;
    QString reason;

    QString extractFolder() const { return workFolder + QStringLiteral("/extract"); }
    void removeWorkFolder() {
        if (workFolder.isEmpty()) return;
        FolderCopy::removeTree(workFolder, nullptr);
        workFolder.clear();
    }
    ~ZipJob() { removeWorkFolder(); }
};

SkinPickerModel::SkinPickerModel(QObject* parent)
    : QObject(parent)
    , _statusTimer(new QTimer(this)) {
    _statusTimer->setSingleShot(true);
    _statusTimer->setInterval(statusClearMs);
    connect(_statusTimer, &QTimer::timeout, this, [this] {
        _statusMessage.reset();
        emit statusMessageChanged();
    });
    _skins = SkinLoader::shared().skinsOrFallback();
    NotificationCenter::defaultCenter().addObserver(QString(SkinLoader::skinsDidReload), this,
                                                    [this](const Notification&) { handleReload(); });
}

SkinPickerModel::~SkinPickerModel() {
    if (_job) _job->cancelled = true;
}

const QSet<QString>& SkinPickerModel::imageExtensions() {
    static const QSet<QString> extensions{QStringLiteral("png"), QStringLiteral("jpg"),
                                          QStringLiteral("jpeg")};
    return extensions;
}

bool SkinPickerModel::isImageFile(const QString& path) {
    return imageExtensions().contains(QFileInfo(path).suffix().toLower());
}

void SkinPickerModel::reload() {
    SkinLoader::shared().loadAll();
    handleReload();
}

void SkinPickerModel::handleReload() {
    setSkins(SkinLoader::shared().skinsOrFallback());
}

void SkinPickerModel::setSkins(const QList<SkinManifest>& skins) {
    _skins = skins;
    emit skinsChanged();
}

void SkinPickerModel::setStatus(const QString& text, bool isError) {
    _statusMessage = text;
    _statusIsError = isError;
    // One timer restarted by each report: the line stays statusClearMs after the last one, even when
    // the same text is reported twice.
    _statusTimer->start();
    emit statusMessageChanged();
}

void SkinPickerModel::importItem(const QString& path, const OpenImage& openImage) {
    _queue.append(Pending{path, openImage});
    runQueue();
}

void SkinPickerModel::runQueue() {
    // An alert's event loop may bring the next drop while one import runs: it waits its turn.
    if (_busy) return;
    while (!_queue.isEmpty()) {
        _busy = true;
        const Pending item = _queue.takeFirst();
        if (route(item)) return;
        _busy = false;
    }
    emit importsFinished();
}

bool SkinPickerModel::route(const Pending& item) {
    const QFileInfo info(item.path);
    if (!info.exists()) {
        setStatus(QStringLiteral("Couldn't read that item"), true);
        return false;
    }
    if (info.isDir()) {
        installSkinFolder(item.path);
        return false;
    }
    if (info.suffix().toLower() == QStringLiteral("zip")) return installSkinZip(item.path, item.openImage);
    if (isImageFile(item.path)) {
        if (item.openImage) item.openImage(item.path);
        return false;
    }
    setStatus(QStringLiteral("Drop a skin folder, .zip, or an image"), true);
    return false;
}

void SkinPickerModel::installSkinFolder(const QString& folder) {
    const QString source = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QString name = QFileInfo(source).fileName();
    if (!QFileInfo::exists(source + QLatin1Char('/') + skinFileName)) {
        setStatus(QStringLiteral("Not a skin folder — missing skin.json"), true);
        return;
    }
    const QString skinsDir = AppPaths::skinsDir();
    QDir().mkpath(skinsDir);
    const QString destination = skinsDir + QLatin1Char('/') + name;

    // A skin dragged out of the skins folder onto the picker is already installed: replacing it
    // would delete the very folder being copied. Nor can a folder be copied into itself.
    if (name.isEmpty() || FolderCopy::isSameOrInside(destination, source) ||
        FolderCopy::isSameOrInside(skinsDir, source)) {
        setStatus(QStringLiteral("Install failed: ") + quotedName(name) +
                      QStringLiteral(" is already in the skins folder"),
                  true);
        return;
    }

    const QFileInfo existing(destination);
    if (existing.exists() || existing.isSymLink()) {
        AlertRequest alert;
        alert.style = AlertRequest::Style::Warning;
        alert.message = QStringLiteral("Replace ") + quotedName(name) + QStringLiteral("?");
        alert.informativeText =
            QStringLiteral("A skin folder with this name already exists. Installing replaces it.");
        alert.buttons = {QStringLiteral("Replace"), QStringLiteral("Cancel")};
        alert.parent = _alertParent;
        if (AppHooks::current().runAlert(alert) != 0) {
            setStatus(QStringLiteral("Install cancelled"), false);
            return;
        }
    }

    // The copy is made beside the skins folder, not in it, so a reload meanwhile never lists it.
    const QString canonicalSkins = QFileInfo(skinsDir).canonicalFilePath();
    const QString workParent = QFileInfo(canonicalSkins.isEmpty() ? skinsDir : canonicalSkins).absolutePath();
    QString error;
    if (!FolderCopy::install(source, destination, workParent, &error)) {
        setStatus(QStringLiteral("Install failed: ") + error, true);
        return;
    }
    reload();
    setStatus(QStringLiteral("Installed ") + name, false);
}

bool SkinPickerModel::installSkinZip(const QString& archive, const OpenImage& openImage) {
    auto job = std::make_shared<ZipJob>();
    job->workFolder = QDir::tempPath() + QStringLiteral("/quillaby-import-") + newUuid();
    QString error;
    if (!FolderCopy::makePath(job->extractFolder(), &error)) {
        setStatus(QStringLiteral("Import failed: ") + error, true);
        return false;
    }
    _job = job;
    const QString extract = job->extractFolder();
    // Unpacking a large archive takes a while: the window goes on drawing meanwhile.
    QThread* worker = QThread::create([job, archive, extract] {
        const ZipExtractor::Result result =
            ZipExtractor::extract(archive, extract, ZipExtractor::Limits{}, &job->cancelled);
        job->unpacked = result.ok;
        job->reason = result.reason;
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &QThread::finished, this, [this, job, archive, openImage] {
        // The connection outlives the import; only the first call counts.
        if (_job != job) return;
        _job.reset();
        finishSkinZip(job, job->unpacked, job->reason, archive, openImage);
        job->removeWorkFolder();
        _busy = false;
        runQueue();
    });
    worker->start();
    return true;
}

void SkinPickerModel::finishSkinZip(const std::shared_ptr<ZipJob>& job, bool unpacked, const QString& reason,
                                    const QString& archive, const OpenImage& openImage) {
    if (!unpacked) {
        Log::write(QStringLiteral("SkinPicker: couldn't unzip ") + QFileInfo(archive).fileName() +
                   QStringLiteral(": ") + reason);
        setStatus(QStringLiteral("Couldn't unzip that file"), true);
        return;
    }
    const std::optional<SkinFiles> files = findSkinFiles(job->extractFolder());
    if (!files || !files->image) {
        setStatus(QStringLiteral("Zip needs a skin.json and an image"), true);
        return;
    }
    QString error;
    if (files->json) {
        const QString name = skinName(*files->json).value_or(QFileInfo(archive).completeBaseName());
        const QString stage = job->workFolder + QStringLiteral("/stage/") + folderId(name);
        if (!FolderCopy::makePath(stage, &error) ||
            !FolderCopy::copyFile(*files->json, stage + QLatin1Char('/') + skinFileName, &error) ||
            !FolderCopy::copyFile(*files->image,
                                  stage + QLatin1Char('/') + QFileInfo(*files->image).fileName(), &error)) {
            setStatus(QStringLiteral("Import failed: ") + error, true);
            return;
        }
        installSkinFolder(stage);
        return;
    }
    // An image alone starts a new skin in the builder; the copy outlives the work folder for it.
    const QString copy = QDir::tempPath() + QStringLiteral("/quillaby-image-") + newUuid() +
                         QLatin1Char('.') + QFileInfo(*files->image).suffix();
    if (!FolderCopy::copyFile(*files->image, copy, &error)) {
        setStatus(QStringLiteral("Import failed: ") + error, true);
        return;
    }
    if (openImage) openImage(copy);
}

void SkinPickerModel::deleteSkin(const SkinManifest& skin) {
    const std::optional<QString> folder = skin.userFolderURL();
    if (!folder) return;
    AlertRequest alert;
    alert.style = AlertRequest::Style::Warning;
    alert.message = QStringLiteral("Delete ") + quotedName(skin.name) + QStringLiteral("?");
    alert.informativeText =
        QStringLiteral("This permanently removes the skin folder from disk. This can't be undone.");
    alert.buttons = {QStringLiteral("Delete"), QStringLiteral("Cancel")};
    alert.parent = _alertParent;
    if (AppHooks::current().runAlert(alert) != 0) return;

    QString error;
    if (!FolderCopy::removeTree(*folder, &error)) {
        setStatus(QStringLiteral("Delete failed: ") + error, true);
        return;
    }
    SkinLoader& loader = SkinLoader::shared();
    loader.setLastManualBroadcast(AppHooks::current().now());
    loader.loadAll();
    NotificationCenter::defaultCenter().post(QString(SkinLoader::skinsDidReload));
    setStatus(QStringLiteral("Deleted ") + skin.name, false);
}

std::optional<SkinPickerModel::SkinFiles> SkinPickerModel::findSkinFiles(const QString& folder) {
    SkinFiles found;
    const QDir root(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (info.fileName().startsWith(QStringLiteral("._"))) continue;
        // Only the part inside the folder counts: the temporary folder's own path is no concern.
        if (root.relativeFilePath(info.filePath()).contains(QStringLiteral("__MACOSX"))) continue;
        if (info.isSymLink() || !info.isFile()) continue;
        if (info.fileName().toLower() == skinFileName) {
            if (!found.json) found.json = info.filePath();
        } else if (isImageFile(info.fileName())) {
            if (!found.image) found.image = info.filePath();
        }
    }
    if (!found.json && !found.image) return std::nullopt;
    return found;
}

std::optional<QString> SkinPickerModel::skinName(const QString& jsonFile) {
    QFile file(jsonFile);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonValue name = document.object().value(QStringLiteral("name"));
    if (!name.isString()) return std::nullopt;
    const QString text = name.toString();
    if (isBlank(text)) return std::nullopt;
    return text;
}

QString SkinPickerModel::folderId(const QString& name) {
    const QString lowered = name.normalized(QString::NormalizationForm_C).toLower();
    QString result;
    for (char32_t c : QStringView(lowered).toUcs4()) {
        if (c == U' ') c = U'-';
        if (QChar::isLetterOrNumber(c) || c == U'-' || c == U'_') result.append(QString::fromUcs4(&c, 1));
    }
    return result.isEmpty() ? QStringLiteral("skin") : result;
}

} // namespace Quillaby
