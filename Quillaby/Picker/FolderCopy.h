#pragma once

#include <QString>

namespace Quillaby {

// Whole-folder file work for installing and removing skins. Every operation reports a failure as a
// short sentence for the status line ("couldn't copy “frame.png”: Permission denied").
class FolderCopy {
public:
    // Copies the folder and everything in it to `destination`, which must not exist yet. Symbolic
    // links are copied as links (never followed); anything that is neither a file, a folder nor a link
    // fails the copy. On failure the partial copy is removed.
    static bool copyTree(const QString& source, const QString& destination, QString* error);

    // Installs `source` at `destination` without ever losing what was there: the copy is made in a
    // hidden work folder beside the destination's parent folder (`workParent`, same file system) and
    // then swapped in by renames; the old folder is removed only once the new one is in place. When
    // anything fails the destination is as it was.
    static bool install(const QString& source, const QString& destination, const QString& workParent,
                        QString* error);

    // Creates the folder with any missing parents (an existing folder is fine).
    static bool makePath(const QString& path, QString* error);
    // Copies one file to a path that must not exist yet.
    static bool copyFile(const QString& source, const QString& destination, QString* error);

    // Removes the folder and everything in it; links inside are removed, not followed.
    static bool removeTree(const QString& path, QString* error);

    // True when `inner` is `outer` or lies inside it, after resolving links of both that exist.
    static bool isSameOrInside(const QString& inner, const QString& outer);
};

} // namespace Quillaby
