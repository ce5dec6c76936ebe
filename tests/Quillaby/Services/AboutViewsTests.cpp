#include "ServiceTestSupport.h"

#include "App/AppHooks.h"
#include "App/AppInfo.h"
#include "App/AppResources.h"
#include "Services/AboutSettingsTab.h"
#include "Services/AboutWindowController.h"
#include "Services/BrandMark.h"
#include "Settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace Quillaby;
using namespace QuillabyTest;
using namespace std::chrono_literals;

TEST(AboutWindow, OneFixedWindowThatClosingOnlyHides) {
    ScopedAppHooks hooks;
    QList<QUrl> opened;
    hooks->openUrl = [&](const QUrl& url) {
        opened.append(url);
        return true;
    };
    AboutWindowController& controller = AboutWindowController::shared();
    EXPECT_EQ(&controller, &AboutWindowController::shared());
    QWidget* window = controller.window();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), "About Quillaby");
    EXPECT_EQ(window->size(), QSize(360, 420));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);

    auto* version = window->findChild<QLabel*>("version");
    ASSERT_TRUE(version);
    EXPECT_EQ(version->text(), QString("Version %1 (%2)").arg(AppInfo::shortVersion(), AppInfo::build()));
    QStringList texts;
    for (QLabel* label : window->findChildren<QLabel*>())
        texts.append(label->text());
    EXPECT_TRUE(texts.contains("Quillaby"));
    EXPECT_TRUE(texts.contains("A native skinnable terminal for Linux."));
    EXPECT_TRUE(texts.contains("Terminal engine: Tessaline"));

    window->findChild<QPushButton*>("website")->click();
    EXPECT_EQ(opened, QList<QUrl>{QUrl("https://quillaby.app")});

    controller.showWindow();
    window->move(window->pos() + QPoint(30, 20));
    const QPoint moved = window->pos();
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    controller.showWindow();
    EXPECT_EQ(controller.window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pos(), moved);
    window->hide();
}

TEST(AboutSettingsTab, AccentIsTheSkinsTextColourElseOrange) {
    AboutSettingsTab::SkinSources saved = AboutSettingsTab::skinSources();
    const QString savedDefault = SettingsStore::shared().defaultSkin();
    const QColor handheld = SkinManifest::handheld().palette.foreground.toQColor();
    const QColor walkie = SkinManifest::walkie().palette.foreground.toQColor();
    SkinManifest custom = SkinManifest::walkie();
    custom.name = "Custom";
    custom.palette.foreground = RgbColor::rgb(0, 0, 1);

    struct Case {
        const char* name;
        std::optional<QString> deviceSkin;
        QList<SkinManifest> loaded;
        QString defaultSkin;
        QColor expected;
    };
    const Case cases[] = {
        {"no window: the default skin, among the built-in skins", std::nullopt, {}, "Walkie MK-1", walkie},
        {"no window, unknown default skin", std::nullopt, {}, "Nope", QColor("#DE5200")},
        {"the device window's skin wins", QString("Handheld v1"), {}, "Walkie MK-1", handheld},
        {"names compare exactly", QString("handheld v1"), {}, "Walkie MK-1", QColor("#DE5200")},
        {"loaded skins replace the built-in ones", QString("Custom"), {custom}, "", QColor(0, 0, 255)},
        {"a built-in skin missing from the loaded list",
         QString("Walkie MK-1"),
         {custom},
         "",
         QColor("#DE5200")},
    };
    AboutSettingsTab tab(QColor("#00FF41"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AboutSettingsTab::skinSources().deviceWindowSkinName = [&] { return c.deviceSkin; };
        AboutSettingsTab::skinSources().loadedSkins = [&] { return c.loaded; };
        SettingsStore::shared().setDefaultSkin(c.defaultSkin);
        EXPECT_EQ(tab.accent(), c.expected);
    }
    AboutSettingsTab::skinSources() = saved;
    SettingsStore::shared().setDefaultSkin(savedDefault);
}

TEST(AboutSettingsTab, SendIsDisabledWhileSendingOrForABlankMessage) {
    using State = AboutViewModel::FeedbackState;
    EXPECT_TRUE(AboutSettingsTab::isSendDisabled(State::idle(), ""));
    EXPECT_TRUE(AboutSettingsTab::isSendDisabled(State::idle(), " \n\t "));
    EXPECT_FALSE(AboutSettingsTab::isSendDisabled(State::idle(), " x "));
    EXPECT_TRUE(AboutSettingsTab::isSendDisabled(State::sending(), "x"));
    EXPECT_FALSE(AboutSettingsTab::isSendDisabled(State::sent(), "x"));
    EXPECT_FALSE(AboutSettingsTab::isSendDisabled(State::failed("no"), "x"));
}

namespace {

// The tab as the user sees it, against a loopback server and a fixture change log.
class AboutTabTest : public WebServiceTest {
protected:
    void SetUp() override {
        WebServiceTest::SetUp();
        QDir().mkpath(bundle.path() + "/Resources");
        QFile log(bundle.path() + "/Resources/CHANGELOG.md");
        ASSERT_TRUE(log.open(QIODevice::WriteOnly));
        log.write("## [1.0.0]\n- Bundled note\n");
        log.close();
        AppResources::setBundleForTesting(bundle.path());
        BrandMark::resetForTesting();
        hooks->openUrl = [this](const QUrl& url) {
            opened.append(url);
            return true;
        };
        tab = std::make_unique<AboutSettingsTab>(QColor("#00FF41"));
        tab->model().setTimeoutsForTesting(400ms, 400ms);
        tab->resize(600, 900);
    }
    void TearDown() override {
        tab.reset();
        AppResources::setBundleForTesting(std::nullopt);
        BrandMark::resetForTesting();
        WebServiceTest::TearDown();
    }

    template<typename T>
    T* child(const char* name) {
        T* widget = tab->findChild<T*>(name);
        EXPECT_TRUE(widget) << name;
        return widget;
    }
    QString status() { return child<QLabel>("updateStatus")->text(); }
    bool visible(const char* name) { return child<QWidget>(name)->isVisible(); }

    void showAndLoad() {
        tab->show();
        ASSERT_TRUE(
            waitUntil([&] { return tab->model().loadState() != AboutViewModel::LoadState::Loading; }));
    }

    QTemporaryDir bundle;
    ScopedAppHooks hooks;
    QList<QUrl> opened;
    std::unique_ptr<AboutSettingsTab> tab;
};

} // namespace

TEST_F(AboutTabTest, ShowsCheckingThenOfflineWithTheBundledNotes) {
    server.enqueue(ScriptedReply::silence());
    tab->show();
    ASSERT_TRUE(waitUntil([&] { return server.requestCount() == 1; }));
    EXPECT_TRUE(visible("checking"));
    EXPECT_FALSE(visible("notes"));
    EXPECT_EQ(status(), "You're up to date.");

    ASSERT_TRUE(waitUntil([&] { return tab->model().loadState() == AboutViewModel::LoadState::Offline; }));
    EXPECT_FALSE(visible("checking"));
    EXPECT_EQ(child<QLabel>("note0")->text(), "Bundled note");
    EXPECT_TRUE(visible("offlineNote"));
    EXPECT_EQ(status(), "Couldn't reach 127.0.0.1.");
    EXPECT_FALSE(visible("download"));
    // Without a brand image the header shows the terminal symbol.
    EXPECT_TRUE(tab->findChild<QLabel*>("brandSymbol"));
}

TEST_F(AboutTabTest, ANewerVersionOffersItsDownloadPage) {
    server.enqueue(ScriptedReply::json(200, R"({"version":"99.0","notes":["Remote note"]})"));
    showAndLoad();
    EXPECT_EQ(status(), "Update available — 99.0");
    EXPECT_EQ(child<QLabel>("note0")->text(), "Remote note");
    EXPECT_FALSE(visible("offlineNote"));
    ASSERT_TRUE(visible("download"));
    child<QPushButton>("download")->click();
    child<QPushButton>("visit")->click();
    child<QPushButton>("privacy")->click();
    child<QPushButton>("terms")->click();
    const QString site = server.url().toString();
    EXPECT_EQ(opened, (QList<QUrl>{QUrl(site + "/download"), QUrl(site), QUrl(site + "/privacy"),
                                   QUrl(site + "/terms")}));
    EXPECT_EQ(child<QPushButton>("visit")->text(), "Visit 127.0.0.1");
}

TEST_F(AboutTabTest, TheSameVersionIsUpToDate) {
    const QString running = AppInfo::shortVersion();
    for (const QString& version : {running, running + ".0", running + "-beta"}) {
        SCOPED_TRACE(version.toStdString());
        server.enqueue(ScriptedReply::json(
            200, QString(R"json({"version":"%1","notes":[],"download_url":"javascript:alert(1)"})json")
                     .arg(version)
                     .toUtf8()));
        tab->hide();
        showAndLoad();
        EXPECT_EQ(status(), "You're up to date.");
        EXPECT_FALSE(visible("download"));
        // No notes from the service: the change log's, without the offline remark.
        EXPECT_EQ(child<QLabel>("note0")->text(), "Bundled note");
        EXPECT_FALSE(visible("offlineNote"));
    }
}

TEST_F(AboutTabTest, ALinkThatIsNotAWebAddressOpensNothing) {
    server.enqueue(ScriptedReply::json(200, R"({"version":"99.0","download_url":"file:///etc/passwd"})"));
    showAndLoad();
    child<QPushButton>("download")->click();
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(AboutTabTest, HidingTheTabCancelsItsLoad) {
    server.enqueue(ScriptedReply::silence());
    tab->model().setTimeoutsForTesting(10s, 10s);
    tab->show();
    ASSERT_TRUE(waitUntil([&] { return server.requestCount() == 1; }));
    tab->hide();
    EXPECT_EQ(tab->model().loadState(), AboutViewModel::LoadState::Offline);
}

TEST_F(AboutTabTest, SendingFeedbackFromTheForm) {
    server.enqueue(ScriptedReply::json(200, R"({"version":"0"})"));
    showAndLoad();
    auto* send = child<QPushButton>("send");
    auto* message = child<QPlainTextEdit>("message");
    auto* subject = child<QLineEdit>("subject");
    EXPECT_FALSE(send->isEnabled());
    QTest::keyClicks(message, "   ");
    EXPECT_FALSE(send->isEnabled());
    QTest::keyClicks(message, "x");
    EXPECT_TRUE(send->isEnabled());
    QTest::keyClicks(subject, "Hello");
    QTest::keyClicks(child<QLineEdit>("email"), "me@x.org");

    server.enqueue(ScriptedReply::json(500, "{}"));
    send->click();
    EXPECT_EQ(send->text(), "Sending…");
    EXPECT_FALSE(send->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return send->isEnabled(); }));
    EXPECT_EQ(child<QLabel>("feedbackStatus")->text(),
              "Couldn't send — check your connection and try again.");
    EXPECT_EQ(message->toPlainText(), "   x");

    server.enqueue(ScriptedReply::empty(204));
    send->click();
    ASSERT_TRUE(waitUntil(
        [&] { return tab->model().feedbackState().kind == AboutViewModel::FeedbackState::Kind::Sent; }));
    EXPECT_EQ(child<QLabel>("feedbackStatus")->text(), "Sent ✓");
    EXPECT_TRUE(visible("feedbackSymbol"));
    EXPECT_EQ(send->text(), "Send");
    EXPECT_EQ(message->toPlainText(), "");
    EXPECT_EQ(subject->text(), "");
    EXPECT_EQ(child<QLineEdit>("email")->text(), "me@x.org");
    EXPECT_FALSE(send->isEnabled());
    QTest::keyClicks(message, "more");
    EXPECT_TRUE(send->isEnabled());
    EXPECT_EQ(child<QLabel>("feedbackStatus")->text(), "Sent ✓");
    EXPECT_EQ(server.requests().last().path, "/api/feedback");
}
