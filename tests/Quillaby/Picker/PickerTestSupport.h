#pragma once

#include "App/AppHooks.h"
#include "App/AppPaths.h"
#include "App/AppResources.h"
#include "App/Log.h"
#include "Picker/SkinPickerModel.h"
#include "Skins/SkinLoader.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <zip.h>

#include <cstdlib>
#include <cstring>

#include <ostream>

// Readable failures: texts as texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace PickerTest {

using namespace Quillaby;

inline QByteArray skinJson(const QString& name, const QString& image = "frame@2x.png", int keys = 0) {
    QJsonArray keyList;
    for (int i = 0; i < keys; ++i)
        keyList.append(QJsonObject{
            {"key", QString(QChar('a' + i))}, {"x", 10 + i}, {"y", 300}, {"width", 8}, {"height", 8}});
    QJsonObject object{
        {"name", name},
        {"frame", QJsonObject{{"image", image}, {"width", 300}, {"height", 400}}},
        {"viewport", QJsonObject{{"x", 30}, {"y", 40}, {"width", 240}, {"height", 160}}},
        {"palette", QJsonObject{{"foreground", "#33FF66"}, {"background", "#102030"}}},
        {"buttons", QJsonArray{}},
    };
    if (keys > 0) object.insert("keys", keyList);
    return QJsonDocument(object).toJson();
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Every file and folder under a folder, relative, sorted; folders end in "/".
inline QStringList tree(const QString& folder) {
    QStringList result;
    QDir root(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        result.append(root.relativeFilePath(it.filePath()) + (it.fileInfo().isDir() ? "/" : ""));
    }
    result.sort();
    return result;
}

// One archive entry: a file with content, a folder (name ending in "/"), or a symbolic link whose
// content is its target.
struct ZipEntry {
    QString name;
    QByteArray data;
    bool symlink = false;
};

inline void writeZip(const QString& path, const QList<ZipEntry>& entries) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_TRUE(archive);
    for (const ZipEntry& entry : entries) {
        const QByteArray name = entry.name.toUtf8();
        zip_int64_t index;
        if (entry.name.endsWith('/')) {
            index = zip_dir_add(archive, name.constData(), ZIP_FL_ENC_UTF_8);
        } else {
            auto* copy = static_cast<char*>(std::malloc(size_t(entry.data.size()) + 1));
            std::memcpy(copy, entry.data.constData(), size_t(entry.data.size()));
            zip_source_t* source = zip_source_buffer(archive, copy, zip_uint64_t(entry.data.size()), 1);
            index = zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        }
        ASSERT_GE(index, 0) << zip_strerror(archive);
        if (entry.symlink)
            zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                             zip_uint32_t(S_IFLNK | 0777) << 16);
    }
    ASSERT_EQ(zip_close(archive), 0);
}

// A picker model in a clean world: an empty skins folder, no resource bundle, a private temporary
// folder, alerts answered from a script and a fixed clock.
class PickerTestBase : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(_dir.isValid());
        _savedTmp = qgetenv("TMPDIR");
        QDir().mkpath(tmp());
        qputenv("TMPDIR", tmp().toUtf8());
        AppResources::setBundleForTesting(QString());
        QDir(AppPaths::skinsDir()).removeRecursively();
        SkinLoader::shared().loadAll();
        _hooks->now = [this] { return _now; };
        _hooks->runAlert = [this](const AlertRequest& request) {
            _alerts.append(request);
            return _answers.isEmpty() ? -1 : _answers.takeFirst();
        };
    }
    void TearDown() override {
        if (_savedTmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", _savedTmp);
        AppResources::setBundleForTesting(std::nullopt);
        QDir(AppPaths::skinsDir()).removeRecursively();
        SkinLoader::shared().loadAll();
    }

    QString tmp() const { return _dir.path() + "/tmp"; }
    QString skins() const { return AppPaths::skinsDir(); }
    QString sourceSkin(const QString& folder, const QString& name) {
        const QString path = _dir.path() + "/src/" + folder;
        writeFile(path + "/skin.json", skinJson(name));
        writeFile(path + "/frame@2x.png", "png of " + name.toUtf8());
        return path;
    }

    // Runs one import to its end, the worker's unpacking included.
    void import(SkinPickerModel& model, const QString& path) {
        QSignalSpy finished(&model, &SkinPickerModel::importsFinished);
        model.importItem(path, [this](const QString& image) { _opened.append(image); });
        if (finished.isEmpty()) {
            ASSERT_TRUE(finished.wait(20000));
        }
    }

    QString status(const SkinPickerModel& model) const { return model.statusMessage().value_or("<none>"); }

    LogCapture _log;
    QTemporaryDir _dir;
    QByteArray _savedTmp;
    ScopedAppHooks _hooks;
    QDateTime _now = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    QList<AlertRequest> _alerts;
    QList<int> _answers;
    QStringList _opened;
};

} // namespace PickerTest
