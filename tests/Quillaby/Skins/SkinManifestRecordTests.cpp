#include "Skins/SkinManifestExport.h"
#include "Skins/SkinManifestImport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace Quillaby;

namespace {

SkinManifestExport minimalExport() {
    SkinManifestExport record;
    record.name = QStringLiteral("Retro");
    record.version = QStringLiteral("1.0");
    record.frame = {QStringLiteral("frame@2x.png"), 400, 600};
    record.viewport.x = 40;
    record.viewport.y = 50;
    record.viewport.width = 320;
    record.viewport.height = 200;
    record.viewport.cornerRadius = 6;
    record.palette.foreground = QStringLiteral("#33FF66");
    record.palette.background = QStringLiteral("#000000");
    return record;
}

QJsonObject importable() {
    return QJsonObject{
        {"name", "Retro"},
        {"frame", QJsonObject{{"image", "frame@2x.png"}, {"width", 400}, {"height", 600}}},
        {"viewport", QJsonObject{{"x", 40}, {"y", 50}, {"width", 320}, {"height", 200}, {"cornerRadius", 6}}},
        {"palette", QJsonObject{{"foreground", "#33FF66"}, {"background", "#000000"}}},
        {"buttons", QJsonArray{}},
    };
}

QJsonObject point(double x, double y) {
    return QJsonObject{{"x", x}, {"y", y}};
}

} // namespace

TEST(SkinManifestExport, TheMinimalRecordWritesExactlyItsRequiredMembers) {
    const QJsonObject json = *minimalExport().encode();
    EXPECT_EQ(json,
              (QJsonObject{
                  {"name", "Retro"},
                  {"version", "1.0"},
                  {"frame", QJsonObject{{"image", "frame@2x.png"}, {"width", 400}, {"height", 600}}},
                  {"viewport",
                   QJsonObject{{"x", 40}, {"y", 50}, {"width", 320}, {"height", 200}, {"cornerRadius", 6}}},
                  {"palette", QJsonObject{{"foreground", "#33FF66"}, {"background", "#000000"}}},
                  {"buttons", QJsonArray{}},
              }));
    // The builder's file: pretty-printed, keys sorted.
    const QByteArray text = QJsonDocument(json).toJson();
    EXPECT_LT(text.indexOf("\"buttons\""), text.indexOf("\"frame\""));
    EXPECT_LT(text.indexOf("\"palette\""), text.indexOf("\"version\""));
}

TEST(SkinManifestExport, OptionalMembersAreWrittenOnlyWhenPresentAndNeverComparedWithDefaults) {
    SkinManifestExport record = minimalExport();
    record.name = QString();
    record.author = QString();
    record.launchScale = 1.0;
    record.screenInFront = false;
    record.effects = SkinManifestExport::Effects{};
    record.buttons = {
        {QStringLiteral("MENU"), 1, 2, 3, 4, std::nullopt, QStringLiteral("terminal"), std::nullopt}};
    record.drawer = SkinManifestExport::Drawer{
        QStringLiteral("left"), QList<SkinManifestExport::Point>{{1, 2, QList<double>{3, 4}, std::nullopt}},
        std::nullopt, std::nullopt, std::nullopt};
    const QJsonObject json = *record.encode();
    EXPECT_EQ(json.value("name"), QJsonValue(""));
    EXPECT_EQ(json.value("author"), QJsonValue(""));
    EXPECT_EQ(json.value("launchScale"), QJsonValue(1));
    EXPECT_EQ(json.value("screenInFront"), QJsonValue(false));
    EXPECT_EQ(json.value("effects"), QJsonValue(QJsonObject{}));
    EXPECT_FALSE(json.contains("keys"));
    EXPECT_EQ(json.value("buttons")[0].toObject(), (QJsonObject{{"label", "MENU"},
                                                                {"x", 1},
                                                                {"y", 2},
                                                                {"width", 3},
                                                                {"height", 4},
                                                                {"defaultPanel", "terminal"}}));
    EXPECT_EQ(json.value("drawer").toObject(),
              (QJsonObject{{"edge", "left"},
                           {"mask", QJsonArray{QJsonObject{{"x", 1}, {"y", 2}, {"hi", QJsonArray{3, 4}}}}}}));
}

TEST(SkinManifestExport, ANumberThatIsNotFiniteFailsTheEncode) {
    struct Case {
        const char* name;
        std::function<void(SkinManifestExport&)> edit;
        const char* place;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"frame width", [&](SkinManifestExport& r) { r.frame.width = inf; }, "\"frame\".\"width\""},
        {"launch scale", [&](SkinManifestExport& r) { r.launchScale = nan; }, "\"launchScale\""},
        {"a radius",
         [&](SkinManifestExport& r) {
             r.viewport.cornerRadii = QList<double>{1, 2, -inf, 4};
         },
         "\"viewport\".\"cornerRadii\"[2]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SkinManifestExport record = minimalExport();
        c.edit(record);
        QString error;
        EXPECT_FALSE(record.encode(&error).has_value());
        EXPECT_EQ(error, QString::fromLatin1(c.place) + QStringLiteral(": the number is not finite"));
    }
}

TEST(SkinManifestImport, AnyFailureAnywhereFailsTheWholeImport) {
    struct Case {
        const char* name;
        std::function<void(QJsonObject&)> edit;
    };
    auto setIn = [](QJsonObject& o, const char* outer, const char* key, const QJsonValue& value) {
        QJsonObject inner = o.value(outer).toObject();
        if (value.isUndefined())
            inner.remove(key);
        else
            inner.insert(key, value);
        o.insert(outer, inner);
    };
    const Case cases[] = {
        {"no buttons", [](QJsonObject& o) { o.remove("buttons"); }},
        {"no palette", [](QJsonObject& o) { o.remove("palette"); }},
        {"viewport without corner radius",
         [&](QJsonObject& o) { setIn(o, "viewport", "cornerRadius", QJsonValue::Undefined); }},
        {"version a number", [](QJsonObject& o) { o.insert("version", 1); }},
        {"null name", [](QJsonObject& o) { o.insert("name", QJsonValue::Null); }},
        {"Name for name", [](QJsonObject& o) { o.insert("Name", o.take("name")); }},
        {"drawer without edge",
         [](QJsonObject& o) {
             o.insert("drawer", QJsonObject{{"defaultWidget", "clock"}});
         }},
        {"launch scale as text", [](QJsonObject& o) { o.insert("launchScale", "1"); }},
        {"a flag as 1", [](QJsonObject& o) { o.insert("screenInFront", 1); }},
        {"deep in a drawer",
         [](QJsonObject& o) {
             o.insert("drawer",
                      QJsonObject{{"edge", "top"},
                                  {"chevron", QJsonObject{{"x", 1}, {"y", 1}, {"width", 1}, {"height", 1}}}});
         }},
        {"one bad handle",
         [](QJsonObject& o) {
             o.insert(
                 "drawer",
                 QJsonObject{{"edge", "top"},
                             {"mask", QJsonArray{point(1, 2),
                                                 QJsonObject{{"x", 1}, {"y", 2}, {"ho", QJsonArray{"a"}}}}}});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject object = importable();
        c.edit(object);
        QString error;
        EXPECT_FALSE(SkinManifestImport::decode(object, &error).has_value());
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_FALSE(SkinManifestImport::decode(QByteArray("not json")).has_value());
}

TEST(SkinManifestImport, TakesWhatThereIsUnchangedAndLeavesAbsentWhatIsMissing) {
    QJsonObject object = importable();
    object.insert("palette", QJsonObject{});
    object.insert("author", QJsonValue::Null);
    object.insert("category", "handheld");
    object.insert("colorGrade", 3);
    object.insert("launchScale", 12);
    QJsonObject viewport = object.value("viewport").toObject();
    viewport.insert("x", 12.5);
    viewport.insert("corners", QJsonArray{point(1, 1), point(2, 2), point(3, 3)});
    object.insert("viewport", viewport);
    object.insert("drawer",
                  QJsonObject{{"edge", "Side"},
                              {"mask", QJsonArray{QJsonObject{{"x", 1}, {"y", 2}, {"hi", QJsonArray{9}}}}}});
    object.insert("keys",
                  QJsonArray{QJsonObject{{"key", "A"}, {"x", 1}, {"y", 2}, {"width", 3}, {"height", 4}}});

    QString error;
    const std::optional<SkinManifestImport> record = SkinManifestImport::decode(object, &error);
    ASSERT_TRUE(record.has_value()) << error.toStdString();
    EXPECT_FALSE(record->version.has_value());
    EXPECT_FALSE(record->author.has_value());
    EXPECT_FALSE(record->palette.foreground.has_value());
    EXPECT_FALSE(record->palette.background.has_value());
    EXPECT_FALSE(record->palette.cursor.has_value());
    EXPECT_FALSE(record->palette.ansi.has_value());
    EXPECT_EQ(record->launchScale, 12.0);
    EXPECT_EQ(record->viewport.x, 12.5);
    EXPECT_EQ(record->viewport.corners->size(), 3);
    EXPECT_EQ(record->drawer->edge, QStringLiteral("Side"));
    EXPECT_EQ(record->drawer->mask->at(0).hi, QList<double>{9});
    EXPECT_EQ(record->keys->at(0).key, QStringLiteral("A"));
    EXPECT_FALSE(record->effects.has_value());
    EXPECT_FALSE(record->screenInFront.has_value());
}

TEST(SkinManifestImport, ReadsBackWhatTheExportWrote) {
    SkinManifestExport record = minimalExport();
    record.author = QStringLiteral("me");
    record.palette.cursor = QStringLiteral("#FFFFFF");
    record.palette.ansi = QList<QString>(16, QStringLiteral("#101010"));
    record.viewport.corners =
        QList<SkinManifestExport::Point>{{1, 2, {}, {}}, {3, 4, {}, {}}, {5, 6, {}, {}}, {7, 8, {}, {}}};
    record.keys =
        QList<SkinManifestExport::Key>{{QStringLiteral("tab"), 1, 2, 3, 4, QStringLiteral("circle")}};
    record.effects = SkinManifestExport::Effects{
        true, 0.3, QStringLiteral("heavy"), std::nullopt, std::nullopt, true, 0.2};
    record.launchScale = 0.8;
    record.screenInFront = true;
    const QByteArray file = QJsonDocument(*record.encode()).toJson();

    const std::optional<SkinManifestImport> imported = SkinManifestImport::decode(file);
    ASSERT_TRUE(imported.has_value());
    EXPECT_EQ(imported->version, QStringLiteral("1.0"));
    EXPECT_EQ(imported->author, QStringLiteral("me"));
    EXPECT_EQ(imported->palette.cursor, QStringLiteral("#FFFFFF"));
    EXPECT_EQ(imported->palette.ansi->size(), 16);
    EXPECT_EQ(imported->viewport.corners->at(3).y, 8.0);
    EXPECT_EQ(imported->keys->at(0).shape, QStringLiteral("circle"));
    EXPECT_EQ(imported->effects->scanlineStyle, QStringLiteral("heavy"));
    EXPECT_FALSE(imported->effects->glow.has_value());
    EXPECT_EQ(imported->launchScale, 0.8);
    EXPECT_EQ(imported->screenInFront, true);
    // The import encodes by the same rules, so the file survives a round trip unchanged.
    EXPECT_EQ(*imported->encode(), *record.encode());

    // Decoding as an export record needs the version and both colours.
    EXPECT_TRUE(SkinManifestExport::decode(file).has_value());
    QJsonObject noVersion = QJsonDocument::fromJson(file).object();
    noVersion.remove("version");
    EXPECT_FALSE(SkinManifestExport::decode(noVersion).has_value());
    EXPECT_TRUE(SkinManifestImport::decode(noVersion).has_value());
}
