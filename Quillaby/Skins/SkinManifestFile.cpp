#include "Skins/SkinManifestFile.h"

#include "Settings/HexColor.h"
#include "Skins/StrictJsonReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace Quillaby {

namespace {

// A skin.json is a few kilobytes; anything this large is not one, and is not read into memory.
constexpr qint64 maximumFileSize = 16 * 1024 * 1024;
constexpr qint64 readStep = 64 * 1024;

using File = SkinManifestFile;

File::Point readPoint(StrictJsonReader& r, const QJsonObject& o) {
    File::Point p;
    p.x = r.number(o, "x");
    p.y = r.number(o, "y");
    return p;
}

File::Rect readRect(StrictJsonReader& r, const QJsonObject& o) {
    File::Rect rect;
    rect.x = r.number(o, "x");
    rect.y = r.number(o, "y");
    rect.width = r.number(o, "width");
    rect.height = r.number(o, "height");
    rect.cornerRadius = r.optionalNumber(o, "cornerRadius");
    rect.corners = r.optionalList(o, "corners", [&](const QJsonValue& v) {
        return r.objectValue(v, [&](const QJsonObject& p) { return readPoint(r, p); });
    });
    rect.cornerRadii = r.optionalList(o, "cornerRadii", r.numberElement());
    return rect;
}

File::Frame readFrame(StrictJsonReader& r, const QJsonObject& o) {
    File::Frame frame;
    frame.image = r.text(o, "image");
    frame.width = r.number(o, "width");
    frame.height = r.number(o, "height");
    return frame;
}

File::Palette readPalette(StrictJsonReader& r, const QJsonObject& o) {
    File::Palette palette;
    palette.foreground = r.text(o, "foreground");
    palette.background = r.text(o, "background");
    palette.cursor = r.optionalText(o, "cursor");
    palette.ansi = r.optionalList(o, "ansi", r.textElement());
    return palette;
}

File::Button readButton(StrictJsonReader& r, const QJsonObject& o) {
    File::Button button;
    button.label = r.text(o, "label");
    button.x = r.number(o, "x");
    button.y = r.number(o, "y");
    button.width = r.number(o, "width");
    button.height = r.number(o, "height");
    button.key = r.optionalText(o, "key");
    return button;
}

File::Key readKey(StrictJsonReader& r, const QJsonObject& o) {
    File::Key key;
    key.key = r.text(o, "key");
    key.x = r.number(o, "x");
    key.y = r.number(o, "y");
    key.width = r.number(o, "width");
    key.height = r.number(o, "height");
    key.shape = r.optionalText(o, "shape");
    return key;
}

File::Effects readEffects(StrictJsonReader& r, const QJsonObject& o) {
    File::Effects effects;
    effects.scanlines = r.optionalFlag(o, "scanlines");
    effects.scanlineIntensity = r.optionalNumber(o, "scanlineIntensity");
    effects.glow = r.optionalFlag(o, "glow");
    effects.glowIntensity = r.optionalNumber(o, "glowIntensity");
    effects.curvature = r.optionalFlag(o, "curvature");
    effects.curvatureAmount = r.optionalNumber(o, "curvatureAmount");
    effects.colorGrade = r.optionalText(o, "colorGrade");
    return effects;
}

template<typename Read>
auto objectsOf(StrictJsonReader& r, Read read) {
    return [&r, read](const QJsonValue& v) {
        return r.objectValue(v, [&](const QJsonObject& o) { return read(r, o); });
    };
}

bool isDrawableLength(double value) {
    return std::isfinite(value) && value > 0;
}

QString formatSize(double width, double height) {
    return QString::number(width) + QStringLiteral(" x ") + QString::number(height);
}

} // namespace

std::optional<SkinManifestFile> SkinManifestFile::decode(const QByteArray& json, QString* error) {
    StrictJsonReader r;
    const QJsonObject o = r.document(json);
    File file;
    file.name = r.text(o, "name");
    file.author = r.optionalText(o, "author");
    file.version = r.optionalText(o, "version");
    file.category = r.optionalText(o, "category");
    file.frame = r.object(o, "frame", [&](const QJsonObject& v) { return readFrame(r, v); });
    file.viewport = r.object(o, "viewport", [&](const QJsonObject& v) { return readRect(r, v); });
    file.palette = r.object(o, "palette", [&](const QJsonObject& v) { return readPalette(r, v); });
    file.buttons = r.list(o, "buttons", objectsOf(r, readButton));
    file.keys = r.optionalList(o, "keys", objectsOf(r, readKey));
    file.effects = r.optionalObject(o, "effects", [&](const QJsonObject& v) { return readEffects(r, v); });
    file.launchScale = r.optionalNumber(o, "launchScale");
    file.screenInFront = r.optionalFlag(o, "screenInFront");
    if (!r.ok()) {
        if (error) *error = r.error();
        return std::nullopt;
    }
    return file;
}

std::optional<QString> SkinManifestFile::geometryProblem() const {
    if (!isDrawableLength(frame.width) || !isDrawableLength(frame.height))
        return QStringLiteral("the frame size ") + formatSize(frame.width, frame.height) +
               QStringLiteral(" is not positive");
    if (!isDrawableLength(viewport.width) || !isDrawableLength(viewport.height))
        return QStringLiteral("the viewport size ") + formatSize(viewport.width, viewport.height) +
               QStringLiteral(" is not positive");
    return std::nullopt;
}

std::optional<SkinManifestFile> SkinManifestFile::load(const QString& path, QString* error) {
    auto failed = [&](const QString& text) -> std::optional<SkinManifestFile> {
        if (error) *error = text;
        return std::nullopt;
    };
    QFile file(path);
    // A pipe or device would block the open or never end.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) return failed(QStringLiteral("not a regular file"));
    if (!file.open(QIODevice::ReadOnly)) return failed(file.errorString());
    if (file.size() > maximumFileSize)
        return failed(QStringLiteral("the file is larger than %1 bytes").arg(maximumFileSize));
    // In steps of the usual size: one read of the whole limit allocated and unmapped 16 MiB per skin at
    // every launch.
    QByteArray bytes;
    while (bytes.size() <= maximumFileSize) {
        const QByteArray chunk = file.read(std::min(readStep, maximumFileSize + 1 - bytes.size()));
        if (chunk.isEmpty()) break;
        bytes += chunk;
    }
    if (file.error() != QFileDevice::NoError) return failed(file.errorString());
    if (bytes.size() > maximumFileSize)
        return failed(QStringLiteral("the file is larger than %1 bytes").arg(maximumFileSize));
    QString problem;
    std::optional<SkinManifestFile> decoded = decode(bytes, &problem);
    if (!decoded) return failed(problem);
    if (std::optional<QString> geometry = decoded->geometryProblem()) return failed(*geometry);
    if (std::optional<QString> image = decoded->imageProblem(info.absolutePath())) return failed(*image);
    return decoded;
}

std::optional<QString> SkinManifestFile::imageProblem(const QString& skinFolder) const {
    const QString outside =
        QStringLiteral("the frame image \"%1\" lies outside the skin folder").arg(frame.image);
    const QString cleaned = QDir::cleanPath(frame.image);
    if (QDir::isAbsolutePath(frame.image) || cleaned == QStringLiteral("..") ||
        cleaned.startsWith(QStringLiteral("../")))
        return outside;
    // The deepest part of the path that is there decides, with its links resolved; a link that leads
    // nowhere yet is judged by where it points.
    const QString folder = QFileInfo(skinFolder).canonicalFilePath();
    if (folder.isEmpty()) return std::nullopt;
    QString existing = QDir::cleanPath(QFileInfo(skinFolder).absoluteFilePath() + QLatin1Char('/') + cleaned);
    while (!QFileInfo::exists(existing) && !QFileInfo(existing).isSymLink())
        existing = QFileInfo(existing).absolutePath();
    const QFileInfo info(existing);
    const QString resolved = info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.symLinkTarget());
    if (resolved != folder && !resolved.startsWith(folder + QLatin1Char('/'))) return outside;
    return std::nullopt;
}

SkinManifest SkinManifestFile::toSkinManifest(const QString& skinDirectory, bool isBundled) const {
    const QString folder = QDir::cleanPath(QFileInfo(skinDirectory).absoluteFilePath());
    const QString folderName = QFileInfo(folder).fileName();
    SkinManifest skin;
    skin.id = folderName;
    skin.name = name;
    skin.frameImageName =
        isBundled ? folderName + QLatin1Char('/') + frame.image : folder + QLatin1Char('/') + frame.image;
    skin.frameSize = QSizeF(frame.width, frame.height);
    skin.viewportRect = QRectF(viewport.x, viewport.y, viewport.width, viewport.height);
    skin.viewportCornerRadius = viewport.cornerRadius.value_or(4.0);
    if (viewport.corners && viewport.corners->size() == 4) {
        for (const Point& p : *viewport.corners)
            skin.viewportCornerOffsets.append(QPointF(p.x, p.y));
    }
    if (viewport.cornerRadii && viewport.cornerRadii->size() == 4)
        skin.viewportCornerRadii = *viewport.cornerRadii;
    for (const Button& b : buttons.mid(0, 4))
        skin.buttons.append({QRectF(b.x, b.y, b.width, b.height), b.label, b.key});
    if (keys) {
        for (const Key& k : *keys)
            skin.keys.append({QRectF(k.x, k.y, k.width, k.height), k.key.toLower(), k.shape});
    }
    skin.palette.foreground = hexColorOrMagenta(palette.foreground);
    skin.palette.background = hexColorOrMagenta(palette.background);
    if (palette.cursor) skin.palette.cursor = hexColorOrMagenta(*palette.cursor);
    if (palette.ansi && palette.ansi->size() == 16) {
        QList<RgbColor> ansi;
        for (const QString& text : *palette.ansi)
            ansi.append(hexColorOrMagenta(text));
        skin.palette.ansi = ansi;
    }
    skin.isBundled = isBundled;
    skin.launchScale = launchScale.value_or(1.0);
    skin.screenInFront = screenInFront.value_or(false);
    return skin;
}

} // namespace Quillaby
