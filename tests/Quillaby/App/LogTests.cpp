#include "App/AppHooks.h"
#include "App/Log.h"

#include <gtest/gtest.h>

using namespace Quillaby;

TEST(Log, CapturesTakeWholeLinesAndNest) {
    LogCapture outer;
    Log::write(QStringLiteral("one"));
    {
        LogCapture inner;
        Log::write(QStringLiteral("two"));
        EXPECT_EQ(inner.lines(), QStringList{QStringLiteral("[Quillaby] two")});
    }
    Log::write(QStringLiteral("three"));
    EXPECT_EQ(outer.lines(),
              (QStringList{QStringLiteral("[Quillaby] one"), QStringLiteral("[Quillaby] three")}));
}

TEST(AppHooks, ScopedHooksAnswerAndThenRestoreThePlatform) {
    const QDateTime fixed = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    {
        ScopedAppHooks hooks;
        hooks->now = [&] { return fixed; };
        hooks->runAlert = [](const AlertRequest& request) { return int(request.buttons.size()) - 1; };
        EXPECT_EQ(AppHooks::current().now(), fixed);
        EXPECT_EQ(
            AppHooks::current().runAlert({AlertRequest::Style::Warning, "Delete?", "", {"Delete", "Cancel"}}),
            1);
    }
    EXPECT_NE(AppHooks::current().now(), fixed);
}
