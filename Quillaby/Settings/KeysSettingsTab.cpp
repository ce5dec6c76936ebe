#include "Settings/KeysSettingsTab.h"

#include "Settings/SettingsStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace Quillaby {

const QList<KeysSettingsTab::Binding>& KeysSettingsTab::standardBindings() {
    // Command is Ctrl+Shift and Option is Alt here: Ctrl alone belongs to the shell. The dashes and
    // minus signs are typographic (U+2013, U+2212).
    static const QList<Binding> bindings{
        {QStringLiteral("New Window"), QStringLiteral("Ctrl+Shift+N")},
        {QStringLiteral("Close Window"), QStringLiteral("Ctrl+Shift+W")},
        {QStringLiteral("Settings"), QStringLiteral("Ctrl+Shift+,")},
        {QStringLiteral("Toggle Mini Mode"), QStringLiteral("Ctrl+Shift+M")},
        {QStringLiteral("Show / Hide from anywhere"), QStringLiteral("Alt+Space")},
        {QStringLiteral("New Tab"), QStringLiteral("Ctrl+Shift+T")},
        {QStringLiteral("Close Tab"), QStringLiteral("Ctrl+Shift+W")},
        {QStringLiteral("Switch Session"), QStringLiteral("Ctrl+Shift+1 \u2013 Ctrl+Shift+9")},
        {QStringLiteral("Next Session"), QStringLiteral("Ctrl+Tab")},
        {QStringLiteral("Previous Session"), QStringLiteral("Ctrl+Shift+Tab")},
        {QStringLiteral("Next Panel"), QStringLiteral("Ctrl+Shift+]")},
        {QStringLiteral("Previous Panel"), QStringLiteral("Ctrl+Shift+[")},
        {QStringLiteral("Clear Terminal"), QStringLiteral("Ctrl+Shift+K")},
        {QStringLiteral("Bigger Font"), QStringLiteral("Ctrl+Alt+Shift++")},
        {QStringLiteral("Smaller Font"), QStringLiteral("Ctrl+Alt+Shift+\u2212")},
        {QStringLiteral("Copy / Paste / Select All"),
         QStringLiteral("Ctrl+Shift+C / Ctrl+Shift+V / Ctrl+Shift+A")},
        {QStringLiteral("Cycle Skin"), QStringLiteral("Ctrl+Shift+L")},
        {QStringLiteral("Reload Widgets"), QStringLiteral("Ctrl+Shift+R")},
        {QStringLiteral("Bigger Device"), QStringLiteral("Ctrl+Shift++")},
        {QStringLiteral("Smaller Device"), QStringLiteral("Ctrl+Shift+\u2212")},
    };
    return bindings;
}

KeysSettingsTab::KeysSettingsTab(QList<Binding> bindings, QWidget* parent)
    : QWidget(parent)
    , _bindings(std::move(bindings)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->addWidget(
        SettingsStyle::label(QStringLiteral("Keyboard Shortcuts"), SettingsStyle::Text::Headline, this));

    auto* list = new QListWidget(this);
    list->setObjectName(QStringLiteral("bindings"));
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setFocusPolicy(Qt::NoFocus);
    list->setAlternatingRowColors(false);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    for (const Binding& binding : _bindings) {
        auto* row = new QWidget(list);
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(8, 3, 8, 3);
        auto* action = new QLabel(binding.first, row);
        action->setTextFormat(Qt::PlainText);
        action->setObjectName(QStringLiteral("action"));
        layout->addWidget(action);
        layout->addStretch(1);
        QLabel* keys = SettingsStyle::label(binding.second, SettingsStyle::Text::Body, row);
        keys->setFont(SettingsStyle::monospaced(SettingsStyle::Text::Body));
        AboutStyle::setTextColor(keys, SettingsStyle::secondary(keys->palette()));
        keys->setObjectName(QStringLiteral("keys"));
        layout->addWidget(keys);
        auto* item = new QListWidgetItem(list);
        item->setFlags(Qt::ItemIsEnabled);
        item->setSizeHint(row->sizeHint());
        list->setItemWidget(item, row);
    }
    column->addWidget(list, 1);
    column->addWidget(SettingsStyle::secondaryLabel(
        QStringLiteral("Remapping will land in a future release."), SettingsStyle::Text::Caption, this));
}

} // namespace Quillaby
