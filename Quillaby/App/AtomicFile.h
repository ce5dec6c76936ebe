#pragma once

#include <QByteArray>
#include <QString>

namespace Quillaby {

// Replacing a file in one step, so a reader or a crash sees the old content or the new, never a part.
class AtomicFile {
public:
    // Writes the bytes to "<target><temporarySuffix>" beside the file, flushes them to disk and renames
    // that over the file. A symbolic link at the path is followed (the link stays, its target gets the
    // content), and the file keeps its permission bits; a new file gets 0644 less the umask. On failure
    // the temporary file is removed, the file is left as it was, and false is returned with the reason.
    static bool replace(const QString& path, const QByteArray& bytes, const QString& temporarySuffix,
                        QString* error = nullptr);

    // The file a chain of symbolic links at the path ends at (the path itself when it is no link); a
    // relative link is read from the link's own folder.
    static QString resolvedTarget(const QString& path);
};

} // namespace Quillaby
