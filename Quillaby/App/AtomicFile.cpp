#include "App/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Quillaby {

namespace {

// Past this many links the chain is a loop.
constexpr int maximumLinkHops = 40;

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

int writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += n;
        left -= n;
    }
    return 0;
}

} // namespace

QString AtomicFile::resolvedTarget(const QString& path) {
    QString current = path;
    for (int hop = 0; hop < maximumLinkHops; ++hop) {
        QFileInfo info(current);
        if (!info.isSymLink()) return current;
        // symLinkTarget() resolves a relative link against the link's folder.
        current = info.symLinkTarget();
    }
    return current;
}

bool AtomicFile::replace(const QString& path, const QByteArray& bytes, const QString& temporarySuffix,
                         QString* error) {
    const QString target = resolvedTarget(path);
    const QString temporary = target + temporarySuffix;
    const QByteArray targetName = QFile::encodeName(target);
    const QByteArray temporaryName = QFile::encodeName(temporary);

    mode_t mode = 0644;
    bool keepMode = false;
    struct stat info;
    if (::stat(targetName.constData(), &info) == 0) {
        mode = info.st_mode & 07777;
        keepMode = true;
    }

    // A new file gets 0644 less the umask; an existing file's bits are copied exactly, set-id bits
    // included, once the content is in.
    int fd = ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
                    keepMode ? 0600 : mode);
    int failure = fd < 0 ? errno : 0;
    if (failure == 0) {
        failure = writeAll(fd, bytes);
        if (failure == 0 && keepMode && ::fchmod(fd, mode) != 0) failure = errno;
        if (failure == 0 && ::fsync(fd) != 0) failure = errno;
        if (::close(fd) != 0 && failure == 0) failure = errno;
    }
    if (failure == 0 && std::rename(temporaryName.constData(), targetName.constData()) != 0) failure = errno;
    if (failure != 0) {
        if (fd >= 0) ::unlink(temporaryName.constData());
        if (error) *error = errorText(failure);
        return false;
    }
    return true;
}

} // namespace Quillaby
