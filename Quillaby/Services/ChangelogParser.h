#pragma once

#include <QString>
#include <QStringList>

namespace Quillaby {

// The release notes of the change log shipped in the resource folder: the bullets ("- ") of its newest
// section ("## ") whose heading does not say "unreleased".
class ChangelogParser {
public:
    // Bold markers are removed and blank bullets dropped; bullets written with "*" or "+", paragraphs
    // and headings of other levels are ignored. Lines may end in LF or CRLF.
    static QStringList parse(const QString& text);

    // parse() of "Resources/CHANGELOG.md" in the resource folder, read anew at every call; empty when
    // there is no resource folder or the file is missing or not UTF-8.
    static QStringList bundledNotes();
};

} // namespace Quillaby
