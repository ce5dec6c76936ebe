#pragma once

#include "Skins/SkinManifest.h"
#include "Windows/PaletteEntry.h"

#include <QList>
#include <QObject>
#include <QString>

namespace Quillaby {

class DeviceWindowController;

// The command palette's list, query and highlighted row, with the filtering and scoring. changed() is
// emitted whenever one of the three changes.
class PaletteState : public QObject {
    Q_OBJECT
public:
    explicit PaletteState(QObject* parent = nullptr);

    const QString& query() const { return _query; }
    // A new query highlights the first result again.
    void setQuery(const QString& query);
    const QList<PaletteEntry>& allEntries() const { return _allEntries; }
    // Index into results(); may be -1 after Down on an empty list.
    int selectedIndex() const { return _selectedIndex; }
    void setSelectedIndex(int index);

    // The skins (the loader's list, or the two built-in ones), the anchor's sessions and four commands.
    void reload(const DeviceWindowController* anchor);
    // The same from its parts; a session count below 0 stands for no anchor.
    void reload(const QList<SkinManifest>& skins, int sessionCount);

    // Every entry for an empty query; otherwise the entries that match, best first, ties in list order.
    QList<PaletteEntry> results() const;

    // On lower-cased texts: 1000 for a prefix, 500 for a piece inside, 300 less the title's length (at
    // least 100) for the query's characters in order, else 0.
    static int fuzzyScore(const QString& query, const QString& target);

signals:
    void changed();

private:
    QString _query;
    QList<PaletteEntry> _allEntries;
    int _selectedIndex = 0;
};

} // namespace Quillaby
