#include "Settings/SkinsSettingsTab.h"

#include "App/AppDelegate.h"
#include "App/AppHooks.h"
#include "App/AppPaths.h"
#include "Settings/SettingsStore.h"
#include "Settings/SettingsStyle.h"
#include "Settings/SettingsViewModel.h"
#include "Skins/SkinLoader.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>

#include <cmath>

namespace Quillaby {

namespace {

const QColor orange(255, 149, 0);
const QColor blue(0, 122, 255);
const QColor green(52, 199, 89);

QColor faded(QColor color, float alpha) {
    color.setAlphaF(alpha);
    return color;
}

// A word on a tinted rounded rectangle.
QLabel* tag(const QString& text, const QFont& font, const QColor& color, int horizontalInset,
            int verticalInset, int radius, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border-radius: %3px;"
                                        " padding: %4px %5px; }")
                             .arg(AboutStyle::css(color), AboutStyle::css(faded(color, 0.15f)))
                             .arg(radius)
                             .arg(verticalInset)
                             .arg(horizontalInset));
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return label;
}

QLabel* dot(const QColor& color, qreal devicePixelRatio, QWidget* parent) {
    const int pixels = int(std::ceil(10 * devicePixelRatio));
    QPixmap image(pixels, pixels);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(QRectF(0, 0, pixels, pixels));
    }
    image.setDevicePixelRatio(devicePixelRatio);
    auto* label = new QLabel(parent);
    label->setPixmap(image);
    label->setFixedSize(10, 10);
    return label;
}

} // namespace

SkinsSettingsTab::Badge SkinsSettingsTab::originBadge(const SkinManifest& skin) {
    if (!skin.frameImageName) return {QStringLiteral("FALLBACK"), orange};
    if (skin.frameImageName->startsWith(QLatin1Char('/'))) return {QStringLiteral("ON DISK"), blue};
    return {QStringLiteral("BUILT-IN"), std::nullopt};
}

QString SkinsSettingsTab::frameSizeText(const QSizeF& frameSize) {
    auto whole = [](double value) { return std::isfinite(value) ? qint64(value) : 0; };
    return QStringLiteral("%1 \u00D7 %2").arg(whole(frameSize.width())).arg(whole(frameSize.height()));
}

QList<SkinManifest> SkinsSettingsTab::listedSkins() {
    return SkinLoader::shared().skinsOrFallback();
}

SkinsSettingsTab::SkinsSettingsTab(SettingsViewModel& model, QWidget* parent)
    : QWidget(parent)
    , _model(model) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(
        SettingsStyle::label(QStringLiteral("Installed Skins"), SettingsStyle::Text::Headline, this));
    header->addStretch(1);
    QPushButton* reload = SettingsStyle::smallButton(QStringLiteral("Reload"), this);
    reload->setObjectName(QStringLiteral("reload"));
    connect(reload, &QPushButton::clicked, this, &SkinsSettingsTab::reloadSkins);
    header->addWidget(reload);
    QPushButton* openFolder = SettingsStyle::smallButton(QStringLiteral("Open Skins Folder"), this);
    openFolder->setObjectName(QStringLiteral("openSkinsFolder"));
    connect(openFolder, &QPushButton::clicked, this, &SkinsSettingsTab::openSkinsFolder);
    header->addWidget(openFolder);
    column->addLayout(header);

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("skinList"));
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    _rows = new QWidget(scroll);
    _rows->setBackgroundRole(QPalette::Base);
    _rowsLayout = new QVBoxLayout(_rows);
    _rowsLayout->setContentsMargins(8, 6, 8, 6);
    _rowsLayout->setSpacing(6);
    scroll->setWidget(_rows);
    column->addWidget(scroll, 1);

    column->addWidget(SettingsStyle::secondaryLabel(
        QStringLiteral("Drop a skin folder in the Skins Folder to install. Built-in skins ship with the app "
                       "and can't be deleted."),
        SettingsStyle::Text::Caption, this));

    connect(&model, &SettingsViewModel::skinsTickChanged, this, &SkinsSettingsTab::rebuildList);
    connect(&model, &SettingsViewModel::defaultSkinChanged, this, &SkinsSettingsTab::rebuildList);
    rebuildList();
}

void SkinsSettingsTab::rebuildList() {
    while (QLayoutItem* item = _rowsLayout->takeAt(0)) {
        // Out of the tree at once; deleted later, as the clicked button may be in it.
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->setParent(nullptr);
            widget->deleteLater();
        }
        delete item;
    }
    for (const SkinManifest& skin : listedSkins())
        _rowsLayout->addWidget(makeRow(skin, _rows));
    _rowsLayout->addStretch(1);
}

QWidget* SkinsSettingsTab::makeRow(const SkinManifest& skin, QWidget* parent) {
    auto* row = new QWidget(parent);
    row->setObjectName(QStringLiteral("skinRow"));
    row->setProperty("skinName", skin.name);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->setSpacing(10);
    layout->addWidget(dot(skin.palette.foreground.toQColor(), devicePixelRatioF(), row));

    auto* text = new QVBoxLayout;
    text->setSpacing(2);
    auto* title = new QHBoxLayout;
    title->setSpacing(4);
    QLabel* name = SettingsStyle::label(skin.name, SettingsStyle::Text::Body, row);
    name->setFont(SettingsStyle::monospaced(SettingsStyle::Text::Body));
    name->setObjectName(QStringLiteral("name"));
    title->addWidget(name);
    const Badge badge = originBadge(skin);
    QLabel* badgeLabel = tag(badge.text, SettingsStyle::monospaced(8, QFont::DemiBold),
                             badge.color.value_or(SettingsStyle::secondary(palette())), 5, 1, 2, row);
    badgeLabel->setObjectName(QStringLiteral("badge"));
    title->addWidget(badgeLabel);
    title->addStretch(1);
    text->addLayout(title);
    QLabel* size =
        SettingsStyle::secondaryLabel(frameSizeText(skin.frameSize), SettingsStyle::Text::Caption, row);
    size->setObjectName(QStringLiteral("frameSize"));
    text->addWidget(size);
    layout->addLayout(text);
    layout->addStretch(1);

    if (_model.defaultSkin() == skin.name) {
        QFont font = AboutStyle::font(SettingsStyle::Text::Caption);
        font.setPixelSize(std::max(9, font.pixelSize() - 1));
        font.setBold(true);
        QLabel* isDefault = tag(QStringLiteral("DEFAULT"), font, green, 6, 2, 4, row);
        isDefault->setObjectName(QStringLiteral("default"));
        layout->addWidget(isDefault);
    } else {
        QPushButton* makeDefaultButton = SettingsStyle::smallButton(QStringLiteral("Make Default"), row);
        makeDefaultButton->setObjectName(QStringLiteral("makeDefault"));
        const QString skinName = skin.name;
        connect(makeDefaultButton, &QPushButton::clicked, this, [this, skinName] { makeDefault(skinName); });
        layout->addWidget(makeDefaultButton);
    }
    QPushButton* use = SettingsStyle::smallButton(QStringLiteral("Use Now"), row);
    use->setObjectName(QStringLiteral("useNow"));
    connect(use, &QPushButton::clicked, this, [this, skin] { useNow(skin); });
    layout->addWidget(use);
    return row;
}

void SkinsSettingsTab::reloadSkins() {
    SkinLoader::shared().loadAll();
    // Only this list rebuilds: nothing is announced.
    _model.incrementSkinsTick();
}

void SkinsSettingsTab::openSkinsFolder() {
    const QString folder = AppPaths::skinsDir();
    // A failure shows in the file manager, not here.
    QDir().mkpath(folder);
    AppHooks::current().openUrl(QUrl::fromLocalFile(folder));
}

void SkinsSettingsTab::makeDefault(const QString& skinName) {
    SettingsStore& store = SettingsStore::shared();
    if (store.defaultSkin() != skinName) store.setDefaultSkin(skinName);
    _model.setDefaultSkin(skinName);
}

void SkinsSettingsTab::useNow(const SkinManifest& skin) {
    if (AppDelegate* delegate = AppDelegate::instance()) delegate->useSkinInActiveWindow(skin);
}

} // namespace Quillaby
