#include "Settings/SettingsStore.h"

#include "App/AppHooks.h"
#include "App/AppPaths.h"
#include "App/Log.h"
#include "App/NotificationCenter.h"
#include "Settings/HexColor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace Quillaby {

namespace {

const QString zsh = QStringLiteral("/bin/zsh");

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The file's bytes, nothing when there is no file, or the errno of a file that is there but unreadable.
struct ReadResult {
    enum class Kind {
        Missing,
        Read,
        Unreadable
    } kind = Kind::Missing;
    QByteArray bytes;
    int error = 0;
};

ReadResult readWholeFile(const QString& path) {
    ReadResult result;
    int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.kind = errno == ENOENT ? ReadResult::Kind::Missing : ReadResult::Kind::Unreadable;
        result.error = errno;
        return result;
    }
    struct stat info;
    if (::fstat(fd, &info) == 0 && !S_ISREG(info.st_mode)) {
        ::close(fd);
        result.kind = ReadResult::Kind::Unreadable;
        result.error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return result;
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            result.bytes.append(buffer, n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            result.kind = ReadResult::Kind::Unreadable;
            result.error = errno;
            ::close(fd);
            return result;
        }
    }
    ::close(fd);
    result.kind = ReadResult::Kind::Read;
    return result;
}

// Writes all bytes to a new file and flushes them to disk; the errno on failure.
int writeDurably(const QString& path, const QByteArray& bytes) {
    int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return errno;
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            int error = errno;
            ::close(fd);
            return error;
        }
        data += n;
        left -= n;
    }
    if (::fsync(fd) != 0) {
        int error = errno;
        ::close(fd);
        return error;
    }
    if (::close(fd) != 0) return errno;
    return 0;
}

// The rename itself is made durable by flushing the folder; a failure there loses nothing.
void syncFolder(const QString& folder) {
    int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

SkinEffectsSettings finiteEffects(SkinEffectsSettings effects) {
    const SkinEffectsSettings defaults;
    if (!std::isfinite(effects.scanlineIntensity)) effects.scanlineIntensity = defaults.scanlineIntensity;
    if (!std::isfinite(effects.glowIntensity)) effects.glowIntensity = defaults.glowIntensity;
    if (!std::isfinite(effects.curvatureAmount)) effects.curvatureAmount = defaults.curvatureAmount;
    return effects;
}

WindowState finiteWindow(WindowState window) {
    for (double* value : {&window.x, &window.y, &window.width, &window.height}) {
        if (!std::isfinite(*value)) *value = 0;
    }
    return window;
}

void post(const QString& name, const QVariant& object = QVariant()) {
    NotificationCenter::defaultCenter().post(name, object);
}

} // namespace

double SettingsStore::clampedFontSize(double size) {
    return std::clamp(size, minimumFontSize, maximumFontSize);
}

SettingsStore& SettingsStore::shared() {
    static SettingsStore store(AppPaths::settingsFile());
    return store;
}

SettingsStore::SettingsStore(QString settingsFile)
    : _settingsFile(std::move(settingsFile)) {
    QDir().mkpath(QFileInfo(_settingsFile).absolutePath());
    load();
    migrate();
}

void SettingsStore::load() {
    ReadResult read = readWholeFile(_settingsFile);
    switch (read.kind) {
    case ReadResult::Kind::Missing:
        return;
    case ReadResult::Kind::Unreadable:
        _mayOverwrite = false;
        Log::write(
            QStringLiteral("settings.json could not be read (%1) — starting from defaults; it will not be "
                           "overwritten")
                .arg(errorText(read.error)));
        return;
    case ReadResult::Kind::Read:
        break;
    }
    if (std::optional<SettingsData> data = SettingsData::decode(read.bytes)) {
        _data = *data;
        // Sizes outside what the controls offer would give an unusable terminal.
        _data.fontSize = clampedFontSize(_data.fontSize);
        return;
    }
    const QString backupName = QStringLiteral("settings.json.corrupt-") +
                               QString::number(AppHooks::current().now().toSecsSinceEpoch());
    const QString backup = QFileInfo(_settingsFile).absolutePath() + QLatin1Char('/') + backupName;
    if (int error = writeDurably(backup, read.bytes)) {
        // Without a copy the next save would destroy the only one.
        _mayOverwrite = false;
        Log::write(
            QStringLiteral("settings.json could not be decoded and could not be backed up to %1 (%2) — "
                           "starting from defaults; it will not be overwritten")
                .arg(backupName, errorText(error)));
        return;
    }
    Log::write(QStringLiteral("settings.json could not be decoded — backed up to ") + backupName +
               QStringLiteral("; starting from defaults"));
}

void SettingsStore::migrate() {
    if (_data.defaultShell == zsh) {
        QString detected = detectLoginShell();
        if (detected != zsh) {
            _data.defaultShell = detected;
            save();
        }
    }
    if (_data.fontName == QStringLiteral("JetBrains Mono")) {
        _data.fontName = QStringLiteral("JetBrainsMono NF");
        save();
    }
}

void SettingsStore::save() {
    if (!_mayOverwrite) return;
    const QString temporary = _settingsFile + QStringLiteral(".tmp");
    QString folder = QFileInfo(_settingsFile).absolutePath();
    QDir().mkpath(folder);
    int error = writeDurably(temporary, _data.encode());
    if (error == 0 && std::rename(QFile::encodeName(temporary).constData(),
                                  QFile::encodeName(_settingsFile).constData()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(QFile::encodeName(temporary).constData());
        Log::write(QStringLiteral("Failed to save settings: ") + errorText(error));
        return;
    }
    syncFolder(folder);
}

void SettingsStore::setFontName(const QString& name) {
    if (name == _data.fontName) return;
    _data.fontName = name;
    save();
    post(fontDidChange);
}

void SettingsStore::setFontSize(double size) {
    if (!std::isfinite(size)) return;
    size = clampedFontSize(size);
    if (size == _data.fontSize) return;
    _data.fontSize = size;
    save();
    post(fontDidChange);
}

QString SettingsStore::defaultShell() const {
    return _data.defaultShell.isEmpty() ? detectLoginShell() : _data.defaultShell;
}

void SettingsStore::setDefaultShell(const QString& shell) {
    if (shell == defaultShell()) return;
    _data.defaultShell = shell;
    save();
}

void SettingsStore::setDefaultSkin(const QString& name) {
    if (name == _data.defaultSkin) return;
    _data.defaultSkin = name;
    save();
}

void SettingsStore::setRestoreWindows(bool restore) {
    if (restore == _data.restoreWindows) return;
    _data.restoreWindows = restore;
    save();
}

void SettingsStore::setHasLaunchedBefore(bool launched) {
    _data.hasLaunchedBefore = launched;
    save();
}

void SettingsStore::setLastWindows(const QList<WindowState>& windows) {
    _data.lastWindows.clear();
    for (const WindowState& window : windows)
        _data.lastWindows.append(finiteWindow(window));
    save();
}

void SettingsStore::setSkinEffects(const QMap<QString, SkinEffectsSettings>& effects) {
    _data.skinEffects.clear();
    for (auto it = effects.begin(); it != effects.end(); ++it)
        _data.skinEffects.insert(it.key(), finiteEffects(it.value()));
    save();
}

void SettingsStore::setCursorOverrides(const QMap<QString, QString>& overrides) {
    _data.cursorOverrides = overrides;
    save();
}

void SettingsStore::setPaletteOverrides(const QMap<QString, QString>& overrides) {
    _data.paletteOverrides = overrides;
    save();
}

SkinEffectsSettings SettingsStore::effects(const QString& skinName) const {
    return _data.skinEffects.value(skinName, SkinEffectsSettings());
}

void SettingsStore::setCursorOverride(const std::optional<RgbColor>& color, const QString& skinName) {
    if (!color) {
        _data.cursorOverrides.remove(skinName);
    } else {
        if (!color->isFinite()) {
            Log::write(QStringLiteral("Could not convert cursor color to sRGB — skipping save"));
            return;
        }
        _data.cursorOverrides.insert(skinName, hexString(*color));
    }
    save();
    post(paletteDidChange, skinName);
}

int SettingsStore::prunePaletteOverrides(const QSet<QString>& validPaletteIds) {
    int removed =
        int(_data.paletteOverrides.removeIf([&](auto it) { return !validPaletteIds.contains(it.value()); }));
    if (removed > 0) save();
    return removed;
}

void SettingsStore::resetAll() {
    _data = SettingsData();
    save();
    post(didReset);
    post(fontDidChange);
    post(paletteDidChange);
    post(effectsDidChange);
}

QString SettingsStore::loginShellFrom(const QString& passwordShell, const QString& environmentShell) {
    if (!passwordShell.isEmpty()) return passwordShell;
    if (!environmentShell.isEmpty()) return environmentShell;
    return zsh;
}

QString SettingsStore::detectLoginShell() {
    QString passwordShell;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_shell) {
        passwordShell = QString::fromLocal8Bit(entry->pw_shell);
    }
    return loginShellFrom(passwordShell, qEnvironmentVariable("SHELL"));
}

} // namespace Quillaby
