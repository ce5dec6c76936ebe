#pragma once

#include "ViewTestSupport.h"

#include "App/AppDelegate.h"
#include "App/AppHooks.h"
#include "App/AppPaths.h"
#include "App/Log.h"
#include "Settings/SettingsStore.h"
#include "Skins/SkinLoader.h"
#include "Windows/DeviceWindowController.h"

#include "TerminalViewDelegate.h"

#include <QApplication>
#include <QDir>

#include <gtest/gtest.h>

namespace QuillabyTest {

// Keeps what a terminal view would write to its shell.
class SendRecorder : public Tessaline::TerminalViewDelegate {
public:
    QByteArray sent;
    void sizeChanged(Tessaline::TerminalView&, int, int) override {}
    void setTerminalTitle(Tessaline::TerminalView&, const std::string&) override {}
    void hostCurrentDirectoryUpdate(Tessaline::TerminalView&, const std::optional<std::string>&) override {}
    void send(Tessaline::TerminalView&, std::span<const uint8_t> data) override {
        sent.append(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
    }
    void scrolled(Tessaline::TerminalView&, double) override {}
    void clipboardCopy(Tessaline::TerminalView&, const std::vector<uint8_t>&) override {}
    void rangeChanged(Tessaline::TerminalView&, int, int) override {}
};

// An application delegate with its menu, the store at its defaults and the shipped skins loaded; alerts
// and URLs are answered here. Windows are opened with open() and made active.
class AppTest : public testing::Test {
protected:
    void SetUp() override {
        _hooks->runAlert = [this](const Quillaby::AlertRequest& alert) {
            alerts.append(alert.message);
            return alertAnswer;
        };
        _hooks->openUrl = [this](const QUrl& url) {
            opened.append(url);
            return true;
        };
        Quillaby::SettingsStore::shared().resetAll();
        QDir(Quillaby::AppPaths::skinsDir()).removeRecursively();
        Quillaby::SkinLoader::shared().loadAll();
        delegate = std::make_unique<Quillaby::AppDelegate>();
        delegate->setupMenu();
    }

    void TearDown() override {
        delegate.reset();
        for (QWidget* window : QApplication::topLevelWidgets())
            window->hide();
    }

    Quillaby::DeviceWindowController* open(const Quillaby::SkinManifest& skin = Quillaby::SkinManifest::handheld()) {
        delegate->openNewWindow(skin, std::nullopt);
        Quillaby::DeviceWindowController* controller = delegate->windowControllers.last();
        activate(controller->window());
        return controller;
    }

    static void activate(QWidget* window) {
        window->show();
        window->raise();
        window->activateWindow();
        spinUntil([window] { return QApplication::activeWindow() == window; }, 3000);
    }

    Quillaby::ScopedAppHooks _hooks;
    Quillaby::LogCapture _log;
    std::unique_ptr<Quillaby::AppDelegate> delegate;
    QStringList alerts;
    int alertAnswer = 1;
    QList<QUrl> opened;
};

} // namespace QuillabyTest
