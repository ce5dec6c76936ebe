// The art shipped in the resource folder: every frame image is twice its frame's size, clear exactly
// inside the screen outline and solid on the body around it; the bundled skin.json files decode with
// the members and types the loader requires; the brand marks and icons are there at their sizes.
#include "Skins/SkinManifest.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

const QString resources = QStringLiteral(QUILLABY_SOURCE_DIR "/Quillaby/Resources");

struct Frame {
    QString image; // relative to the bundle's Skins folder
    QSizeF size;
    QRectF viewport;
    std::array<QPointF, 4> offsets{};
    std::array<double, 4> radii{};
};

// A built-in skin is defined in code; its folder holds only the art, drawn to the code's numbers.
Frame builtInFrame(const Quillaby::SkinManifest& skin) {
    Frame frame{skin.frameImageName.value_or(QString()), skin.frameSize, skin.viewportRect};
    frame.radii.fill(skin.viewportCornerRadius);
    return frame;
}

QJsonObject readManifest(const QString& folder, QString* error) {
    QFile file(resources + "/Skins/" + folder + "/skin.json");
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return {};
    }
    QJsonParseError parse;
    QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parse);
    if (!document.isObject()) {
        *error = parse.errorString();
        return {};
    }
    return document.object();
}

bool isNumber(const QJsonObject& object, const char* key) {
    return object.value(key).isDouble();
}
bool numbers(const QJsonObject& object, std::initializer_list<const char*> keys) {
    for (const char* key : keys)
        if (!isNumber(object, key)) return false;
    return true;
}

// The geometry a folder skin's skin.json gives, as the loader reads it.
Frame frameFromManifest(const QString& folder, const QJsonObject& json) {
    QJsonObject frame = json.value("frame").toObject();
    QJsonObject viewport = json.value("viewport").toObject();
    Frame out;
    out.image = folder + "/" + frame.value("image").toString();
    out.size = QSizeF(frame.value("width").toDouble(), frame.value("height").toDouble());
    out.viewport = QRectF(viewport.value("x").toDouble(), viewport.value("y").toDouble(),
                          viewport.value("width").toDouble(), viewport.value("height").toDouble());
    double radius = viewport.value("cornerRadius").toDouble(4.0);
    out.radii = {radius, radius, radius, radius};
    QJsonArray radii = viewport.value("cornerRadii").toArray();
    if (radii.size() == 4)
        for (int k = 0; k < 4; ++k)
            out.radii[k] = radii[k].toDouble();
    QJsonArray corners = viewport.value("corners").toArray();
    if (corners.size() == 4)
        for (int k = 0; k < 4; ++k)
            out.offsets[k] = QPointF(corners[k].toObject().value("x").toDouble(),
                                     corners[k].toObject().value("y").toDouble());
    return out;
}

// Checks the member types the loader is strict about; returns the first problem.
QString manifestProblem(const QJsonObject& json) {
    if (!json.value("name").isString()) return "name";
    for (const char* key : {"author", "version"})
        if (json.contains(key) && !json.value(key).isString()) return key;
    QJsonObject frame = json.value("frame").toObject();
    if (!frame.value("image").isString() || !numbers(frame, {"width", "height"})) return "frame";
    QJsonObject viewport = json.value("viewport").toObject();
    if (!numbers(viewport, {"x", "y", "width", "height", "cornerRadius"})) return "viewport";
    if (viewport.contains("corners")) {
        QJsonArray corners = viewport.value("corners").toArray();
        if (corners.size() != 4) return "viewport.corners";
        for (const QJsonValue& point : corners)
            if (!numbers(point.toObject(), {"x", "y"})) return "viewport.corners";
    }
    if (viewport.contains("cornerRadii")) {
        QJsonArray radii = viewport.value("cornerRadii").toArray();
        if (radii.size() != 4) return "viewport.cornerRadii";
        for (const QJsonValue& radius : radii)
            if (!radius.isDouble()) return "viewport.cornerRadii";
    }
    QJsonObject palette = json.value("palette").toObject();
    const QRegularExpression colour("^#[0-9A-F]{6}$");
    for (const char* key : {"foreground", "background", "cursor"}) {
        bool optional = QByteArray(key) == "cursor";
        if ((!optional || palette.contains(key)) && !colour.match(palette.value(key).toString()).hasMatch())
            return QStringLiteral("palette.%1").arg(key);
    }
    if (palette.contains("ansi") && palette.value("ansi").toArray().size() != 16) return "palette.ansi";
    if (!json.value("buttons").isArray() || json.value("buttons").toArray().size() > 4) return "buttons";
    for (const QJsonValue& button : json.value("buttons").toArray())
        if (!button.toObject().value("label").isString() ||
            !numbers(button.toObject(), {"x", "y", "width", "height"}))
            return "buttons";
    for (const QJsonValue& key : json.value("keys").toArray()) {
        QJsonObject entry = key.toObject();
        if (!entry.value("key").isString() || entry.value("key").toString().isEmpty() ||
            entry.value("key").toString() != entry.value("key").toString().toLower() ||
            !numbers(entry, {"x", "y", "width", "height"}) ||
            (entry.contains("shape") && !entry.value("shape").isString()))
            return "keys";
    }
    QJsonObject effects = json.value("effects").toObject();
    for (const char* flag : {"scanlines", "glow", "curvature"})
        if (effects.contains(flag) && !effects.value(flag).isBool())
            return QStringLiteral("effects.%1").arg(flag);
    for (const char* amount : {"scanlineIntensity", "glowIntensity", "curvatureAmount"})
        if (effects.contains(amount) && !effects.value(amount).isDouble())
            return QStringLiteral("effects.%1").arg(amount);
    if (json.contains("launchScale") && !json.value("launchScale").isDouble()) return "launchScale";
    if (json.contains("screenInFront") && !json.value("screenInFront").isBool()) return "screenInFront";
    return {};
}

int alphaAt(const QImage& image, double scale, QPointF point) {
    QPoint pixel(int(point.x() * scale), int(point.y() * scale));
    if (!image.rect().contains(pixel)) return -1;
    return qAlpha(image.pixel(pixel));
}

QPointF unit(QPointF v) {
    double l = std::hypot(v.x(), v.y());
    return l > 0 ? v / l : QPointF();
}

// Clear in the middle and just inside every rounded corner; solid just outside every corner and edge.
void checkFrame(const Frame& frame) {
    SCOPED_TRACE(frame.image.toStdString());
    QImage image(resources + "/Skins/" + frame.image);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), (frame.size * 2).toSize());
    EXPECT_TRUE(image.hasAlphaChannel());
    const double scale = image.width() / frame.size.width();

    const QRectF& r = frame.viewport;
    std::array<QPointF, 4> p{r.topLeft() + frame.offsets[0], r.topRight() + frame.offsets[1],
                             r.bottomRight() + frame.offsets[2], r.bottomLeft() + frame.offsets[3]};
    QPointF centre = (p[0] + p[1] + p[2] + p[3]) / 4;
    EXPECT_EQ(alphaAt(image, scale, centre), 0) << "centre";
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        QPointF before = p[(k + 3) % 4], after = p[(k + 1) % 4];
        QPointF u1 = unit(before - p[k]), u2 = unit(after - p[k]);
        double angle = std::acos(u1.x() * u2.x() + u1.y() * u2.y());
        double radius = std::min(frame.radii[k],
                                 0.5 * std::min(QLineF(p[k], before).length(), QLineF(p[k], after).length()));
        QPointF inward = unit(u1 + u2);
        // The arc crosses the bisector this far from the corner.
        double toArc = radius / std::sin(angle / 2) - radius;
        EXPECT_EQ(alphaAt(image, scale, p[k] + inward * (toArc + 1.5)), 0) << "inside the corner";
        EXPECT_EQ(alphaAt(image, scale, p[k] - inward * 2.5), 255) << "outside the corner";
        QPointF middle = (p[k] + after) / 2;
        QPointF outward(u2.y(), -u2.x()); // outward normal of a clockwise outline, y down
        EXPECT_EQ(alphaAt(image, scale, middle + outward * 2.5), 255) << "outside the edge";
        EXPECT_EQ(alphaAt(image, scale, middle - outward * 2.5), 0) << "inside the edge";
    }
}

} // namespace

TEST(BundledArt, BuiltInFramesHaveClearScreensInSolidBodies) {
    for (const Quillaby::SkinManifest& skin : Quillaby::SkinManifest::fallbackSkins()) {
        checkFrame(builtInFrame(skin));
        EXPECT_FALSE(QFile::exists(resources + "/Skins/" + skin.id + "/skin.json"))
            << "built-in skins are defined in code";
    }
}

TEST(BundledArt, FolderSkinsDecodeAndMatchTheirFrames) {
    QStringList folders;
    for (const QString& folder : QDir(resources + "/Skins").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (QFile::exists(resources + "/Skins/" + folder + "/skin.json")) folders.append(folder);
    ASSERT_GE(folders.size(), 2);
    bool sawQuad = false, sawPerCorner = false, sawInFront = false, sawCircleKey = false;
    for (const QString& folder : folders) {
        SCOPED_TRACE(folder.toStdString());
        QString error;
        QJsonObject json = readManifest(folder, &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        EXPECT_EQ(manifestProblem(json).toStdString(), "");
        Frame frame = frameFromManifest(folder, json);
        checkFrame(frame);
        QRectF bounds(QPointF(), frame.size);
        for (const QJsonValue& key : json.value("keys").toArray()) {
            QJsonObject entry = key.toObject();
            QRectF area(entry["x"].toDouble(), entry["y"].toDouble(), entry["width"].toDouble(),
                        entry["height"].toDouble());
            EXPECT_TRUE(bounds.contains(area)) << entry["key"].toString().toStdString();
            EXPECT_FALSE(area.intersects(frame.viewport)) << entry["key"].toString().toStdString();
            sawCircleKey |= entry["shape"].toString() == "circle";
        }
        sawQuad |= json["viewport"].toObject().contains("corners");
        sawPerCorner |= json["viewport"].toObject().contains("cornerRadii");
        sawInFront |= json["screenInFront"].toBool();
    }
    EXPECT_TRUE(sawQuad && sawPerCorner && sawInFront && sawCircleKey);
}

TEST(BundledArt, BrandMarksAndIconsAreThere) {
    for (const char* name : {"quillaby-mark.png", "quillaby-mark-dark.png"}) {
        QImage mark(resources + "/" + name);
        EXPECT_FALSE(mark.isNull()) << name;
        EXPECT_EQ(qAlpha(mark.pixel(mark.width() / 2, mark.height() / 2)), 255) << name;
    }
    for (int size : {16, 32, 48, 64, 128, 256}) {
        QImage icon(resources + QStringLiteral("/Icons/quillaby-%1.png").arg(size));
        EXPECT_EQ(icon.size(), QSize(size, size)) << size;
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255) << size;
    }
}
