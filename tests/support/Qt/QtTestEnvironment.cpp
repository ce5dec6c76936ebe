#include "QtTestEnvironment.h"

#include <QByteArray>
#include <QDir>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace QuillabyTest {

namespace {
QString& homePath() {
    static QString path;
    return path;
}
} // namespace

QString testHome() { return homePath(); }

void prepareQtTestProcess(const char* platform) {
    std::string tmpl = (QDir::tempPath() + "/quillaby-test-XXXXXX").toStdString();
    if (char* made = mkdtemp(tmpl.data())) {
        homePath() = QString::fromLocal8Bit(made);
        QDir(homePath()).mkpath(".local/share");
        QDir(homePath()).mkpath(".config");
        QDir(homePath()).mkpath("runtime");
        setenv("HOME", made, 1);
        setenv("XDG_DATA_HOME", (tmpl + "/.local/share").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (tmpl + "/.config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (tmpl + "/runtime").c_str(), 1);
        chmod((tmpl + "/runtime").c_str(), 0700);
    }
    setenv("QT_QPA_PLATFORM", platform, 1);
}

} // namespace QuillabyTest
