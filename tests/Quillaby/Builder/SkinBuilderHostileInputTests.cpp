// Broken, hostile and vanishing files around the builder: each gives its error and keeps the work.
#include "BuilderFixture.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <zlib.h>

#include <functional>

using namespace Quillaby;
using namespace QuillabyTest;

namespace {

QByteArray bigEndian(quint32 value) {
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (24 - 8 * i)) & 0xFF);
    return bytes;
}

QByteArray pngChunk(const char* type, const QByteArray& data) {
    QByteArray body = QByteArray(type) + data;
    return bigEndian(quint32(data.size())) + body +
           bigEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))));
}

// A well-formed PNG header claiming a picture far too large to decode, with a few bytes of data.
QByteArray giantPng() {
    QByteArray header = bigEndian(60000) + bigEndian(60000) + QByteArray("\x08\x06\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) +
           pngChunk("IDAT", QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) + pngChunk("IEND", {});
}

QByteArray truncatedPng() {
    QImage image = devicePicture(QSize(200, 300));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes.left(bytes.size() / 3);
}

} // namespace

class HostileInput : public BuilderFixture {};

TEST_F(HostileInput, ImagesThatCannotBeDecodedKeepTheDocument) {
    prepareCoolSkin();
    const qint64 generation = model.imageGeneration();
    struct Case {
        const char* name;
        std::function<QString()> path;
    };
    const Case cases[] = {
        {"missing file", [&] { return dir.filePath("gone.png"); }},
        {"empty file",
         [&] {
             writeBytes(dir.filePath("empty.png"), {});
             return dir.filePath("empty.png");
         }},
        {"a folder",
         [&] {
             QDir().mkpath(dir.filePath("folder.png"));
             return dir.filePath("folder.png");
         }},
        {"truncated PNG",
         [&] {
             writeBytes(dir.filePath("cut.png"), truncatedPng());
             return dir.filePath("cut.png");
         }},
        {"header claims 60000 x 60000",
         [&] {
             writeBytes(dir.filePath("giant.png"), giantPng());
             return dir.filePath("giant.png");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model.loadImage(c.path());
        EXPECT_EQ(model.statusMessage(), "Failed to load image");
        EXPECT_TRUE(model.statusIsError());
        EXPECT_EQ(model.imageGeneration(), generation);
        EXPECT_EQ(model.imagePixelSize(), QSizeF(1000, 1600));
        EXPECT_EQ(model.viewport(), QRectF(101, 200, 300, 401));
    }
}

TEST_F(HostileInput, SkinFoldersThatVanishOrLieKeepTheDocument) {
    prepareCoolSkin();
    const QJsonObject skin{
        {"name", "Liar"},
        {"frame", QJsonObject{{"image", "frame@2x.png"}, {"width", 500}, {"height", 800}}},
        {"viewport", QJsonObject{{"x", 1}, {"y", 2}, {"width", 3}, {"height", 4}, {"cornerRadius", 6}}},
        {"palette", QJsonObject{}},
        {"buttons", QJsonArray{}},
    };
    struct Case {
        const char* name;
        std::function<QString()> folder;
        const char* status;
    };
    const Case cases[] = {
        {"folder removed", [&] { return dir.filePath("vanished"); }, "No skin.json in that folder."},
        {"skin.json is a folder",
         [&] {
             QDir().mkpath(dir.filePath("dir-json/skin.json"));
             return dir.filePath("dir-json");
         },
         "skin.json is malformed."},
        {"skin.json of 20 MB",
         [&] {
             writeBytes(dir.filePath("huge/skin.json"), QByteArray(20 * 1024 * 1024, ' '));
             return dir.filePath("huge");
         },
         "skin.json is malformed."},
        {"skin.json a list",
         [&] {
             writeBytes(dir.filePath("list/skin.json"), "[1, 2]");
             return dir.filePath("list");
         },
         "skin.json is malformed."},
        {"frame claims 60000 x 60000",
         [&] {
             writeBytes(dir.filePath("giant/skin.json"), QJsonDocument(skin).toJson());
             writeBytes(dir.filePath("giant/frame@2x.png"), giantPng());
             return dir.filePath("giant");
         },
         "Couldn't load frame@2x.png."},
        {"frame is a folder",
         [&] {
             writeBytes(dir.filePath("dir-png/skin.json"), QJsonDocument(skin).toJson());
             QDir().mkpath(dir.filePath("dir-png/frame@2x.png"));
             return dir.filePath("dir-png");
         },
         "Couldn't load frame@2x.png."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model.loadSkin(c.folder());
        EXPECT_EQ(model.statusMessage(), c.status);
        EXPECT_TRUE(model.statusIsError());
        EXPECT_EQ(model.skinName(), "My Cool Skin");
        EXPECT_EQ(model.imagePixelSize(), QSizeF(1000, 1600));
    }
}

TEST_F(HostileInput, InstallSurvivesVanishedFilesAndCollisions) {
    // The source image is deleted after loading: the pixels in memory are written.
    prepareCoolSkin();
    ASSERT_TRUE(QFile::remove(model.imageURL()));
    QDir(skinsDir()).removeRecursively();
    model.installSkin();
    EXPECT_EQ(model.statusMessage(), "Installed to my-cool-skin/ — applied live.");
    EXPECT_EQ(QImage(skinsDir() + "/my-cool-skin/frame@2x.png").size(), QSize(1000, 1600));
    EXPECT_EQ(reloads, 1);

    // A plain file where the skin's folder goes is neither replaced nor written through.
    model.setSkinName("Taken");
    writeBytes(skinsDir() + "/taken", "a user's file");
    model.installSkin();
    ASSERT_TRUE(model.statusMessage());
    EXPECT_TRUE(model.statusMessage()->startsWith("Install failed: "))
        << model.statusMessage()->toStdString();
    EXPECT_TRUE(model.statusIsError());
    EXPECT_EQ(readBytes(skinsDir() + "/taken"), "a user's file");

    // The skins folder itself replaced by a file.
    QDir(skinsDir()).removeRecursively();
    QDir().mkpath(QFileInfo(skinsDir()).absolutePath());
    writeBytes(skinsDir(), "not a folder");
    model.setSkinName("Elsewhere");
    model.installSkin();
    EXPECT_TRUE(model.statusMessage()->startsWith("Install failed: "));
    EXPECT_EQ(readBytes(skinsDir()), "not a folder");
    EXPECT_EQ(reloads, 1);
    QFile::remove(skinsDir());
}
