#include "Services/ChangelogParser.h"

#include "App/AppResources.h"

#include <QFile>
#include <QStringDecoder>

namespace Quillaby {

namespace {

// Blanks, tabs and the other space separators; line breaks are not white space here.
bool isBlank(QChar c) {
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

QStringView trimmedBlanks(QStringView text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.sliced(start, end - start);
}

} // namespace

QStringList ChangelogParser::parse(const QString& text) {
    QStringList notes;
    bool inSection = false;
    for (QStringView raw : QStringView(text).split(QLatin1Char('\n'))) {
        if (raw.endsWith(QLatin1Char('\r'))) raw.chop(1);
        QStringView line = trimmedBlanks(raw);
        if (line.startsWith(QLatin1String("## "))) {
            if (inSection) return notes;
            inSection = !line.toString().toLower().contains(QLatin1String("unreleased"));
            continue;
        }
        if (!inSection || !line.startsWith(QLatin1String("- "))) continue;
        QString note = line.sliced(2).toString();
        note.remove(QLatin1String("**"));
        QStringView kept = trimmedBlanks(note);
        if (!kept.isEmpty()) notes.append(kept.toString());
    }
    return notes;
}

QStringList ChangelogParser::bundledNotes() {
    std::optional<QString> folder = AppResources::bundle().resourcePath();
    if (!folder) return {};
    QFile file(*folder + QStringLiteral("/Resources/CHANGELOG.md"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(file.readAll());
    if (decoder.hasError()) return {};
    return parse(text);
}

} // namespace Quillaby
