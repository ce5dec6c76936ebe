#include "App/NotificationCenter.h"

#include <algorithm>

namespace Quillaby {

NotificationCenter& NotificationCenter::defaultCenter() {
    // Never destroyed: owners that outlive static destruction must still find it.
    static NotificationCenter* center = new NotificationCenter;
    return *center;
}

NotificationCenter::~NotificationCenter() {
    for (const Observer& observer : _observers)
        QObject::disconnect(observer.ownerConnection);
}

NotificationCenter::ObserverId NotificationCenter::addObserver(const QString& name, QObject* owner,
                                                               Handler handler,
                                                               const QVariant& objectFilter) {
    Observer observer;
    observer.id = _nextId++;
    observer.name = name;
    observer.objectFilter = objectFilter;
    observer.handler = std::move(handler);
    if (owner) {
        observer.hasOwner = true;
        observer.ownerKey = owner;
        observer.owner = owner;
        observer.ownerConnection =
            QObject::connect(owner, &QObject::destroyed, [this, id = observer.id] { removeObserver(id); });
    }
    ObserverId id = observer.id;
    _observers.append(std::move(observer));
    return id;
}

void NotificationCenter::erase(QList<Observer>::iterator it) {
    QObject::disconnect(it->ownerConnection);
    _observers.erase(it);
}

void NotificationCenter::removeObserver(ObserverId id) {
    auto it =
        std::find_if(_observers.begin(), _observers.end(), [id](const Observer& o) { return o.id == id; });
    if (it != _observers.end()) erase(it);
}

void NotificationCenter::removeObservers(const QObject* owner) {
    if (!owner) return;
    for (auto it = _observers.begin(); it != _observers.end();) {
        if (it->hasOwner && it->ownerKey == owner) {
            QObject::disconnect(it->ownerConnection);
            it = _observers.erase(it);
        } else {
            ++it;
        }
    }
}

const NotificationCenter::Observer* NotificationCenter::find(ObserverId id) const {
    auto it =
        std::find_if(_observers.begin(), _observers.end(), [id](const Observer& o) { return o.id == id; });
    return it == _observers.end() ? nullptr : &*it;
}

void NotificationCenter::post(const QString& name, const QVariant& object) {
    Notification notification{name, object};
    // Callbacks may change the list: walk a snapshot of the matching ids and look each one up again.
    QList<ObserverId> matching;
    for (const Observer& observer : _observers) {
        if (observer.name != name) continue;
        if (observer.objectFilter.isValid() && (!object.isValid() || observer.objectFilter != object))
            continue;
        matching.append(observer.id);
    }
    for (ObserverId id : matching) {
        const Observer* observer = find(id);
        if (!observer) continue;
        // QPointer clears as soon as the owner's destruction starts, before destroyed() is emitted.
        if (observer->hasOwner && !observer->owner) continue;
        Handler handler = observer->handler; // the observer may remove itself while running
        handler(notification);
    }
}

} // namespace Quillaby
