#include "App/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace Quillaby {

namespace {
const QByteArray activateMessage = QByteArrayLiteral("activate\n");
} // namespace

QString SingleInstance::defaultName() {
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) display = qEnvironmentVariable("WAYLAND_DISPLAY");
    return QStringLiteral("quillaby-%1-%2").arg(getuid()).arg(display);
}

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent), _name(name) {}

bool SingleInstance::notifyRunning(int timeoutMs) {
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(_name);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(activateMessage);
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::listen() {
    _server = new QLocalServer(this);
    _server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    if (!_server->listen(_name)) return false;
    connect(_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = _server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("activate") && onActivate) onActivate();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

} // namespace Quillaby
