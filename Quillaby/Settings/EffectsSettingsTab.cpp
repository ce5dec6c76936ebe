#include "Settings/EffectsSettingsTab.h"

#include "App/AppHooks.h"
#include "App/AppPaths.h"
#include "App/AtomicFile.h"
#include "App/NotificationCenter.h"
#include "Settings/ActiveSkin.h"
#include "Settings/CuratedPalettes.h"
#include "Settings/HexColor.h"
#include "Settings/SettingsStore.h"
#include "Settings/SettingsStyle.h"
#include "Settings/SwitchToggle.h"
#include "Skins/SkinLoader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QFile>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace Quillaby {

namespace {

constexpr int sliderSteps = 1000;
constexpr int indent = 20;

// Menu entries: what is shown, what is stored.
using Choice = QPair<QString, QString>;

const QList<Choice>& scanlineStyles() {
    static const QList<Choice> styles{
        {QStringLiteral("Standard"), QStringLiteral("standard")},
        {QStringLiteral("Heavy"), QStringLiteral("heavy")},
        {QStringLiteral("Shadow Mask"), QStringLiteral("shadowmask")},
        {QStringLiteral("Rolling"), QStringLiteral("rolling")},
    };
    return styles;
}

const QList<Choice>& colorGrades() {
    static const QList<Choice> grades{
        {QStringLiteral("None"), QStringLiteral("none")},
        {QStringLiteral("Amber"), QStringLiteral("amber")},
        {QStringLiteral("Green"), QStringLiteral("green")},
        {QStringLiteral("Blue"), QStringLiteral("blue")},
        {QStringLiteral("Cool"), QStringLiteral("cool")},
    };
    return grades;
}

QComboBox* choiceMenu(const QList<Choice>& choices, int width, QWidget* parent) {
    auto* menu = new QComboBox(parent);
    for (const Choice& choice : choices)
        menu->addItem(choice.first, choice.second);
    menu->setFixedWidth(width);
    return menu;
}

// Selects the entry storing `value`; a value outside the menu selects nothing.
void selectChoice(QComboBox* menu, const QString& value) {
    const QSignalBlocker blocker(menu);
    menu->setCurrentIndex(menu->findData(value));
}

std::optional<QJsonObject> readObject(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject()) return std::nullopt;
    return document.object();
}

bool allFinite(const QJsonObject& object) {
    return std::all_of(object.begin(), object.end(), [](const QJsonValue& value) {
        return !value.isDouble() || std::isfinite(value.toDouble());
    });
}

QHBoxLayout* row(int spacing, int leftInset = 0) {
    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(leftInset, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

} // namespace

QString EffectsSettingsTab::nsHex(const RgbColor& color) {
    auto byte = [](double component) {
        if (std::isnan(component)) return 0;
        return int(std::round(std::clamp(component, 0.0, 1.0) * 255));
    };
    return QStringLiteral("#%1%2%3")
        .arg(byte(color.red), 2, 16, QLatin1Char('0'))
        .arg(byte(color.green), 2, 16, QLatin1Char('0'))
        .arg(byte(color.blue), 2, 16, QLatin1Char('0'))
        .toUpper();
}

std::optional<QString> EffectsSettingsTab::userSkinJSONURL(const QString& name) {
    QDirIterator entries(AppPaths::skinsDir(),
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        const QString skinFile = entries.next() + QStringLiteral("/skin.json");
        const std::optional<QJsonObject> object = readObject(skinFile);
        if (!object) continue;
        const QJsonValue skinName = object->value(QStringLiteral("name"));
        if (skinName.isString() && skinName.toString() == name) return skinFile;
    }
    return std::nullopt;
}

QJsonObject EffectsSettingsTab::paletteObject(const QString& skinName) {
    const SettingsStore& store = SettingsStore::shared();
    QJsonObject palette;
    const std::optional<CuratedPalette> curated =
        store.paletteOverrides().contains(skinName)
            ? CuratedPalettes::byId(store.paletteOverrides().value(skinName))
            : std::nullopt;
    if (curated) {
        palette.insert(QStringLiteral("foreground"), curated->foreground);
        palette.insert(QStringLiteral("background"), curated->background);
        palette.insert(QStringLiteral("cursor"), curated->cursor);
        palette.insert(QStringLiteral("ansi"), QJsonArray::fromStringList(curated->ansi));
    } else {
        // The first of that name: shipped skins come before the user's.
        for (const SkinManifest& skin : SkinLoader::shared().skinsOrFallback()) {
            if (skin.name != skinName) continue;
            palette.insert(QStringLiteral("foreground"), nsHex(skin.palette.foreground));
            palette.insert(QStringLiteral("background"), nsHex(skin.palette.background));
            if (skin.palette.cursor) palette.insert(QStringLiteral("cursor"), nsHex(*skin.palette.cursor));
            if (skin.palette.ansi) {
                QJsonArray ansi;
                for (const RgbColor& color : *skin.palette.ansi)
                    ansi.append(nsHex(color));
                palette.insert(QStringLiteral("ansi"), ansi);
            }
            break;
        }
    }
    const QMap<QString, QString> cursors = store.cursorOverrides();
    if (auto cursor = cursors.constFind(skinName); cursor != cursors.constEnd()) {
        // Normalised; text that is no colour becomes the magenta sentinel.
        palette.insert(QStringLiteral("cursor"), nsHex(hexColorOrMagenta(*cursor)));
    }
    return palette;
}

std::optional<QJsonObject> EffectsSettingsTab::effectsObject(const SkinEffectsSettings& effects) {
    QJsonObject object;
    if (effects.scanlines) {
        object.insert(QStringLiteral("scanlines"), true);
        object.insert(QStringLiteral("scanlineIntensity"), effects.scanlineIntensity);
        if (effects.scanlineStyle != QStringLiteral("standard"))
            object.insert(QStringLiteral("scanlineStyle"), effects.scanlineStyle);
    }
    if (effects.glow) {
        object.insert(QStringLiteral("glow"), true);
        object.insert(QStringLiteral("glowIntensity"), effects.glowIntensity);
    }
    if (effects.curvature) {
        object.insert(QStringLiteral("curvature"), true);
        object.insert(QStringLiteral("curvatureAmount"), effects.curvatureAmount);
    }
    if (object.isEmpty()) return std::nullopt;
    return object;
}

EffectsSettingsTab::EffectsSettingsTab(QWidget* parent)
    : QWidget(parent)
    , _selectedSkin(ActiveSkin::name()) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);

    QHBoxLayout* header = row(8);
    header->addWidget(SettingsStyle::secondaryLabel(QStringLiteral("Skin"), SettingsStyle::Text::Body, this));
    _skinName = new QLabel(this);
    _skinName->setObjectName(QStringLiteral("skinName"));
    _skinName->setTextFormat(Qt::PlainText);
    _skinName->setFont(SettingsStyle::systemFont(13, QFont::DemiBold));
    header->addWidget(_skinName);
    header->addStretch(1);
    QPushButton* save = SettingsStyle::smallButton(QStringLiteral("Save to Skin"), this);
    save->setObjectName(QStringLiteral("saveToSkin"));
    save->setToolTip(
        QStringLiteral("Bake the current effects, palette, and cursor into this skin's skin.json"));
    connect(save, &QPushButton::clicked, this, &EffectsSettingsTab::saveToSkin);
    header->addWidget(save);
    QPushButton* resetButton = SettingsStyle::smallButton(QStringLiteral("Reset"), this);
    resetButton->setObjectName(QStringLiteral("reset"));
    connect(resetButton, &QPushButton::clicked, this, &EffectsSettingsTab::reset);
    header->addWidget(resetButton);
    column->addLayout(header);
    column->addWidget(SettingsStyle::divider(this));

    auto* controls = new QVBoxLayout;
    controls->setSpacing(10);
    auto toggle = [&](const QString& label, const char* name, bool SkinEffectsSettings::*field) {
        auto* box = new SwitchToggle(label, this);
        box->setObjectName(QString::fromLatin1(name));
        connect(box, &QCheckBox::toggled, this, [this, field](bool on) {
            SkinEffectsSettings changed = _effects;
            changed.*field = on;
            setEffects(changed);
        });
        controls->addWidget(box, 0, Qt::AlignLeft);
        return box;
    };
    // Rows shown only while their switch is on, set in from the edge.
    auto details = [&](const char* name) {
        auto* box = new QWidget(this);
        box->setObjectName(QString::fromLatin1(name));
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(indent, 0, 0, 0);
        layout->setSpacing(10);
        controls->addWidget(box);
        return layout;
    };

    _scanlines = toggle(QStringLiteral("Scanlines"), "scanlines", &SkinEffectsSettings::scanlines);
    QVBoxLayout* scanlineDetails = details("scanlineDetails");
    _scanlineDetails = scanlineDetails->parentWidget();
    QHBoxLayout* styleRow = row(8);
    QLabel* styleLabel =
        SettingsStyle::secondaryLabel(QStringLiteral("Style"), SettingsStyle::Text::Body, this);
    styleLabel->setFixedWidth(80);
    styleLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    styleRow->addWidget(styleLabel);
    _scanlineStyle = choiceMenu(scanlineStyles(), 160, this);
    _scanlineStyle->setObjectName(QStringLiteral("scanlineStyle"));
    connect(_scanlineStyle, &QComboBox::activated, this, [this](int index) {
        SkinEffectsSettings changed = _effects;
        changed.scanlineStyle = _scanlineStyle->itemData(index).toString();
        setEffects(changed);
    });
    styleRow->addWidget(_scanlineStyle);
    styleRow->addStretch(1);
    scanlineDetails->addLayout(styleRow);
    scanlineDetails->addWidget(effectSlider(QStringLiteral("Intensity"), 0, 1, _scanlineIntensity,
                                            &SkinEffectsSettings::scanlineIntensity));
    _scanlineIntensity.slider->setObjectName(QStringLiteral("scanlineIntensity"));

    _glow = toggle(QStringLiteral("Phosphor Glow"), "glow", &SkinEffectsSettings::glow);
    QVBoxLayout* glowDetails = details("glowDetails");
    _glowDetails = glowDetails->parentWidget();
    glowDetails->addWidget(
        effectSlider(QStringLiteral("Intensity"), 0, 1, _glowIntensity, &SkinEffectsSettings::glowIntensity));
    _glowIntensity.slider->setObjectName(QStringLiteral("glowIntensity"));

    _curvature = toggle(QStringLiteral("CRT Curvature"), "curvature", &SkinEffectsSettings::curvature);
    QVBoxLayout* curvatureDetails = details("curvatureDetails");
    _curvatureDetails = curvatureDetails->parentWidget();
    curvatureDetails->addWidget(effectSlider(QStringLiteral("Amount"), 0, 0.5, _curvatureAmount,
                                             &SkinEffectsSettings::curvatureAmount));
    _curvatureAmount.slider->setObjectName(QStringLiteral("curvatureAmount"));

    QHBoxLayout* gradeRow = row(8);
    QLabel* gradeLabel = SettingsStyle::label(QStringLiteral("Color Grade"), SettingsStyle::Text::Body, this);
    gradeLabel->setFixedWidth(110);
    gradeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    gradeRow->addWidget(gradeLabel);
    _colorGrade = choiceMenu(colorGrades(), 140, this);
    _colorGrade->setObjectName(QStringLiteral("colorGrade"));
    connect(_colorGrade, &QComboBox::activated, this, [this](int index) {
        SkinEffectsSettings changed = _effects;
        changed.colorGrade = _colorGrade->itemData(index).toString();
        setEffects(changed);
    });
    gradeRow->addWidget(_colorGrade);
    gradeRow->addStretch(1);
    controls->addLayout(gradeRow);
    column->addLayout(controls);

    column->addStretch(1);
    QHBoxLayout* footer = row(8);
    footer->addWidget(
        SettingsStyle::secondaryLabel(QStringLiteral("Effects apply live to any window showing this skin."),
                                      SettingsStyle::Text::Caption, this));
    _status = SettingsStyle::secondaryLabel(QString(), SettingsStyle::Text::Caption, this);
    _status->setObjectName(QStringLiteral("saveStatus"));
    footer->addWidget(_status);
    footer->addStretch(1);
    column->addLayout(footer);

    showEffects();
    setStatus(QString());
}

QWidget* EffectsSettingsTab::effectSlider(const QString& label, double minimum, double maximum,
                                          SliderRow& slider, double SkinEffectsSettings::*field) {
    auto* box = new QWidget(this);
    QHBoxLayout* layout = row(8);
    box->setLayout(layout);
    QLabel* name = SettingsStyle::secondaryLabel(label, SettingsStyle::Text::Body, box);
    name->setFixedWidth(80);
    name->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(name);
    slider.minimum = minimum;
    slider.maximum = maximum;
    slider.slider = new QSlider(Qt::Horizontal, box);
    slider.slider->setRange(0, sliderSteps);
    // Arrow keys move by a hundredth of the range, as the value is shown.
    slider.slider->setSingleStep(sliderSteps / 100);
    slider.slider->setPageStep(sliderSteps / 10);
    layout->addWidget(slider.slider, 1);
    slider.value = SettingsStyle::secondaryLabel(QString(), SettingsStyle::Text::Caption, box);
    slider.value->setFixedWidth(40);
    layout->addWidget(slider.value);
    connect(slider.slider, &QSlider::valueChanged, this, [this, &slider, field](int position) {
        SkinEffectsSettings changed = _effects;
        changed.*field = slider.minimum + (slider.maximum - slider.minimum) * position / sliderSteps;
        setEffects(changed);
    });
    return box;
}

void EffectsSettingsTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) load();
}

void EffectsSettingsTab::load() {
    const QString active = ActiveSkin::name();
    if (active != _selectedSkin) _selectedSkin = active;
    setEffects(SettingsStore::shared().effects(_selectedSkin));
    showEffects();
}

void EffectsSettingsTab::setEffects(const SkinEffectsSettings& effects) {
    if (effects == _effects) return;
    _effects = effects;
    SettingsStore& store = SettingsStore::shared();
    QMap<QString, SkinEffectsSettings> all = store.skinEffects();
    all.insert(_selectedSkin, _effects);
    store.setSkinEffects(all);
    NotificationCenter::defaultCenter().post(QString(SettingsStore::effectsDidChange), _selectedSkin);
    showEffects();
}

void EffectsSettingsTab::reset() {
    setEffects(SkinEffectsSettings());
}

void EffectsSettingsTab::saveToSkin() {
    const std::optional<QString> file = userSkinJSONURL(_selectedSkin);
    if (!file) {
        setStatus(QStringLiteral("\u2014 can't save a built-in skin"));
        return;
    }
    std::optional<QJsonObject> skin = readObject(*file);
    if (!skin) {
        setStatus(QStringLiteral("\u2014 couldn't read skin.json"));
        return;
    }

    const QJsonObject palette = paletteObject(_selectedSkin);
    if (palette.contains(QStringLiteral("foreground")) && palette.contains(QStringLiteral("background"))) {
        skin->insert(QStringLiteral("palette"), palette);
    } else if (palette.contains(QStringLiteral("cursor"))) {
        // A cursor alone goes into the file's palette: a palette without its two ground colours would
        // keep the skin from loading.
        const QJsonValue existing = skin->value(QStringLiteral("palette"));
        if (existing.isObject()) {
            QJsonObject merged = existing.toObject();
            merged.insert(QStringLiteral("cursor"), palette.value(QStringLiteral("cursor")));
            skin->insert(QStringLiteral("palette"), merged);
        }
    }

    const std::optional<QJsonObject> effects = effectsObject(_effects);
    if (effects) {
        skin->insert(QStringLiteral("effects"), *effects);
    } else {
        skin->remove(QStringLiteral("effects"));
    }
    if (effects && !allFinite(*effects)) {
        setStatus(QStringLiteral("\u2014 couldn't encode skin.json"));
        return;
    }

    const QByteArray bytes = QJsonDocument(*skin).toJson(QJsonDocument::Indented);
    if (!AtomicFile::replace(*file, bytes, QStringLiteral(".saving"))) {
        setStatus(QStringLiteral("\u2014 write failed"));
        return;
    }

    SkinLoader& loader = SkinLoader::shared();
    // The folder watch would announce this change a second time.
    loader.setLastManualBroadcast(AppHooks::current().now());
    loader.loadAll();
    NotificationCenter::defaultCenter().post(QString(SkinLoader::skinsDidReload));
    setStatus(QStringLiteral("\u2014 saved \u2713"));
}

void EffectsSettingsTab::setStatus(const QString& status) {
    _saveStatus = status;
    _status->setText(status);
    _status->setVisible(!status.isEmpty());
}

void EffectsSettingsTab::showEffects() {
    _skinName->setText(_selectedSkin);
    for (auto [box, on] : {std::pair{_scanlines, _effects.scanlines}, std::pair{_glow, _effects.glow},
                           std::pair{_curvature, _effects.curvature}}) {
        const QSignalBlocker blocker(box);
        box->setChecked(on);
    }
    _scanlineDetails->setVisible(_effects.scanlines);
    _glowDetails->setVisible(_effects.glow);
    _curvatureDetails->setVisible(_effects.curvature);
    selectChoice(_scanlineStyle, _effects.scanlineStyle);
    selectChoice(_colorGrade, _effects.colorGrade);
    for (auto [slider, value] : {std::pair{&_scanlineIntensity, _effects.scanlineIntensity},
                                 std::pair{&_glowIntensity, _effects.glowIntensity},
                                 std::pair{&_curvatureAmount, _effects.curvatureAmount}}) {
        const QSignalBlocker blocker(slider->slider);
        const double span = slider->maximum - slider->minimum;
        slider->slider->setValue(int(std::lround((value - slider->minimum) / span * sliderSteps)));
        slider->value->setText(QString::asprintf("%.2f", value));
    }
}

} // namespace Quillaby
