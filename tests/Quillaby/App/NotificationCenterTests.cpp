#include "App/NotificationCenter.h"

#include <QObject>

#include <gtest/gtest.h>

#include <memory>

using namespace Quillaby;

namespace {
const QString changed = QStringLiteral("TestDidChange");
const QString other = QStringLiteral("OtherDidChange");
} // namespace

TEST(NotificationCenter, ObjectFiltersSeparateNamedFromObjectlessPosts) {
    struct Case {
        const char* name;
        QVariant filter;
        QVariant posted;
        bool delivered;
    };
    const QVariant handheld = QStringLiteral("Handheld v1");
    const QVariant walkie = QStringLiteral("Walkie MK-1");
    const Case cases[] = {
        {"no filter hears a named post", QVariant(), handheld, true},
        {"no filter hears an objectless post", QVariant(), QVariant(), true},
        {"filter hears its own object", handheld, handheld, true},
        {"filter ignores another object", handheld, walkie, false},
        {"filter ignores an objectless post", handheld, QVariant(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NotificationCenter center;
        QList<Notification> heard;
        center.addObserver(
            changed, nullptr, [&](const Notification& n) { heard.append(n); }, c.filter);
        center.post(other, c.posted);
        center.post(changed, c.posted);
        ASSERT_EQ(heard.size(), c.delivered ? 1 : 0);
        if (c.delivered) {
            EXPECT_EQ(heard[0].name, changed);
            EXPECT_EQ(heard[0].hasObject(), c.posted.isValid());
            EXPECT_EQ(heard[0].object, c.posted);
        }
    }
}

TEST(NotificationCenter, QObjectsServeAsObjectsByIdentity) {
    NotificationCenter center;
    QObject session, otherSession;
    int heard = 0;
    center.addObserver(
        changed, nullptr,
        [&](const Notification& n) {
            EXPECT_EQ(n.object.value<QObject*>(), &session);
            ++heard;
        },
        QVariant::fromValue<QObject*>(&session));
    center.post(changed, QVariant::fromValue<QObject*>(&otherSession));
    center.post(changed, QVariant::fromValue<QObject*>(&session));
    EXPECT_EQ(heard, 1);
}

TEST(NotificationCenter, ObserversRunInOrderAndGoWithTheirOwner) {
    NotificationCenter center;
    QStringList calls;
    auto owner = std::make_unique<QObject>();
    center.addObserver(changed, owner.get(), [&](const Notification&) { calls << "owned"; });
    auto id = center.addObserver(changed, nullptr, [&](const Notification&) { calls << "token"; });
    center.post(changed);
    EXPECT_EQ(calls, (QStringList{"owned", "token"}));

    owner.reset();
    EXPECT_EQ(center.observerCount(), 1);
    center.post(changed);
    EXPECT_EQ(calls, (QStringList{"owned", "token", "token"}));

    center.removeObserver(id);
    center.post(changed);
    EXPECT_EQ(calls.size(), 3);
    EXPECT_EQ(center.observerCount(), 0);
}

TEST(NotificationCenter, RemoveObserversTakesEveryObserverOfOneOwner) {
    NotificationCenter center;
    QObject window, keep;
    int heard = 0;
    center.addObserver(changed, &window, [&](const Notification&) { ++heard; });
    center.addObserver(other, &window, [&](const Notification&) { ++heard; });
    center.addObserver(changed, &keep, [&](const Notification&) { heard += 10; });
    center.removeObservers(&window);
    center.post(changed);
    center.post(other);
    EXPECT_EQ(heard, 10);
}

TEST(NotificationCenter, CallbacksMayChangeTheObserverList) {
    NotificationCenter center;
    QStringList calls;
    NotificationCenter::ObserverId second = 0;
    auto doomed = std::make_unique<QObject>();
    center.addObserver(changed, nullptr, [&](const Notification&) {
        calls << "first";
        center.removeObserver(second);
        doomed.reset();
        center.addObserver(changed, nullptr, [&](const Notification&) { calls << "added"; });
    });
    second = center.addObserver(changed, nullptr, [&](const Notification&) { calls << "second"; });
    center.addObserver(changed, doomed.get(), [&](const Notification&) { calls << "owned"; });
    center.addObserver(changed, nullptr, [&](const Notification&) { calls << "last"; });
    center.post(changed);
    EXPECT_EQ(calls, (QStringList{"first", "last"}));
}

TEST(NotificationCenter, AnObserverMayRemoveItselfWhileRunning) {
    NotificationCenter center;
    int heard = 0;
    NotificationCenter::ObserverId self = 0;
    self = center.addObserver(changed, nullptr, [&, tag = std::string(64, 'x')](const Notification&) {
        center.removeObserver(self);
        ++heard;
        EXPECT_EQ(tag.size(), 64u); // the handler's captures outlive its removal
    });
    center.post(changed);
    center.post(changed);
    EXPECT_EQ(heard, 1);
}
