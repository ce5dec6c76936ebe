#include "Windows/PaletteState.h"

#include "App/KeyEquivalents.h"
#include "Skins/SkinLoader.h"
#include "Windows/DeviceWindowController.h"
#include "Windows/SessionManager.h"
#include "Windows/TerminalPanel.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace Quillaby {

namespace {

// Spaces and tabs, not line breaks.
bool isBlank(QChar c) { return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space; }

QString trimmedBlanks(const QString& text) {
    qsizetype start = 0, end = text.size();
    while (start < end && isBlank(text[start])) ++start;
    while (end > start && isBlank(text[end - 1])) --end;
    return text.mid(start, end - start);
}

// User-perceived characters: a flag or an accented letter counts once.
QStringList characters(const QString& text) {
    QStringList result;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (finder.toNextBoundary() >= 0) {
        const qsizetype end = finder.position();
        result.append(text.mid(start, end - start));
        start = end;
    }
    return result;
}

} // namespace

PaletteState::PaletteState(QObject* parent)
    : QObject(parent) {}

void PaletteState::setQuery(const QString& query) {
    if (query == _query && _selectedIndex == 0) return;
    _query = query;
    _selectedIndex = 0;
    emit changed();
}

void PaletteState::setSelectedIndex(int index) {
    if (index == _selectedIndex) return;
    _selectedIndex = index;
    emit changed();
}

void PaletteState::reload(const DeviceWindowController* anchor) {
    reload(SkinLoader::shared().skinsOrFallback(),
           anchor ? int(anchor->terminalPanel()->manager().count()) : -1);
}

void PaletteState::reload(const QList<SkinManifest>& skins, int sessionCount) {
    using Kind = PaletteEntry::Action::Kind;
    using Command = KeyEquivalents::Command;
    QList<PaletteEntry> entries;
    for (const SkinManifest& skin : skins)
        entries.append({QUuid::createUuid(), skin.name, QStringLiteral("Skin"), QStringLiteral("paintbrush.fill"),
                        {Kind::changeSkin, skin.name, 0}});
    for (int i = 0; i < sessionCount; ++i)
        entries.append({QUuid::createUuid(), QStringLiteral("Session ") + QString::number(i + 1),
                        QStringLiteral("Terminal tab"), QStringLiteral("terminal"), {Kind::switchSession, {}, i}});
    // The subtitles name the main menu's keys for the same commands; the palette binds none.
    const auto command = [&](const char* title, Command key, const char* icon, Kind kind) {
        entries.append({QUuid::createUuid(), QString::fromUtf8(title), KeyEquivalents::text(key),
                        QString::fromLatin1(icon), {kind, {}, 0}});
    };
    command("New Session", Command::newTab, "plus", Kind::newSession);
    command("Cycle Skin", Command::cycleSkin, "arrow.triangle.2.circlepath", Kind::cycleSkin);
    command("Open Skin Picker", Command::newWindow, "rectangle.stack", Kind::openSkinPicker);
    command("Settings\u2026", Command::settings, "gear", Kind::openSettings);
    _allEntries = entries;
    _selectedIndex = 0;
    emit changed();
}

QList<PaletteEntry> PaletteState::results() const {
    const QString q = trimmedBlanks(_query).toLower();
    if (q.isEmpty()) return _allEntries;
    QList<std::pair<int, PaletteEntry>> scored;
    for (const PaletteEntry& entry : _allEntries)
        if (const int score = fuzzyScore(q, entry.title.toLower()); score > 0) scored.append({score, entry});
    std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QList<PaletteEntry> results;
    for (const auto& [score, entry] : scored)
        results.append(entry);
    return results;
}

int PaletteState::fuzzyScore(const QString& query, const QString& target) {
    if (query.isEmpty()) return 0;
    if (target.startsWith(query)) return 1000;
    if (target.contains(query)) return 500;
    const QStringList wanted = characters(query);
    const QStringList title = characters(target);
    qsizetype next = 0;
    for (const QString& c : title)
        if (next < wanted.size() && c == wanted[next]) ++next;
    if (next == wanted.size()) return std::max(100, 300 - int(title.size()));
    return 0;
}

} // namespace Quillaby
