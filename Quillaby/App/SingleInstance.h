#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

namespace Quillaby {

// One Quillaby per user and display: the first launch listens on a socket in the abstract namespace
// (no file to go stale); a later launch tells it to show itself and then leaves.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The user and the display are in the name, so another login or display runs its own copy.
    static QString defaultName();

    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    // True when another copy took the message: this one should quit.
    bool notifyRunning(int timeoutMs = 1000);
    // Starts listening; false when the name is taken by a copy that did not answer.
    bool listen();
    // Called on the main thread when another launch asks to be shown.
    std::function<void()> onActivate;

private:
    QString _name;
    QLocalServer* _server = nullptr;
};

} // namespace Quillaby
