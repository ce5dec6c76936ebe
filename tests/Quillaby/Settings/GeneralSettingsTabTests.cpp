#include "SettingsWindowTestSupport.h"

#include "Settings/GeneralSettingsTab.h"
#include "Settings/PaletteBrowser.h"
#include "Settings/SettingsViewModel.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace Quillaby;
using namespace QuillabyTest;

namespace {

void makeFile(const QString& path, QFile::Permissions permissions) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    ASSERT_TRUE(file.setPermissions(permissions));
}

constexpr QFile::Permissions runnable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions plain = QFile::ReadOwner | QFile::WriteOwner;

// The tab with its model, shown offscreen.
struct ShownTab {
    SettingsViewModel model;
    GeneralSettingsTab tab{model};
    ShownTab() { tab.show(); }
    QComboBox* menu(const char* name) { return tab.findChild<QComboBox*>(name); }
    QStringList items(const char* name) {
        QStringList result;
        for (int i = 0; i < menu(name)->count(); ++i)
            result << menu(name)->itemText(i);
        return result;
    }
    void choose(const char* name, const QString& text) {
        QComboBox* box = menu(name);
        const int index = box->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
};

} // namespace

TEST(GeneralSettingsTab, DetectedShellsKeepCandidateOrderAndSkipWhatCannotRun) {
    QTemporaryDir dir;
    const QString root = dir.path();
    makeFile(root + "/bin/zsh", runnable);
    makeFile(root + "/bin/bash", runnable);
    makeFile(root + "/bin/ksh", plain); // no execute permission
    QDir().mkpath(root + "/bin/tcsh");  // a folder, not a program
    makeFile(root + "/brew/fish", runnable);
    makeFile(root + "/local/fish", runnable);
    // A merged /usr: "/bin" is a link to "usr/bin", so usr/bin/zsh is the same file as bin/zsh.
    QDir().mkpath(root + "/merged/usr/bin");
    ASSERT_TRUE(QFile::link(root + "/merged/usr/bin", root + "/merged/bin"));
    makeFile(root + "/merged/usr/bin/zsh", runnable);
    makeFile(root + "/merged/usr/bin/fish", runnable);

    struct Case {
        const char* name;
        QStringList candidates;
        QStringList alternates;
        QStringList expected;
    };
    const Case cases[] = {
        {"in candidate order",
         {root + "/bin/bash", root + "/bin/zsh", root + "/bin/missing"},
         {},
         {root + "/bin/bash", root + "/bin/zsh"}},
        {"no execute permission, a folder",
         {root + "/bin/ksh", root + "/bin/tcsh", root + "/bin/zsh"},
         {},
         {root + "/bin/zsh"}},
        {"fish in two places is listed twice",
         {root + "/brew/fish", root + "/local/fish"},
         {},
         {root + "/brew/fish", root + "/local/fish"}},
        {"a linked folder's twin is listed once, other shells there are added",
         {root + "/merged/bin/zsh"},
         {root + "/merged/usr/bin/zsh", root + "/merged/usr/bin/fish", root + "/merged/usr/bin/nu"},
         {root + "/merged/bin/zsh", root + "/merged/usr/bin/fish"}},
        {"none", {root + "/nothing"}, {root + "/nothing/either"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GeneralSettingsTab::detectedShells(c.candidates, c.alternates), c.expected);
    }

    EXPECT_EQ(GeneralSettingsTab::shellCandidates(),
              (QStringList{"/bin/zsh", "/bin/bash", "/bin/sh", "/bin/dash", "/bin/ksh", "/bin/tcsh",
                           "/opt/homebrew/bin/fish", "/usr/local/bin/fish", "/opt/homebrew/bin/nu",
                           "/opt/homebrew/bin/xonsh"}));
    // This machine: /bin/sh exists on every Linux system, under one name.
    const QStringList here = GeneralSettingsTab::detectedShells();
    EXPECT_TRUE(here.contains("/bin/sh"));
    EXPECT_FALSE(here.contains("/usr/bin/sh") && QFileInfo("/bin").isSymLink());
}

TEST_F(SettingsWindowTest, ShellChoiceKeepsTheStoredShellEmptyForTheLoginShell) {
    const QString login = SettingsStore::detectLoginShell();
    const QStringList detected = GeneralSettingsTab::detectedShells();
    const auto other =
        std::find_if(detected.begin(), detected.end(), [&](const QString& s) { return s != login; });
    ASSERT_NE(other, detected.end());

    ShownTab shown;
    // Showing writes nothing; the login shell is listed and selected.
    EXPECT_EQ(settingsJson().value("defaultShell").toString(), "");
    EXPECT_EQ(shown.menu("shellMenu")->currentText(), login);

    shown.choose("shellMenu", login);
    EXPECT_EQ(settingsJson().value("defaultShell").toString(), "");
    shown.choose("shellMenu", *other);
    EXPECT_EQ(settingsJson().value("defaultShell").toString(), *other);
    EXPECT_EQ(shown.tab.findChild<QLineEdit*>("shellField")->text(), *other);

    // The field stores each edit, a custom path joins the menu at its end, and clearing it stores "".
    auto* field = shown.tab.findChild<QLineEdit*>("shellField");
    field->setText("/custom/xsh");
    emit field->textEdited("/custom/xsh");
    EXPECT_EQ(settingsJson().value("defaultShell").toString(), "/custom/xsh");
    EXPECT_EQ(shown.items("shellMenu"), GeneralSettingsTab::detectedShells() + QStringList{"/custom/xsh"});
    EXPECT_EQ(shown.menu("shellMenu")->currentText(), "/custom/xsh");
    field->clear();
    emit field->textEdited("");
    EXPECT_EQ(settingsJson().value("defaultShell").toString(), "");
    EXPECT_EQ(store().defaultShell(), login);
}

TEST_F(SettingsWindowTest, FontMenuAndStepper) {
    store().setFontName("Not Installed Mono");
    store().setFontSize(9.5);
    const QStringList fonts = GeneralSettingsTab::monospacedFonts("Not Installed Mono");
    EXPECT_TRUE(fonts.contains("Not Installed Mono"));
    EXPECT_TRUE(fonts.contains("DejaVu Sans Mono"));
    EXPECT_FALSE(fonts.contains("DejaVu Sans")) << "proportional";
    QStringList sorted = fonts;
    EXPECT_EQ(sorted.removeDuplicates(), 0);
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(fonts, sorted);
    EXPECT_LT(QString("JetBrains Mono"), QString("JetBrainsMono NF"));

    ShownTab shown;
    NotificationRecorder heard(settingsNotifications());
    EXPECT_EQ(shown.menu("fontMenu")->currentText(), "Not Installed Mono");
    shown.choose("fontMenu", "Not Installed Mono");
    EXPECT_EQ(heard.take(), QStringList());
    shown.choose("fontMenu", "DejaVu Sans Mono");
    EXPECT_EQ(store().fontName(), "DejaVu Sans Mono");
    EXPECT_EQ(heard.take(), QStringList{"ZolvFontDidChange"});

    auto* stepper = shown.tab.findChild<QAbstractSpinBox*>("fontSize");
    EXPECT_EQ(stepper->text(), "9pt");
    stepper->stepBy(1);
    EXPECT_EQ(store().fontSize(), 10.5);
    EXPECT_EQ(stepper->text(), "10pt");
    EXPECT_EQ(heard.take(), QStringList{"ZolvFontDidChange"});
    stepper->stepBy(100);
    EXPECT_EQ(store().fontSize(), 24);
    heard.take();
    stepper->stepBy(1);
    EXPECT_EQ(heard.take(), QStringList()) << "stops at 24";
    stepper->stepBy(-100);
    EXPECT_EQ(store().fontSize(), 6);
    EXPECT_EQ(stepper->text(), "6pt");
}

TEST_F(SettingsWindowTest, DefaultSkinRestoreAndTheTwoActions) {
    ShownTab shown;
    const QStringList loaded = [] {
        QStringList names;
        for (const SkinManifest& skin : SkinLoader::shared().skins())
            names << skin.name;
        return names;
    }();
    EXPECT_EQ(shown.items("skinMenu"), loaded);
    EXPECT_EQ(shown.menu("skinMenu")->currentText(), "Handheld v1");
    shown.choose("skinMenu", "Desk CRT 80");
    EXPECT_EQ(settingsJson().value("defaultSkin").toString(), "Desk CRT 80");
    shown.tab.findChild<QCheckBox*>("restoreWindows")->click();
    EXPECT_FALSE(settingsJson().value("restoreWindows").toBool(true));

    shown.tab.findChild<QPushButton*>("revealSettings")->click();
    EXPECT_EQ(revealed, QStringList{AppPaths::settingsFile()});
    EXPECT_EQ(opened, QList<QUrl>());

    QList<AlertRequest> alerts;
    int answer = 1;
    _hooks->runAlert = [&](const AlertRequest& alert) {
        alerts << alert;
        return answer;
    };
    auto* reset = shown.tab.findChild<QPushButton*>("resetAll");
    EXPECT_EQ(reset->text(), QString::fromUtf8("Reset All Settings\u2026"));
    reset->click();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].style, AlertRequest::Style::Warning);
    EXPECT_EQ(alerts[0].message, "Reset all settings?");
    EXPECT_EQ(alerts[0].informativeText,
              "Font, skins' effects, slot choices, widget configs, and saved window positions will return to "
              "defaults. Your installed skins and widgets are NOT touched.");
    EXPECT_EQ(alerts[0].buttons, (QStringList{"Reset", "Cancel"}));
    EXPECT_EQ(store().defaultSkin(), "Desk CRT 80") << "cancelled";

    answer = 0;
    const int tick = shown.model.skinsTick();
    reset->click();
    EXPECT_EQ(store().defaultSkin(), "Handheld v1");
    EXPECT_TRUE(store().restoreWindows());
    EXPECT_EQ(shown.model.skinsTick(), tick + 1);
    EXPECT_EQ(shown.menu("skinMenu")->currentText(), "Handheld v1");
    EXPECT_TRUE(shown.tab.findChild<QCheckBox*>("restoreWindows")->isChecked());
}
