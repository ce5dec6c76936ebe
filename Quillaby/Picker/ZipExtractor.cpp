#include "Picker/ZipExtractor.h"

#include <QDir>
#include <QFile>

#include <zip.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Quillaby {

namespace {

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct EntryCloser {
    void operator()(zip_file_t* entry) const { zip_fclose(entry); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;
using Entry = std::unique_ptr<zip_file_t, EntryCloser>;

ZipExtractor::Result failure(const QString& reason) {
    return ZipExtractor::Result{false, reason};
}

QString quoted(const QString& name) {
    return QStringLiteral("\"") + name + QStringLiteral("\"");
}

QString zipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

enum class Kind {
    File,
    Folder,
    Link,
    Special
};

Kind kindOf(zip_t* archive, zip_uint64_t index, const QString& name) {
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) == 0 &&
        system == ZIP_OPSYS_UNIX) {
        const mode_t type = (attributes >> 16) & S_IFMT;
        if (type == S_IFLNK) return Kind::Link;
        if (type == S_IFDIR) return Kind::Folder;
        if (type != 0 && type != S_IFREG) return Kind::Special;
    }
    return name.endsWith(QLatin1Char('/')) ? Kind::Folder : Kind::File;
}

bool writeAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

std::optional<QStringList> ZipExtractor::safeComponents(const QString& entryName) {
    if (entryName.startsWith(QLatin1Char('/'))) return std::nullopt;
    QStringList result;
    for (const QString& part : entryName.split(QLatin1Char('/'))) {
        if (part.isEmpty() || part == QStringLiteral(".")) continue;
        if (part == QStringLiteral("..")) return std::nullopt;
        result.append(part);
    }
    return result;
}

ZipExtractor::Result ZipExtractor::extract(const QString& archivePath, const QString& folder,
                                           const Limits& limits, const std::atomic<bool>* cancel) {
    auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    int openError = 0;
    Archive archive(zip_open(QFile::encodeName(archivePath).constData(), ZIP_RDONLY, &openError));
    if (!archive) return failure(QStringLiteral("cannot open the archive: ") + zipErrorText(openError));

    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count < 0) return failure(QStringLiteral("cannot list the archive"));
    if (count > limits.maxEntries)
        return failure(QStringLiteral("%1 entries, more than %2").arg(count).arg(limits.maxEntries));

    // Every entry is checked before anything is written, so a refused archive leaves no files.
    struct Planned {
        zip_uint64_t index;
        QStringList components;
        Kind kind;
    };
    std::vector<Planned> plan;
    qint64 declared = 0;
    for (zip_uint64_t i = 0; i < zip_uint64_t(count); ++i) {
        const char* rawName = zip_get_name(archive.get(), i, ZIP_FL_ENC_GUESS);
        if (!rawName) return failure(QStringLiteral("entry %1 has no name").arg(i));
        const QString name = QString::fromUtf8(rawName);
        const std::optional<QStringList> components = safeComponents(name);
        if (!components)
            return failure(QStringLiteral("entry ") + quoted(name) + QStringLiteral(" leaves the folder"));
        if (components->isEmpty()) continue; // "./" and the like
        const Kind kind = kindOf(archive.get(), i, name);
        if (kind == Kind::Link)
            return failure(QStringLiteral("entry ") + quoted(name) + QStringLiteral(" is a symbolic link"));
        if (kind == Kind::Special)
            return failure(QStringLiteral("entry ") + quoted(name) +
                           QStringLiteral(" is not a file or folder"));
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (kind == Kind::File && zip_stat_index(archive.get(), i, 0, &stat) == 0 &&
            (stat.valid & ZIP_STAT_SIZE)) {
            declared += qint64(std::min<zip_uint64_t>(stat.size, zip_uint64_t(limits.maxTotalBytes) + 1));
            if (declared > limits.maxTotalBytes)
                return failure(QStringLiteral("more than %1 bytes unpacked").arg(limits.maxTotalBytes));
        }
        plan.push_back({i, *components, kind});
    }

    const QString root = QDir(folder).absolutePath();
    QDir rootDir(root);
    qint64 total = 0;
    std::vector<char> buffer(64 * 1024);
    for (const Planned& item : plan) {
        if (cancelled()) return failure(QStringLiteral("cancelled"));
        const QString relative = item.components.join(QLatin1Char('/'));
        const QString target = root + QLatin1Char('/') + relative;
        if (item.kind == Kind::Folder) {
            if (!rootDir.mkpath(relative))
                return failure(QStringLiteral("cannot create the folder ") + quoted(relative));
            continue;
        }
        if (item.components.size() > 1) {
            const QString parent = item.components.mid(0, item.components.size() - 1).join(QLatin1Char('/'));
            if (!rootDir.mkpath(parent))
                return failure(QStringLiteral("cannot create the folder ") + quoted(parent));
        }
        Entry entry(zip_fopen_index(archive.get(), item.index, 0));
        if (!entry)
            return failure(QStringLiteral("cannot read ") + quoted(relative) + QStringLiteral(": ") +
                           QString::fromUtf8(zip_strerror(archive.get())));
        // Nothing in the folder is a link (none are made), and O_NOFOLLOW keeps it that way.
        const int fd = ::open(QFile::encodeName(target).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0)
            return failure(QStringLiteral("cannot write ") + quoted(relative) + QStringLiteral(": ") +
                           QString::fromLocal8Bit(std::strerror(errno)));
        bool ok = true;
        QString reason;
        for (;;) {
            if (cancelled()) {
                ok = false;
                reason = QStringLiteral("cancelled");
                break;
            }
            const zip_int64_t got = zip_fread(entry.get(), buffer.data(), buffer.size());
            if (got < 0) {
                ok = false;
                reason = QStringLiteral("cannot read ") + quoted(relative) + QStringLiteral(": ") +
                         QString::fromUtf8(zip_error_strerror(zip_file_get_error(entry.get())));
                break;
            }
            if (got == 0) break;
            // Sizes in the directory can lie; what is actually inflated is what counts.
            total += got;
            if (total > limits.maxTotalBytes) {
                ok = false;
                reason = QStringLiteral("more than %1 bytes unpacked").arg(limits.maxTotalBytes);
                break;
            }
            if (!writeAll(fd, buffer.data(), got)) {
                ok = false;
                reason = QStringLiteral("cannot write ") + quoted(relative) + QStringLiteral(": ") +
                         QString::fromLocal8Bit(std::strerror(errno));
                break;
            }
        }
        if (::close(fd) != 0 && ok) {
            ok = false;
            reason = QStringLiteral("cannot write ") + quoted(relative) + QStringLiteral(": ") +
                     QString::fromLocal8Bit(std::strerror(errno));
        }
        if (!ok) return failure(reason);
    }
    return Result{true, QString()};
}

} // namespace Quillaby
