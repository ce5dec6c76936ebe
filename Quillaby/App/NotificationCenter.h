#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>

namespace Quillaby {

// One announcement: a name and, optionally, the object it concerns (a skin's display name, a session
// view, ...). An invalid QVariant means "no object": the change concerns everyone.
struct Notification {
    QString name;
    QVariant object;

    bool hasObject() const { return object.isValid(); }
};

// The application's own synchronous notification hub, used on the main thread only.
//
// post() calls every matching observer before it returns, in the order they were added. An observer
// matches when its name equals the posted name and, if it gave an object filter, the posted object
// equals that filter (a post without an object reaches only observers without a filter).
//
// An observer registered with an owner is removed when that QObject is destroyed (it is not called once
// QObject's own destructor has started); one without an owner lives until removeObserver(). Observers
// may add or remove observers and post from inside a callback: removed ones are not called any more,
// added ones first hear the next post.
class NotificationCenter {
public:
    using ObserverId = quint64;
    using Handler = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    NotificationCenter() = default;
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    ObserverId addObserver(const QString& name, QObject* owner, Handler handler,
                           const QVariant& objectFilter = QVariant());
    void removeObserver(ObserverId id);
    // Every observer registered with this owner.
    void removeObservers(const QObject* owner);

    void post(const QString& name, const QVariant& object = QVariant());

    int observerCount() const { return int(_observers.size()); }

private:
    struct Observer {
        ObserverId id = 0;
        QString name;
        QVariant objectFilter;
        bool hasOwner = false;
        const QObject* ownerKey = nullptr;
        QPointer<QObject> owner;
        QMetaObject::Connection ownerConnection;
        Handler handler;
    };

    const Observer* find(ObserverId id) const;
    void erase(QList<Observer>::iterator it);

    QList<Observer> _observers;
    ObserverId _nextId = 1;
};

} // namespace Quillaby
