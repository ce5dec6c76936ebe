#include "Settings/KeysSettingsTab.h"

#include "App/KeyEquivalents.h"
#include "Settings/SettingsStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace Quillaby {

const QList<KeysSettingsTab::Binding>& KeysSettingsTab::standardBindings() {
    // The keys the application binds come from KeyEquivalents; the rest are described only. The dash
    // is typographic (U+2013).
    using C = KeyEquivalents::Command;
    const auto keys = [](C c) { return KeyEquivalents::text(c); };
    static const QList<Binding> bindings{
        {QStringLiteral("New Window"), keys(C::newWindow)},
        {QStringLiteral("Close Window"), keys(C::closeWindow)},
        {QStringLiteral("Settings"), keys(C::settings)},
        {QStringLiteral("Toggle Mini Mode"), keys(C::miniMode)},
        {QStringLiteral("Show / Hide from anywhere"), QStringLiteral("Alt+Space")},
        {QStringLiteral("New Tab"), keys(C::newTab)},
        {QStringLiteral("Close Tab"), keys(C::closeTab)},
        {QStringLiteral("Switch Session"), QStringLiteral("Ctrl+Shift+1 \u2013 Ctrl+Shift+9")},
        {QStringLiteral("Next Session"), keys(C::cycleSession)},
        {QStringLiteral("Previous Session"), QStringLiteral("Ctrl+Shift+Tab")},
        {QStringLiteral("Next Panel"), QStringLiteral("Ctrl+Shift+]")},
        {QStringLiteral("Previous Panel"), QStringLiteral("Ctrl+Shift+[")},
        {QStringLiteral("Clear Terminal"), keys(C::clearTerminal)},
        {QStringLiteral("Bigger Font"), keys(C::fontBigger)},
        {QStringLiteral("Smaller Font"), keys(C::fontSmaller)},
        {QStringLiteral("Copy / Paste / Select All"),
         keys(C::copy) + QStringLiteral(" / ") + keys(C::paste) + QStringLiteral(" / ") + keys(C::selectAll)},
        {QStringLiteral("Cycle Skin"), keys(C::cycleSkin)},
        {QStringLiteral("Reload Widgets"), QStringLiteral("Ctrl+Shift+R")},
        {QStringLiteral("Bigger Device"), keys(C::deviceBigger)},
        {QStringLiteral("Smaller Device"), keys(C::deviceSmaller)},
        {QStringLiteral("Command Palette"), keys(C::commandPalette)},
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
