#include "Settings/GeneralSettingsTab.h"

#include "App/AppHooks.h"
#include "App/AppPaths.h"
#include "Settings/PaletteBrowser.h"
#include "Settings/SettingsStore.h"
#include "Settings/SettingsStyle.h"
#include "Settings/SettingsViewModel.h"
#include "Skins/SkinLoader.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>

#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace Quillaby {

namespace {

constexpr int labelWidth = 90;
constexpr int menuWidth = 200;
constexpr int shellFieldWidth = 160;
constexpr int skinMenuWidth = 220;

bool isExecutableFile(const QString& path) {
    return QFileInfo(path).isFile() && ::access(QFile::encodeName(path).constData(), X_OK) == 0;
}

// The file reached through the path's folder with every link in the folder resolved.
QString throughCanonicalFolder(const QString& path) {
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.path()).canonicalFilePath();
    return (folder.isEmpty() ? info.path() : folder) + QLatin1Char('/') + info.fileName();
}

// Unicode scalar order of the canonical compositions: case-sensitive, not localised.
bool codePointLess(const QString& a, const QString& b) {
    const QList<uint> left = a.normalized(QString::NormalizationForm_C).toUcs4();
    const QList<uint> right = b.normalized(QString::NormalizationForm_C).toUcs4();
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end());
}

QGridLayout* formGrid() {
    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(12);
    grid->setColumnStretch(2, 1);
    return grid;
}

QHBoxLayout* controlsRow(int spacing) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    return row;
}

} // namespace

// A stepper over the model's font size: 6 to 24 in steps of 1, labelled in whole points. The size
// itself may hold a fraction (9.5 shows as 9pt); only the arrows change it.
class FontSizeStepper : public QAbstractSpinBox {
public:
    FontSizeStepper(SettingsViewModel& model, QWidget* parent)
        : QAbstractSpinBox(parent)
        , _model(model) {
        setObjectName(QStringLiteral("fontSize"));
        lineEdit()->setReadOnly(true);
        setAlignment(Qt::AlignCenter);
        refresh();
    }

    void refresh() {
        lineEdit()->setText(GeneralSettingsTab::fontSizeLabel(_model.fontSize()));
        update();
    }

    void stepBy(int steps) override {
        _model.setFontSize(std::clamp(_model.fontSize() + steps, SettingsStore::minimumFontSize,
                                      SettingsStore::maximumFontSize));
    }

    QSize sizeHint() const override {
        QSize size = QAbstractSpinBox::sizeHint();
        return QSize(std::max(size.width(), 44 + 24), size.height());
    }

protected:
    StepEnabled stepEnabled() const override {
        StepEnabled enabled = StepNone;
        if (_model.fontSize() > SettingsStore::minimumFontSize) enabled |= StepDownEnabled;
        if (_model.fontSize() < SettingsStore::maximumFontSize) enabled |= StepUpEnabled;
        return enabled;
    }

private:
    SettingsViewModel& _model;
};

const QStringList& GeneralSettingsTab::preferredFontFamilies() {
    static const QStringList families{
        QStringLiteral("JetBrainsMono NF"),
        QStringLiteral("JetBrains Mono"),
        QStringLiteral("Menlo"),
        QStringLiteral("Monaco"),
        QStringLiteral("SF Mono"),
        QStringLiteral("Courier New"),
        QStringLiteral("Fira Code"),
        QStringLiteral("IBM Plex Mono"),
        QStringLiteral("Source Code Pro"),
        QStringLiteral("Inconsolata"),
        QStringLiteral("Roboto Mono"),
        QStringLiteral("Hack"),
        QStringLiteral("Victor Mono"),
        QStringLiteral("Cascadia Code"),
    };
    return families;
}

QStringList GeneralSettingsTab::monospacedFonts(const QString& current) {
    const QStringList installed = QFontDatabase::families();
    QSet<QString> names;
    for (const QString& family : preferredFontFamilies()) {
        if (installed.contains(family)) names.insert(family);
    }
    for (const QString& family : installed) {
        if (QFontDatabase::isFixedPitch(family)) names.insert(family);
    }
    names.insert(current);
    QStringList sorted(names.begin(), names.end());
    std::sort(sorted.begin(), sorted.end(), codePointLess);
    return sorted;
}

const QStringList& GeneralSettingsTab::shellCandidates() {
    static const QStringList paths{
        QStringLiteral("/bin/zsh"),
        QStringLiteral("/bin/bash"),
        QStringLiteral("/bin/sh"),
        QStringLiteral("/bin/dash"),
        QStringLiteral("/bin/ksh"),
        QStringLiteral("/bin/tcsh"),
        QStringLiteral("/opt/homebrew/bin/fish"),
        QStringLiteral("/usr/local/bin/fish"),
        QStringLiteral("/opt/homebrew/bin/nu"),
        QStringLiteral("/opt/homebrew/bin/xonsh"),
    };
    return paths;
}

const QStringList& GeneralSettingsTab::linuxShellPaths() {
    static const QStringList paths{
        QStringLiteral("/usr/bin/zsh"),  QStringLiteral("/usr/bin/bash"), QStringLiteral("/usr/bin/sh"),
        QStringLiteral("/usr/bin/dash"), QStringLiteral("/usr/bin/ksh"),  QStringLiteral("/usr/bin/tcsh"),
        QStringLiteral("/usr/bin/fish"), QStringLiteral("/usr/bin/nu"),   QStringLiteral("/usr/bin/xonsh"),
    };
    return paths;
}

QStringList GeneralSettingsTab::detectedShells() {
    return detectedShells(shellCandidates(), linuxShellPaths());
}

QStringList GeneralSettingsTab::detectedShells(const QStringList& candidates,
                                               const QStringList& alternatePaths) {
    QStringList shells;
    for (const QString& path : candidates) {
        if (isExecutableFile(path)) shells.append(path);
    }
    QSet<QString> reached;
    for (const QString& path : shells)
        reached.insert(throughCanonicalFolder(path));
    for (const QString& path : alternatePaths) {
        if (!isExecutableFile(path)) continue;
        // With /bin linked to /usr/bin the same shell would be listed under both names.
        const QString key = throughCanonicalFolder(path);
        if (reached.contains(key)) continue;
        reached.insert(key);
        shells.append(path);
    }
    return shells;
}

QStringList GeneralSettingsTab::shellMenuEntries(const QString& shell) {
    QStringList entries = detectedShells();
    if (!entries.contains(shell)) entries.append(shell);
    return entries;
}

QString GeneralSettingsTab::fontSizeLabel(double size) {
    return QString::number(std::isfinite(size) ? qint64(size) : 0) + QStringLiteral("pt");
}

GeneralSettingsTab::GeneralSettingsTab(SettingsViewModel& model, QWidget* parent)
    : QWidget(parent)
    , _model(model) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(18);

    column->addWidget(SettingsStyle::label(QStringLiteral("Terminal"), SettingsStyle::Text::Headline, this));
    QGridLayout* terminal = formGrid();
    terminal->addWidget(SettingsStyle::rowLabel(QStringLiteral("Font"), labelWidth, this), 0, 0);
    QHBoxLayout* fontRow = controlsRow(8);
    _fontMenu = new QComboBox(this);
    _fontMenu->setObjectName(QStringLiteral("fontMenu"));
    _fontMenu->setFixedWidth(menuWidth);
    fontRow->addWidget(_fontMenu);
    _fontSize = new FontSizeStepper(model, this);
    fontRow->addWidget(_fontSize);
    fontRow->addStretch(1);
    terminal->addLayout(fontRow, 0, 1, 1, 2);
    terminal->addWidget(SettingsStyle::rowLabel(QStringLiteral("Shell"), labelWidth, this), 1, 0);
    QHBoxLayout* shellRow = controlsRow(8);
    _shellMenu = new QComboBox(this);
    _shellMenu->setObjectName(QStringLiteral("shellMenu"));
    _shellMenu->setFixedWidth(menuWidth);
    shellRow->addWidget(_shellMenu);
    _shellField = new QLineEdit(this);
    _shellField->setObjectName(QStringLiteral("shellField"));
    _shellField->setPlaceholderText(QStringLiteral("/custom/shell"));
    _shellField->setFixedWidth(shellFieldWidth);
    shellRow->addWidget(_shellField);
    shellRow->addStretch(1);
    terminal->addLayout(shellRow, 1, 1, 1, 2);
    column->addLayout(terminal);

    _paletteBrowser = new PaletteBrowserView(model, this);
    column->addWidget(_paletteBrowser);

    column->addWidget(SettingsStyle::label(QStringLiteral("Startup"), SettingsStyle::Text::Headline, this));
    QGridLayout* startup = formGrid();
    startup->addWidget(SettingsStyle::rowLabel(QStringLiteral("Default skin"), labelWidth, this), 0, 0);
    _skinMenu = new QComboBox(this);
    _skinMenu->setObjectName(QStringLiteral("skinMenu"));
    _skinMenu->setFixedWidth(skinMenuWidth);
    startup->addWidget(_skinMenu, 0, 1, Qt::AlignLeft);
    startup->addWidget(SettingsStyle::rowLabel(QString(), labelWidth, this), 1, 0);
    _restore = new QCheckBox(QStringLiteral("Restore windows from last session"), this);
    _restore->setObjectName(QStringLiteral("restoreWindows"));
    startup->addWidget(_restore, 1, 1, Qt::AlignLeft);
    column->addLayout(startup);

    column->addStretch(1);
    QHBoxLayout* buttons = controlsRow(8);
    QPushButton* reset = SettingsStyle::smallButton(QStringLiteral("Reset All Settings\u2026"), this);
    reset->setObjectName(QStringLiteral("resetAll"));
    // Destructive: drawn in red.
    AboutStyle::setTextColor(reset, QColor(0xD7, 0x26, 0x2B));
    buttons->addWidget(reset);
    buttons->addStretch(1);
    QPushButton* reveal = SettingsStyle::smallButton(QStringLiteral("Reveal Settings File"), this);
    reveal->setObjectName(QStringLiteral("revealSettings"));
    buttons->addWidget(reveal);
    column->addLayout(buttons);

    showFonts();
    showFontSize();
    showShell();
    showSkins();
    _restore->setChecked(model.restoreWindows());

    // Controls change the model...
    connect(_fontMenu, &QComboBox::activated, this, [this](int index) {
        if (index >= 0) _model.setFontName(_fontMenu->itemText(index));
    });
    connect(_shellMenu, &QComboBox::activated, this, [this](int index) {
        if (index >= 0) _model.setShell(_shellMenu->itemText(index));
    });
    connect(_shellField, &QLineEdit::textEdited, this,
            [this](const QString& text) { _model.setShell(text); });
    connect(_shellField, &QLineEdit::returnPressed, this, &GeneralSettingsTab::writeShell);
    connect(_skinMenu, &QComboBox::activated, this, [this](int index) {
        if (index >= 0) _model.setDefaultSkin(_skinMenu->itemText(index));
    });
    connect(_restore, &QCheckBox::toggled, this, [this](bool on) { _model.setRestoreWindows(on); });
    connect(reset, &QPushButton::clicked, this, &GeneralSettingsTab::resetAllSettings);
    connect(reveal, &QPushButton::clicked, this, &GeneralSettingsTab::revealSettingsFile);

    // ...and each change of the model is shown and written to the store, when it differs there.
    connect(&model, &SettingsViewModel::fontNameChanged, this, [this] {
        showFonts();
        SettingsStore& store = SettingsStore::shared();
        if (_model.fontName() != store.fontName()) store.setFontName(_model.fontName());
    });
    connect(&model, &SettingsViewModel::fontSizeChanged, this, [this] {
        showFontSize();
        SettingsStore& store = SettingsStore::shared();
        if (_model.fontSize() != store.fontSize()) store.setFontSize(_model.fontSize());
    });
    connect(&model, &SettingsViewModel::shellChanged, this, [this] {
        showShell();
        writeShell();
    });
    connect(&model, &SettingsViewModel::defaultSkinChanged, this, [this] {
        showSkins();
        SettingsStore& store = SettingsStore::shared();
        if (_model.defaultSkin() != store.defaultSkin()) store.setDefaultSkin(_model.defaultSkin());
    });
    connect(&model, &SettingsViewModel::restoreWindowsChanged, this, [this] {
        _restore->setChecked(_model.restoreWindows());
        SettingsStore& store = SettingsStore::shared();
        if (_model.restoreWindows() != store.restoreWindows())
            store.setRestoreWindows(_model.restoreWindows());
    });
    connect(&model, &SettingsViewModel::skinsTickChanged, this, &GeneralSettingsTab::showSkins);
}

void GeneralSettingsTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Fonts and shells may have been installed since the menus were built.
    showFonts();
    showShell();
    showSkins();
}

void GeneralSettingsTab::showFonts() {
    const QSignalBlocker blocker(_fontMenu);
    _fontMenu->clear();
    _fontMenu->addItems(monospacedFonts(_model.fontName()));
    _fontMenu->setCurrentIndex(
        _fontMenu->findText(_model.fontName(), Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void GeneralSettingsTab::showFontSize() {
    _fontSize->refresh();
}

void GeneralSettingsTab::showShell() {
    {
        const QSignalBlocker blocker(_shellMenu);
        _shellMenu->clear();
        _shellMenu->addItems(shellMenuEntries(_model.shell()));
        _shellMenu->setCurrentIndex(
            _shellMenu->findText(_model.shell(), Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
    // Leaves the caret alone while the user types.
    if (_shellField->text() != _model.shell()) _shellField->setText(_model.shell());
}

void GeneralSettingsTab::showSkins() {
    const QSignalBlocker blocker(_skinMenu);
    _skinMenu->clear();
    for (const SkinManifest& skin : SkinLoader::shared().skinsOrFallback())
        _skinMenu->addItem(skin.name);
    // A default skin that no loaded skin has selects nothing.
    _skinMenu->setCurrentIndex(
        _skinMenu->findText(_model.defaultSkin(), Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void GeneralSettingsTab::writeShell() {
    // The store keeps "" while the choice equals the detected login shell.
    SettingsStore::shared().setDefaultShell(_model.shell());
}

void GeneralSettingsTab::resetAllSettings() {
    AlertRequest alert;
    alert.style = AlertRequest::Style::Warning;
    alert.message = QStringLiteral("Reset all settings?");
    alert.informativeText = QStringLiteral(
        "Font, skins' effects, slot choices, widget configs, and saved window positions will return to "
        "defaults. Your installed skins and widgets are NOT touched.");
    alert.buttons = {QStringLiteral("Reset"), QStringLiteral("Cancel")};
    alert.parent = window();
    if (AppHooks::current().runAlert(alert) == 0) SettingsStore::shared().resetAll();
}

void GeneralSettingsTab::revealSettingsFile() {
    AppHooks::current().revealFile(AppPaths::settingsFile());
}

} // namespace Quillaby
