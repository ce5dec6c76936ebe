#include "Settings/SettingsView.h"

#include "Services/AboutSettingsTab.h"
#include "Services/SymbolImage.h"
#include "Settings/EffectsSettingsTab.h"
#include "Settings/GeneralSettingsTab.h"
#include "Settings/HexColor.h"
#include "Settings/KeysSettingsTab.h"
#include "Settings/SettingsViewModel.h"
#include "Settings/SkinsSettingsTab.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace Quillaby {

SettingsView::SettingsView(QWidget* parent)
    : QWidget(parent)
    , _model(new SettingsViewModel(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    _tabs = new QTabWidget(this);
    _tabs->setObjectName(QStringLiteral("settingsTabs"));
    _tabs->setDocumentMode(false);
    layout->addWidget(_tabs);

    const QColor symbolColor = palette().color(QPalette::WindowText);
    auto icon = [&](SymbolImage::Symbol symbol) {
        return SymbolImage::icon(symbol, 16, symbolColor, devicePixelRatioF());
    };
    // Each page keeps a margin of its own inside the tab frame.
    auto page = [&](QWidget* content) {
        auto* holder = new QWidget(_tabs);
        auto* inset = new QVBoxLayout(holder);
        inset->setContentsMargins(16, 16, 16, 16);
        content->setParent(holder);
        inset->addWidget(content);
        return holder;
    };
    const QColor phosphor = hexColor(u"#00FF41").value_or(RgbColor::rgb(0, 1, 0.25)).toQColor();
    _tabs->addTab(page(new AboutSettingsTab(phosphor)), icon(SymbolImage::Symbol::InfoCircle),
                  QStringLiteral("About"));
    _tabs->addTab(page(new GeneralSettingsTab(*_model)), icon(SymbolImage::Symbol::Gear),
                  QStringLiteral("General"));
    _tabs->addTab(page(new SkinsSettingsTab(*_model)), icon(SymbolImage::Symbol::Paintbrush),
                  QStringLiteral("Skins"));
    _tabs->addTab(page(new EffectsSettingsTab), icon(SymbolImage::Symbol::WandAndStars),
                  QStringLiteral("Effects"));
    _tabs->addTab(page(new KeysSettingsTab(KeysSettingsTab::standardBindings())),
                  icon(SymbolImage::Symbol::Keyboard), QStringLiteral("Keys"));
}

SettingsView::~SettingsView() = default;

} // namespace Quillaby
