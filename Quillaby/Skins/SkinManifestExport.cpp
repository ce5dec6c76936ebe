#include "Skins/SkinManifestExport.h"

#include "Skins/SkinManifestImport.h"
#include "Skins/StrictJsonReader.h"

#include <QJsonArray>

#include <cmath>

namespace Quillaby {

namespace {

using Export = SkinManifestExport;

QJsonArray numbers(const QList<double>& values) {
    QJsonArray array;
    for (double v : values)
        array.append(v);
    return array;
}

QJsonArray texts(const QList<QString>& values) {
    QJsonArray array;
    for (const QString& v : values)
        array.append(v);
    return array;
}

template<typename Record>
QJsonArray objects(const QList<Record>& records) {
    QJsonArray array;
    for (const Record& r : records)
        array.append(r.toJson());
    return array;
}

// Optional members go in only when they hold a value.
void put(QJsonObject& o, const char* key, const std::optional<QString>& v) {
    if (v) o.insert(QLatin1String(key), *v);
}
void put(QJsonObject& o, const char* key, const std::optional<double>& v) {
    if (v) o.insert(QLatin1String(key), *v);
}
void put(QJsonObject& o, const char* key, const std::optional<bool>& v) {
    if (v) o.insert(QLatin1String(key), *v);
}
void put(QJsonObject& o, const char* key, const std::optional<QList<double>>& v) {
    if (v) o.insert(QLatin1String(key), numbers(*v));
}
void put(QJsonObject& o, const char* key, const std::optional<QList<QString>>& v) {
    if (v) o.insert(QLatin1String(key), texts(*v));
}
template<typename Record>
void put(QJsonObject& o, const char* key, const std::optional<QList<Record>>& v) {
    if (v) o.insert(QLatin1String(key), objects(*v));
}
template<typename Record>
void put(QJsonObject& o, const char* key, const std::optional<Record>& v) {
    if (v) o.insert(QLatin1String(key), v->toJson());
}

// Where the first number that JSON cannot carry sits, as a path of keys and indexes.
std::optional<QString> nonFinitePlace(const QJsonValue& value, const QString& here) {
    if (value.isDouble()) {
        if (std::isfinite(value.toDouble())) return std::nullopt;
        return here;
    }
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i) {
            QString step = here + QLatin1Char('[') + QString::number(i) + QLatin1Char(']');
            if (auto place = nonFinitePlace(array.at(i), step)) return place;
        }
    }
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            QString step = (here.isEmpty() ? QString() : here + QLatin1Char('.')) + QLatin1Char('"') +
                           it.key() + QLatin1Char('"');
            if (auto place = nonFinitePlace(it.value(), step)) return place;
        }
    }
    return std::nullopt;
}

std::optional<QJsonObject> finiteOnly(QJsonObject object, QString* error) {
    if (std::optional<QString> place = nonFinitePlace(object, QString())) {
        if (error) *error = *place + QStringLiteral(": the number is not finite");
        return std::nullopt;
    }
    return object;
}

template<typename Record>
auto objectsOf(StrictJsonReader& r) {
    return [&r](const QJsonValue& v) {
        return r.objectValue(v, [&](const QJsonObject& o) { return Record::read(r, o); });
    };
}

template<typename Record>
auto objectOf(StrictJsonReader& r) {
    return [&r](const QJsonObject& o) { return Record::read(r, o); };
}

// The twelve top-level members; the two records differ only in how "version" and "palette" are read.
template<typename Record>
void putCommon(QJsonObject& o, const Record& record) {
    o.insert(QStringLiteral("name"), record.name);
    put(o, "author", record.author);
    o.insert(QStringLiteral("frame"), record.frame.toJson());
    o.insert(QStringLiteral("viewport"), record.viewport.toJson());
    o.insert(QStringLiteral("palette"), record.palette.toJson());
    o.insert(QStringLiteral("buttons"), objects(record.buttons));
    put(o, "keys", record.keys);
    put(o, "effects", record.effects);
    put(o, "drawer", record.drawer);
    put(o, "launchScale", record.launchScale);
    put(o, "screenInFront", record.screenInFront);
}

template<typename Record>
std::optional<Record> readRecord(StrictJsonReader& r, const QJsonObject& o, QString* error) {
    using Palette = decltype(Record::palette);
    Record record;
    record.name = r.text(o, "name");
    record.author = r.optionalText(o, "author");
    if constexpr (std::is_same_v<decltype(Record::version), QString>)
        record.version = r.text(o, "version");
    else
        record.version = r.optionalText(o, "version");
    record.frame = r.object(o, "frame", objectOf<Export::Frame>(r));
    record.viewport = r.object(o, "viewport", objectOf<Export::Viewport>(r));
    record.palette = r.object(o, "palette", objectOf<Palette>(r));
    record.buttons = r.list(o, "buttons", objectsOf<Export::Button>(r));
    record.keys = r.optionalList(o, "keys", objectsOf<Export::Key>(r));
    record.effects = r.optionalObject(o, "effects", objectOf<Export::Effects>(r));
    record.drawer = r.optionalObject(o, "drawer", objectOf<Export::Drawer>(r));
    record.launchScale = r.optionalNumber(o, "launchScale");
    record.screenInFront = r.optionalFlag(o, "screenInFront");
    if (!r.ok()) {
        if (error) *error = r.error();
        return std::nullopt;
    }
    return record;
}

template<typename Record>
std::optional<Record> decodeBytes(const QByteArray& json, QString* error) {
    StrictJsonReader r;
    QJsonObject object = r.document(json);
    if (!r.ok()) {
        if (error) *error = r.error();
        return std::nullopt;
    }
    return readRecord<Record>(r, object, error);
}

} // namespace

QJsonObject Export::Point::toJson() const {
    QJsonObject o{{QStringLiteral("x"), x}, {QStringLiteral("y"), y}};
    put(o, "hi", hi);
    put(o, "ho", ho);
    return o;
}

Export::Point Export::Point::read(StrictJsonReader& r, const QJsonObject& o) {
    Point p;
    p.x = r.number(o, "x");
    p.y = r.number(o, "y");
    p.hi = r.optionalList(o, "hi", r.numberElement());
    p.ho = r.optionalList(o, "ho", r.numberElement());
    return p;
}

QJsonObject Export::Frame::toJson() const {
    return QJsonObject{{QStringLiteral("image"), image},
                       {QStringLiteral("width"), width},
                       {QStringLiteral("height"), height}};
}

Export::Frame Export::Frame::read(StrictJsonReader& r, const QJsonObject& o) {
    Frame f;
    f.image = r.text(o, "image");
    f.width = r.number(o, "width");
    f.height = r.number(o, "height");
    return f;
}

QJsonObject Export::Viewport::toJson() const {
    QJsonObject o{{QStringLiteral("x"), x},
                  {QStringLiteral("y"), y},
                  {QStringLiteral("width"), width},
                  {QStringLiteral("height"), height},
                  {QStringLiteral("cornerRadius"), cornerRadius}};
    put(o, "corners", corners);
    put(o, "cornerRadii", cornerRadii);
    return o;
}

Export::Viewport Export::Viewport::read(StrictJsonReader& r, const QJsonObject& o) {
    Viewport v;
    v.x = r.number(o, "x");
    v.y = r.number(o, "y");
    v.width = r.number(o, "width");
    v.height = r.number(o, "height");
    v.cornerRadius = r.number(o, "cornerRadius");
    v.corners = r.optionalList(o, "corners", objectsOf<Point>(r));
    v.cornerRadii = r.optionalList(o, "cornerRadii", r.numberElement());
    return v;
}

QJsonObject Export::Palette::toJson() const {
    QJsonObject o{{QStringLiteral("foreground"), foreground}, {QStringLiteral("background"), background}};
    put(o, "cursor", cursor);
    put(o, "ansi", ansi);
    return o;
}

Export::Palette Export::Palette::read(StrictJsonReader& r, const QJsonObject& o) {
    Palette p;
    p.foreground = r.text(o, "foreground");
    p.background = r.text(o, "background");
    p.cursor = r.optionalText(o, "cursor");
    p.ansi = r.optionalList(o, "ansi", r.textElement());
    return p;
}

QJsonObject Export::Button::toJson() const {
    QJsonObject o{{QStringLiteral("label"), label},
                  {QStringLiteral("x"), x},
                  {QStringLiteral("y"), y},
                  {QStringLiteral("width"), width},
                  {QStringLiteral("height"), height}};
    put(o, "shape", shape);
    put(o, "defaultPanel", defaultPanel);
    put(o, "key", key);
    return o;
}

Export::Button Export::Button::read(StrictJsonReader& r, const QJsonObject& o) {
    Button b;
    b.label = r.text(o, "label");
    b.x = r.number(o, "x");
    b.y = r.number(o, "y");
    b.width = r.number(o, "width");
    b.height = r.number(o, "height");
    b.shape = r.optionalText(o, "shape");
    b.defaultPanel = r.optionalText(o, "defaultPanel");
    b.key = r.optionalText(o, "key");
    return b;
}

QJsonObject Export::Key::toJson() const {
    QJsonObject o{{QStringLiteral("key"), key},
                  {QStringLiteral("x"), x},
                  {QStringLiteral("y"), y},
                  {QStringLiteral("width"), width},
                  {QStringLiteral("height"), height}};
    put(o, "shape", shape);
    return o;
}

Export::Key Export::Key::read(StrictJsonReader& r, const QJsonObject& o) {
    Key k;
    k.key = r.text(o, "key");
    k.x = r.number(o, "x");
    k.y = r.number(o, "y");
    k.width = r.number(o, "width");
    k.height = r.number(o, "height");
    k.shape = r.optionalText(o, "shape");
    return k;
}

QJsonObject Export::Effects::toJson() const {
    QJsonObject o;
    put(o, "scanlines", scanlines);
    put(o, "scanlineIntensity", scanlineIntensity);
    put(o, "scanlineStyle", scanlineStyle);
    put(o, "glow", glow);
    put(o, "glowIntensity", glowIntensity);
    put(o, "curvature", curvature);
    put(o, "curvatureAmount", curvatureAmount);
    return o;
}

Export::Effects Export::Effects::read(StrictJsonReader& r, const QJsonObject& o) {
    Effects e;
    e.scanlines = r.optionalFlag(o, "scanlines");
    e.scanlineIntensity = r.optionalNumber(o, "scanlineIntensity");
    e.scanlineStyle = r.optionalText(o, "scanlineStyle");
    e.glow = r.optionalFlag(o, "glow");
    e.glowIntensity = r.optionalNumber(o, "glowIntensity");
    e.curvature = r.optionalFlag(o, "curvature");
    e.curvatureAmount = r.optionalNumber(o, "curvatureAmount");
    return e;
}

QJsonObject Export::Drawer::toJson() const {
    QJsonObject o{{QStringLiteral("edge"), edge}};
    put(o, "mask", mask);
    put(o, "viewport", viewport);
    put(o, "chevron", chevron);
    put(o, "defaultWidget", defaultWidget);
    return o;
}

Export::Drawer Export::Drawer::read(StrictJsonReader& r, const QJsonObject& o) {
    Drawer d;
    d.edge = r.text(o, "edge");
    d.mask = r.optionalList(o, "mask", objectsOf<Point>(r));
    d.viewport = r.optionalObject(o, "viewport", objectOf<Viewport>(r));
    d.chevron = r.optionalObject(o, "chevron", objectOf<Viewport>(r));
    d.defaultWidget = r.optionalText(o, "defaultWidget");
    return d;
}

std::optional<QJsonObject> SkinManifestExport::encode(QString* error) const {
    QJsonObject o;
    putCommon(o, *this);
    o.insert(QStringLiteral("version"), version);
    return finiteOnly(o, error);
}

std::optional<SkinManifestExport> SkinManifestExport::decode(const QJsonObject& object, QString* error) {
    StrictJsonReader r;
    return readRecord<SkinManifestExport>(r, object, error);
}

std::optional<SkinManifestExport> SkinManifestExport::decode(const QByteArray& json, QString* error) {
    return decodeBytes<SkinManifestExport>(json, error);
}

QJsonObject SkinManifestImport::ImportPalette::toJson() const {
    QJsonObject o;
    put(o, "foreground", foreground);
    put(o, "background", background);
    put(o, "cursor", cursor);
    put(o, "ansi", ansi);
    return o;
}

SkinManifestImport::ImportPalette SkinManifestImport::ImportPalette::read(StrictJsonReader& r,
                                                                          const QJsonObject& o) {
    ImportPalette p;
    p.foreground = r.optionalText(o, "foreground");
    p.background = r.optionalText(o, "background");
    p.cursor = r.optionalText(o, "cursor");
    p.ansi = r.optionalList(o, "ansi", r.textElement());
    return p;
}

std::optional<QJsonObject> SkinManifestImport::encode(QString* error) const {
    QJsonObject o;
    putCommon(o, *this);
    put(o, "version", version);
    return finiteOnly(o, error);
}

std::optional<SkinManifestImport> SkinManifestImport::decode(const QJsonObject& object, QString* error) {
    StrictJsonReader r;
    return readRecord<SkinManifestImport>(r, object, error);
}

std::optional<SkinManifestImport> SkinManifestImport::decode(const QByteArray& json, QString* error) {
    return decodeBytes<SkinManifestImport>(json, error);
}

} // namespace Quillaby
