// Opening a skin folder back into the document, the open panels and the preview command.
#include "Builder/SkinBuilderModel.h"

#include "App/AppHooks.h"
#include "App/AppPaths.h"
#include "Settings/HexColor.h"
#include "Skins/SkinManifestImport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace Quillaby {

namespace {

using Export = SkinManifestExport;

// A skin.json is a few kilobytes; anything this large is not one.
constexpr qint64 maximumSkinFileBytes = 16 * 1024 * 1024;

const QString drawerEdges[] = {QStringLiteral("top"), QStringLiteral("bottom"), QStringLiteral("left"),
                               QStringLiteral("right")};

std::optional<QByteArray> readSkinFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray bytes = file.read(maximumSkinFileBytes + 1);
    if (bytes.size() > maximumSkinFileBytes) return std::nullopt;
    return bytes;
}

QRectF imageRect(double x, double y, double width, double height, double scale) {
    return QRectF(x / scale, y / scale, width / scale, height / scale);
}

QPointF imagePoint(const QList<double>& xy, double scale) {
    return QPointF(xy[0] / scale, xy[1] / scale);
}

} // namespace

void SkinBuilderModel::loadSkin(const QString& folder) {
    const QDir dir(folder);
    const QString skinPath = dir.filePath(QStringLiteral("skin.json"));
    const QString imagePath = dir.filePath(QStringLiteral("frame@2x.png"));
    if (!QFileInfo(skinPath).exists()) {
        setStatus(QStringLiteral("No skin.json in that folder."), true);
        return;
    }
    std::optional<QByteArray> bytes = readSkinFile(skinPath);
    std::optional<SkinManifestImport> record;
    if (bytes) record = SkinManifestImport::decode(*bytes);
    if (!record) {
        setStatus(QStringLiteral("skin.json is malformed."), true);
        return;
    }
    std::optional<SkinImage> image = SkinImage::load(imagePath);
    if (!image) {
        setStatus(QStringLiteral("Couldn't load frame@2x.png."), true);
        return;
    }

    ChangeBatch batch(*this);
    reset();
    adoptImage(*image, imagePath);
    const double s = makeConverter().exportScale();
    SkinSource source;
    source.original = QJsonDocument::fromJson(*bytes).object();

    setSkinName(record->name);
    setAuthor(record->author.value_or(QString()));
    setLaunchScale(record->launchScale.value_or(1.0));
    setScreenInFront(record->screenInFront.value_or(false));

    const Export::Viewport& vp = record->viewport;
    setViewport(imageRect(vp.x, vp.y, vp.width, vp.height, s));
    QList<QPointF> offsets(4, QPointF(0, 0));
    if (vp.corners && vp.corners->size() == 4) {
        for (int i = 0; i < 4; ++i)
            offsets[i] = QPointF((*vp.corners)[i].x / s, (*vp.corners)[i].y / s);
    }
    setViewportCornerOffsets(offsets);
    // Every radius in skin.json is in frame points, the uniform one too: converting it like the others
    // gives back the corners the file describes.
    QList<double> radii(4, vp.cornerRadius / s);
    if (vp.cornerRadii && vp.cornerRadii->size() == 4) {
        for (int i = 0; i < 4; ++i)
            radii[i] = (*vp.cornerRadii)[i] / s;
    }
    setViewportCornerRadii(radii);

    QList<ButtonDef> buttons;
    for (qsizetype i = 0; i < record->buttons.size(); ++i) {
        const Export::Button& b = record->buttons[i];
        ButtonDef def;
        def.rect = imageRect(b.x, b.y, b.width, b.height, s);
        def.label = b.label;
        def.shape = b.shape == QStringLiteral("circle") ? ButtonShape::circle : ButtonShape::rect;
        def.defaultPanel =
            enumFromRawValue<PanelType>(b.defaultPanel.value_or(QString())).value_or(PanelType::placeholder);
        def.key = b.key.value_or(QString());
        buttons.append(def);
        source.entries.insert(def.id, SkinSource::Entry{false, int(i), {}});
    }
    // Keys fill the buttons up to four; the file's own buttons are never limited.
    const QList<Export::Key> keys = record->keys.value_or(QList<Export::Key>());
    for (qsizetype i = 0; i < keys.size() && buttons.size() < 4; ++i) {
        const Export::Key& k = keys[i];
        ButtonDef def;
        def.rect = imageRect(k.x, k.y, k.width, k.height, s);
        def.shape = k.shape == QStringLiteral("circle") ? ButtonShape::circle : ButtonShape::rect;
        def.defaultPanel = PanelType::placeholder;
        def.key = k.key;
        buttons.append(def);
        source.entries.insert(def.id, SkinSource::Entry{true, int(i), {}});
    }
    setButtons(buttons);

    const SkinManifestImport::ImportPalette& palette = record->palette;
    if (auto color = hexColor(palette.foreground.value_or(QString()))) setFgColor(*color);
    if (auto color = hexColor(palette.background.value_or(QString()))) setBgColor(*color);
    setCursorColor(hexColor(palette.cursor.value_or(QString())));
    if (palette.ansi && palette.ansi->size() == 16) {
        QList<RgbColor> ansi;
        for (const QString& text : *palette.ansi)
            ansi.append(hexColor(text).value_or(RgbColor::rgb(0, 0, 0)));
        setAnsiColors(ansi);
    } else {
        setAnsiColors(std::nullopt);
    }

    if (const std::optional<Export::Effects>& e = record->effects) {
        setScanlines(e->scanlines.value_or(false));
        setScanlineIntensity(e->scanlineIntensity.value_or(0.3));
        setScanlineStyle(e->scanlineStyle.value_or(QStringLiteral("standard")));
        setGlow(e->glow.value_or(false));
        setGlowIntensity(e->glowIntensity.value_or(0.4));
        setCurvature(e->curvature.value_or(false));
        setCurvatureAmount(e->curvatureAmount.value_or(0.2));
    }

    if (const std::optional<Export::Drawer>& d = record->drawer) {
        if (std::optional<DrawerEdge> edge = enumFromRawValue<DrawerEdge>(d->edge.toLower())) {
            setDrawerEnabled(true);
            setDrawerEdge(*edge);
            setDrawerDefaultWidget(d->defaultWidget.value_or(QString()));
            if (const std::optional<Export::Viewport>& r = d->viewport ? d->viewport : d->chevron)
                setDrawerViewport(imageRect(r->x, r->y, r->width, r->height, s));
            if (d->mask) {
                QList<BezierNode> nodes;
                for (const Export::Point& p : *d->mask) {
                    const QPointF point(p.x / s, p.y / s);
                    const QPointF in = p.hi && p.hi->size() == 2 ? imagePoint(*p.hi, s) : point;
                    const QPointF out = p.ho && p.ho->size() == 2 ? imagePoint(*p.ho, s) : point;
                    nodes.append(BezierNode(point, in, out));
                }
                setDrawerMask(nodes);
            }
        }
    }

    // What writing would give right now is the baseline against which later edits are told apart.
    _source = std::move(source);
    if (std::optional<DocumentJson> document = documentJson(nullptr)) {
        _source->baseline = document->top;
        for (const auto& [id, entry] : document->buttons)
            _source->entries[id].baseline = entry;
        for (const auto& [id, entry] : document->keys)
            _source->entries[id].baseline = entry;
    }

    setStatus(QStringLiteral("Opened %1 — %2 buttons").arg(dir.dirName(), QString::number(_buttons.size())),
              false);
}

void SkinBuilderModel::openSkin() {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::OpenFolder;
    request.title = QStringLiteral("Open Skin");
    request.startFolder = AppPaths::skinsDir();
    const QString folder = AppHooks::current().runFileDialog(request);
    if (!folder.isEmpty()) loadSkin(folder);
}

void SkinBuilderModel::openImage() {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::OpenFile;
    request.suffixes = {QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                        QStringLiteral("heic")};
    const QString file = AppHooks::current().runFileDialog(request);
    if (!file.isEmpty()) loadImage(file);
}

void SkinBuilderModel::previewSkin() {
    if (!_skinImage || !_viewport) return;
    emit previewShowRequested();
    setStatus(QStringLiteral("Preview open -- ESC or double-click to close"), false);
}

} // namespace Quillaby
