#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

namespace Quillaby {

// Unpacks a PKZip archive into a folder, refusing what could reach outside it or fill the disk: an
// entry named with an absolute path or a ".." component, a symbolic link or other special entry,
// more entries than maxEntries, or more than maxTotalBytes of content in all. A refusal or a read
// failure stops at once; what was written so far stays for the caller to remove with its folder.
// Safe to run on any thread: it touches nothing but the archive and the folder.
class ZipExtractor {
public:
    struct Limits {
        qint64 maxEntries = 10000;
        qint64 maxTotalBytes = qint64(256) << 20;
    };

    struct Result {
        bool ok = false;
        // Why it failed, for the log.
        QString reason;
    };

    // The folder must exist. `cancel`, when given and set, stops the work between chunks.
    static Result extract(const QString& archive, const QString& folder, const Limits& limits,
                          const std::atomic<bool>* cancel = nullptr);

    // The entry's path split into folder names and a last name, "." and empty components dropped (an
    // empty list: the name names nothing); none when the name is absolute or has a ".." component.
    static std::optional<QStringList> safeComponents(const QString& entryName);
};

} // namespace Quillaby
