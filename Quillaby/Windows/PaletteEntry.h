#pragma once

#include <QString>
#include <QUuid>

namespace Quillaby {

// One row of the command palette and what choosing it does.
struct PaletteEntry {
    struct Action {
        enum class Kind {
            changeSkin,
            switchSession,
            newSession,
            cycleSkin,
            openSkinPicker,
            openSettings
        };
        Kind kind = Kind::newSession;
        // changeSkin: the skin's display name.
        QString skinName;
        // switchSession: the session's index, from 0.
        int sessionIndex = 0;

        bool operator==(const Action&) const = default;
    };

    // New for every entry each time the list is built.
    QUuid id = QUuid::createUuid();
    // The only text the search matches.
    QString title;
    QString subtitle;
    // The symbol's name, as the view knows it ("terminal", "gear", ...).
    QString icon;
    Action action;
};

} // namespace Quillaby
