// Skin output: the skin.json record, the two files of a skin folder, the zip export and the install into
// the user's skins folder.
#include "Builder/SkinBuilderModel.h"

#include "App/AppHooks.h"
#include "App/AppPaths.h"
#include "App/NotificationCenter.h"
#include "Builder/JsonCarryThrough.h"
#include "Settings/HexColor.h"
#include "Skins/SkinLoader.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSet>
#include <QUuid>

#include <zip.h>

#include <cmath>
#include <memory>

namespace Quillaby {

namespace {

using Export = SkinManifestExport;

const QString frameFileName = QStringLiteral("frame@2x.png");
const QString skinFileName = QStringLiteral("skin.json");
const QString notReadyText = QStringLiteral("Cannot export: need image + viewport + name");

// A rectangle drawn backwards (negative width or height) is turned the right way round first, so its
// frame-point origin is its top-left corner and not the corner where the drag started.
Export::Viewport exportRect(const QRectF& rect, double scale, double cornerRadius) {
    const QRectF r = rect.normalized();
    Export::Viewport v;
    v.x = std::round(r.x() * scale);
    v.y = std::round(r.y() * scale);
    v.width = std::round(r.width() * scale);
    v.height = std::round(r.height() * scale);
    v.cornerRadius = cornerRadius;
    return v;
}

QList<double> scaledPoint(QPointF p, double scale) {
    return {p.x() * scale, p.y() * scale};
}

Export::Key keyRecord(const ButtonDef& button, double scale) {
    const Export::Viewport r = exportRect(button.rect, scale, 0);
    Export::Key key;
    key.key = button.key;
    key.x = r.x;
    key.y = r.y;
    key.width = r.width;
    key.height = r.height;
    if (button.shape == ButtonShape::circle) key.shape = QStringLiteral("circle");
    return key;
}

QString zipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    QString text = QString::fromLocal8Bit(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

} // namespace

bool SkinBuilderModel::readyToWrite() const {
    return _skinImage.has_value() && _viewport.has_value();
}

std::optional<SkinManifestExport> SkinBuilderModel::buildManifest() const {
    return buildManifest(_buttons);
}

std::optional<SkinManifestExport> SkinBuilderModel::buildManifest(const QList<ButtonDef>& buttons) const {
    if (!readyToWrite()) return std::nullopt;
    const CoordinateConverter converter = makeConverter();
    const QSizeF frame = converter.exportSize();
    const double s = converter.exportScale();

    Export m;
    m.name = _skinName;
    if (!_author.isEmpty()) m.author = _author;
    m.version = QStringLiteral("1.0");
    m.frame = Export::Frame{frameFileName, frame.width(), frame.height()};
    m.viewport = exportRect(*_viewport, s, defaultCornerRadius);
    m.viewport.corners = exportCornerOffsets(s);
    m.viewport.cornerRadii = exportCornerRadii(s);

    m.palette.foreground = hexString(_fgColor);
    m.palette.background = hexString(_bgColor);
    if (_cursorColor) m.palette.cursor = hexString(*_cursorColor);
    if (_ansiColors && _ansiColors->size() == 16) {
        QList<QString> ansi;
        for (const RgbColor& color : *_ansiColors)
            ansi.append(hexString(color));
        m.palette.ansi = ansi;
    }

    for (qsizetype i = 0; i < buttons.size(); ++i) {
        const ButtonDef& def = buttons[i];
        const Export::Viewport r = exportRect(def.rect, s, 0);
        Export::Button b;
        b.label = def.label;
        b.x = r.x;
        b.y = r.y;
        b.width = r.width;
        b.height = r.height;
        if (def.shape == ButtonShape::circle) b.shape = QStringLiteral("circle");
        // The first button always opens the terminal.
        if (i == 0)
            b.defaultPanel = rawValue(PanelType::terminal);
        else if (def.defaultPanel != PanelType::placeholder)
            b.defaultPanel = rawValue(def.defaultPanel);
        if (!def.key.isEmpty()) b.key = def.key.toLower();
        m.buttons.append(b);
    }

    if (_scanlines || _glow || _curvature) {
        Export::Effects e;
        if (_scanlines) {
            e.scanlines = true;
            e.scanlineIntensity = _scanlineIntensity;
            if (_scanlineStyle != QStringLiteral("standard")) e.scanlineStyle = _scanlineStyle;
        }
        if (_glow) {
            e.glow = true;
            e.glowIntensity = _glowIntensity;
        }
        if (_curvature) {
            e.curvature = true;
            e.curvatureAmount = _curvatureAmount;
        }
        m.effects = e;
    }

    if (_drawerEnabled) {
        Export::Drawer d;
        d.edge = rawValue(_drawerEdge);
        if (!_drawerMask.isEmpty()) {
            QList<Export::Point> mask;
            for (const BezierNode& node : _drawerMask) {
                Export::Point p;
                p.x = node.point.x() * s;
                p.y = node.point.y() * s;
                if (!node.isStraight()) {
                    p.hi = scaledPoint(node.handleIn, s);
                    p.ho = scaledPoint(node.handleOut, s);
                }
                mask.append(p);
            }
            d.mask = mask;
        }
        if (_drawerViewport) d.viewport = exportRect(*_drawerViewport, s, 0);
        if (!_drawerDefaultWidget.isEmpty()) d.defaultWidget = _drawerDefaultWidget;
        m.drawer = d;
    }

    m.launchScale = _launchScale;
    m.screenInFront = _screenInFront;
    return m;
}

std::optional<QList<SkinManifestExport::Point>> SkinBuilderModel::exportCornerOffsets(double scale) const {
    if (_viewportCornerOffsets.size() != 4) return std::nullopt;
    bool allZero = true;
    for (QPointF offset : _viewportCornerOffsets)
        allZero = allZero && offset.x() == 0 && offset.y() == 0;
    if (allZero) return std::nullopt;
    QList<Export::Point> points;
    for (QPointF offset : _viewportCornerOffsets) {
        Export::Point p;
        p.x = offset.x() * scale;
        p.y = offset.y() * scale;
        points.append(p);
    }
    return points;
}

std::optional<QList<double>> SkinBuilderModel::exportCornerRadii(double scale) const {
    if (_viewportCornerRadii.size() != 4) return std::nullopt;
    bool allDefault = true;
    for (double radius : _viewportCornerRadii)
        allDefault = allDefault && radius == defaultCornerRadius;
    if (allDefault) return std::nullopt;
    QList<double> radii;
    for (double radius : _viewportCornerRadii)
        radii.append(radius * scale);
    return radii;
}

std::optional<SkinBuilderModel::DocumentJson> SkinBuilderModel::documentJson(QString* error) const {
    QList<ButtonDef> asButtons;
    QList<ButtonDef> asKeys;
    for (const ButtonDef& button : _buttons) {
        const bool fromKeys = _source && _source->entries.value(button.id).fromKeys;
        (fromKeys ? asKeys : asButtons).append(button);
    }
    std::optional<Export> manifest = buildManifest(asButtons);
    if (!manifest) {
        if (error) *error = notReadyText;
        return std::nullopt;
    }
    if (!asKeys.isEmpty()) {
        QList<Export::Key> keys;
        for (const ButtonDef& button : asKeys)
            keys.append(keyRecord(button, makeConverter().exportScale()));
        manifest->keys = keys;
    }
    std::optional<QJsonObject> object = manifest->encode(error);
    if (!object) return std::nullopt;

    DocumentJson document;
    const QJsonArray buttons = object->take(QStringLiteral("buttons")).toArray();
    const QJsonArray keys = object->take(QStringLiteral("keys")).toArray();
    for (qsizetype i = 0; i < asButtons.size(); ++i)
        document.buttons.append({asButtons[i].id, buttons.at(i).toObject()});
    for (qsizetype i = 0; i < asKeys.size(); ++i)
        document.keys.append({asKeys[i].id, keys.at(i).toObject()});
    document.top = *object;
    return document;
}

std::optional<QJsonObject> SkinBuilderModel::skinFileJson(QString* error) const {
    if (!_source) {
        std::optional<Export> manifest = buildManifest();
        if (!manifest) {
            if (error) *error = notReadyText;
            return std::nullopt;
        }
        return manifest->encode(error);
    }

    std::optional<DocumentJson> document = documentJson(error);
    if (!document) return std::nullopt;
    const SkinSource& source = *_source;
    QJsonObject original = source.original;
    const QJsonArray originalButtons = original.take(QStringLiteral("buttons")).toArray();
    const QJsonValue originalKeys = original.take(QStringLiteral("keys"));

    QJsonObject result = carryThrough(original, source.baseline, document->top).toObject();
    // The image written is always frame@2x.png of the document's pixel size.
    result.insert(QStringLiteral("frame"), document->top.value(QStringLiteral("frame")));
    // "cornerRadius" and "cornerRadii" describe the corners together: once the radii were edited, the
    // file's own uniform radius no longer goes with them.
    const QString viewportKey = QStringLiteral("viewport");
    const QString radiiKey = QStringLiteral("cornerRadii");
    const QJsonObject nowViewport = document->top.value(viewportKey).toObject();
    if (nowViewport.value(radiiKey) != source.baseline.value(viewportKey).toObject().value(radiiKey)) {
        QJsonObject viewport = result.value(viewportKey).toObject();
        viewport.insert(QStringLiteral("cornerRadius"), nowViewport.value(QStringLiteral("cornerRadius")));
        result.insert(viewportKey, viewport);
    }

    QJsonArray buttons;
    for (const auto& [id, entry] : document->buttons) {
        auto it = source.entries.constFind(id);
        if (it == source.entries.constEnd() || it->fromKeys)
            buttons.append(entry);
        else
            buttons.append(carryThrough(originalButtons.at(it->index), it->baseline, entry));
    }
    result.insert(QStringLiteral("buttons"), buttons);

    if (originalKeys.isArray()) {
        // Keys that became buttons go back to their places, as edited; a removed one is dropped. Keys the
        // builder did not take (it shows at most four buttons) stay as they were.
        QHash<int, QJsonValue> edited;
        QSet<int> taken;
        for (const auto& entry : source.entries)
            if (entry.fromKeys) taken.insert(entry.index);
        for (const auto& [id, entry] : document->keys) {
            const SkinSource::Entry& from = source.entries[id];
            edited.insert(from.index,
                          carryThrough(originalKeys.toArray().at(from.index), from.baseline, entry));
        }
        QJsonArray keys;
        const QJsonArray fileKeys = originalKeys.toArray();
        for (int i = 0; i < fileKeys.size(); ++i) {
            if (!taken.contains(i))
                keys.append(fileKeys.at(i));
            else if (edited.contains(i))
                keys.append(edited.value(i));
        }
        result.insert(QStringLiteral("keys"), keys);
    }
    return result;
}

SkinBuilderModel::WriteResult SkinBuilderModel::writeSkin(const QString& folder, QString* error) {
    if (!readyToWrite()) {
        setStatus(notReadyText, true);
        return WriteResult::reported;
    }
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("Couldn't create the folder %1").arg(folder);
        return WriteResult::failed;
    }
    if (_skinImage->bitmap.isNull()) {
        setStatus(QStringLiteral("Failed to create CGImage for export"), true);
        return WriteResult::reported;
    }
    const QByteArray png = _skinImage->pngData();
    if (png.isEmpty()) {
        setStatus(QStringLiteral("Failed to create PNG data"), true);
        return WriteResult::reported;
    }
    std::optional<QJsonObject> json = skinFileJson(error);
    if (!json) return WriteResult::failed;

    // Both files are complete on disk before either replaces its old self, so a failed write leaves the
    // old skin whole rather than a new image beside an old skin.json.
    const QDir dir(folder);
    QSaveFile frameFile(dir.filePath(frameFileName));
    QSaveFile skinFile(dir.filePath(skinFileName));
    const QList<std::pair<QSaveFile*, QByteArray>> writes{{&frameFile, png},
                                                          {&skinFile, QJsonDocument(*json).toJson()}};
    for (const auto& [file, bytes] : writes) {
        if (!file->open(QIODevice::WriteOnly) || file->write(bytes) != bytes.size()) {
            *error = QStringLiteral("Couldn't write %1: %2")
                         .arg(QFileInfo(file->fileName()).fileName(), file->errorString());
            return WriteResult::failed;
        }
    }
    for (const auto& [file, bytes] : writes) {
        if (!file->commit()) {
            *error = QStringLiteral("Couldn't write %1: %2")
                         .arg(QFileInfo(file->fileName()).fileName(), file->errorString());
            return WriteResult::failed;
        }
    }
    return WriteResult::written;
}

bool SkinBuilderModel::zipFiles(const QStringList& files, const QString& destination, QString* error) {
    auto fail = [error](const QString& text) {
        if (error) *error = text;
        return false;
    };
    // Read first: libzip takes the bytes when it closes the archive, so they must outlive it.
    QList<QByteArray> contents;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("Couldn't read %1: %2").arg(path, file.errorString()));
        contents.append(file.readAll());
    }

    int code = 0;
    // libzip writes a temporary file beside the destination and renames it over the old file on close.
    zip_t* archive = zip_open(QFile::encodeName(destination).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive) return fail(zipErrorText(code));
    std::unique_ptr<zip_t, void (*)(zip_t*)> discard(archive, zip_discard);

    const time_t now = AppHooks::current().now().toSecsSinceEpoch();
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QByteArray name = QFileInfo(files[i]).fileName().toUtf8();
        zip_source_t* source =
            zip_source_buffer(archive, contents[i].constData(), zip_uint64_t(contents[i].size()), 0);
        if (!source) return fail(QString::fromLocal8Bit(zip_strerror(archive)));
        const zip_int64_t index = zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            return fail(QString::fromLocal8Bit(zip_strerror(archive)));
        }
        // A PNG is compressed already; deflating it again costs time and gains nothing.
        if (name.endsWith(".png") &&
            zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0) < 0)
            return fail(QString::fromLocal8Bit(zip_strerror(archive)));
        // A regular file readable by everyone, as an unpacker should create it.
        const zip_uint32_t mode = 0100644;
        if (zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX, mode << 16) <
                0 ||
            zip_file_set_mtime(archive, zip_uint64_t(index), now, 0) < 0)
            return fail(QString::fromLocal8Bit(zip_strerror(archive)));
    }
    if (zip_close(archive) < 0) return fail(QString::fromLocal8Bit(zip_strerror(archive)));
    discard.release();
    return true;
}

QString SkinBuilderModel::skinFolderName(const QString& skinName) {
    QString name = skinName.toLower();
    name.replace(u' ', u'-');
    name.replace(u'/', u'-');
    name.replace(QChar(0), u'-');
    if (name == QStringLiteral(".") || name == QStringLiteral("..")) name.fill(u'-');
    return name;
}

void SkinBuilderModel::exportSkin() {
    if (!readyToWrite()) {
        setStatus(notReadyText, true);
        return;
    }
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::SaveFile;
    request.title = QStringLiteral("Export Skin");
    request.suffixes = {QStringLiteral("zip")};
    request.suggestedName = skinFolderName(_skinName) + QStringLiteral(".zip");
    QString path = AppHooks::current().runFileDialog(request);
    if (path.isEmpty()) return;
    // Zip archives are the only type offered, so a name typed without the suffix gets it.
    if (!path.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive)) path += QStringLiteral(".zip");

    const QString work = QDir::tempPath() + QStringLiteral("/quillaby-export-") +
                         QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    struct RemoveOnExit {
        QString folder;
        ~RemoveOnExit() { QDir(folder).removeRecursively(); }
    } cleanup{work};

    QString error;
    switch (writeSkin(work, &error)) {
    case WriteResult::written:
        break;
    case WriteResult::reported:
        return;
    case WriteResult::failed:
        setStatus(QStringLiteral("Export failed: ") + error, true);
        return;
    }
    // Only a file (or a link, which alone is replaced) gives way to the archive; a folder chosen by
    // mistake is never deleted.
    const QFileInfo existing(path);
    if (!existing.isSymLink() && existing.exists() && !existing.isFile()) {
        setStatus(QStringLiteral("Export failed: %1 is not a file").arg(path), true);
        return;
    }
    const QDir dir(work);
    if (!zipFiles({dir.filePath(frameFileName), dir.filePath(skinFileName)}, path, &error)) {
        setStatus(QStringLiteral("Export failed: ") + error, true);
        return;
    }
    setStatus(QStringLiteral("Exported ") + QFileInfo(path).fileName(), false);
}

void SkinBuilderModel::installSkin() {
    const QString folderName = skinFolderName(_skinName);
    // An empty folder name would write into the skins folder itself.
    if (!readyToWrite() || folderName.isEmpty()) {
        setStatus(notReadyText, true);
        return;
    }
    const QString target = QDir(AppPaths::skinsDir()).filePath(folderName);
    const QFileInfo existing(target);
    if (existing.exists() || existing.isSymLink()) {
        AlertRequest alert;
        alert.style = AlertRequest::Style::Warning;
        alert.message = QStringLiteral("Replace existing skin '%1'?").arg(_skinName);
        alert.informativeText = QStringLiteral("A skin folder named '%1' already exists. Installing will "
                                               "overwrite its frame@2x.png and skin.json.")
                                    .arg(folderName);
        alert.buttons = {QStringLiteral("Replace"), QStringLiteral("Cancel")};
        if (AppHooks::current().runAlert(alert) != 0) {
            setStatus(QStringLiteral("Install cancelled — no changes."), false);
            return;
        }
    }
    QString error;
    switch (writeSkin(target, &error)) {
    case WriteResult::written:
        break;
    case WriteResult::reported:
        return;
    case WriteResult::failed:
        setStatus(QStringLiteral("Install failed: ") + error, true);
        return;
    }
    // Stamped before the reload, so the folder watch does not announce this write a second time.
    SkinLoader& loader = SkinLoader::shared();
    loader.setLastManualBroadcast(AppHooks::current().now());
    loader.loadAll();
    NotificationCenter::defaultCenter().post(QString(SkinLoader::skinsDidReload));
    setStatus(QStringLiteral("Installed to %1/ — applied live.").arg(folderName), false);
}

} // namespace Quillaby
