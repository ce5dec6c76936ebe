#include "LoopbackHttpServer.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <deque>
#include <mutex>

namespace QuillabyTest {

namespace {

constexpr qsizetype maxHeadBytes = 64 * 1024;
constexpr qsizetype maxBodyBytes = 1024 * 1024;

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

} // namespace

struct LoopbackHttpServer::State {
    mutable std::mutex mutex;
    std::deque<ScriptedReply> script;
    QList<RecordedRequest> requests;
    bool listening = false;
};

class LoopbackHttpServer::Worker : public QObject {
public:
    Worker(std::shared_ptr<State> state, int maxRequests, std::chrono::milliseconds lifetime)
        : _state(std::move(state))
        , _maxRequests(maxRequests)
        , _lifetime(lifetime) {}

    // Runs on the server's thread.
    quint16 listen() {
        _server = new QTcpServer(this);
        if (!_server->listen(QHostAddress::LocalHost, 0)) return 0;
        connect(_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = _server->nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                    _buffers.remove(socket);
                    socket->deleteLater();
                });
            }
        });
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this] { stop(); });
        timer->start(_lifetime);
        setListening(true);
        return _server->serverPort();
    }

    void stop() {
        if (_server) _server->close();
        setListening(false);
        for (QTcpSocket* socket : findChildren<QTcpSocket*>())
            socket->abort();
    }

private:
    void setListening(bool listening) {
        std::lock_guard lock(_state->mutex);
        _state->listening = listening;
    }

    void serve(QTcpSocket* socket) {
        if (socket->property("silenced").toBool()) {
            socket->readAll();
            return;
        }
        QByteArray& buffer = _buffers[socket];
        buffer += socket->readAll();
        for (;;) {
            qsizetype headEnd = buffer.indexOf("\r\n\r\n");
            if (headEnd < 0) {
                if (buffer.size() > maxHeadBytes) dropConnection(socket);
                return;
            }
            RecordedRequest request;
            qsizetype contentLength = 0;
            const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
            const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
            request.method = requestLine.value(0);
            request.path = requestLine.value(1);
            for (qsizetype i = 1; i < lines.size(); ++i) {
                qsizetype colon = lines[i].indexOf(':');
                if (colon < 0) continue;
                QByteArray name = lines[i].left(colon).trimmed().toLower();
                QByteArray value = lines[i].mid(colon + 1).trimmed();
                if (name == "content-length") contentLength = value.toLongLong();
                if (name == "content-type") request.contentType = value;
            }
            if (contentLength < 0 || contentLength > maxBodyBytes) {
                dropConnection(socket);
                return;
            }
            if (buffer.size() < headEnd + 4 + contentLength) return;
            request.body = buffer.mid(headEnd + 4, contentLength);
            buffer.remove(0, headEnd + 4 + contentLength);
            if (!answer(socket, request)) return;
        }
    }

    // False when the connection takes no more requests.
    bool answer(QTcpSocket* socket, const RecordedRequest& request) {
        ScriptedReply reply = ScriptedReply::text(503, "unscripted");
        int count = 0;
        {
            std::lock_guard lock(_state->mutex);
            _state->requests.append(request);
            count = int(_state->requests.size());
            if (!_state->script.empty()) {
                reply = _state->script.front();
                _state->script.pop_front();
            }
        }
        if (reply.silent) {
            socket->setProperty("silenced", true);
            _buffers.remove(socket);
        } else {
            QByteArray response =
                "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
            if (!reply.contentType.isEmpty()) response += "Content-Type: " + reply.contentType + "\r\n";
            if (reply.status != 204 && reply.status >= 200)
                response += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
            response += "Connection: keep-alive\r\n\r\n";
            if (reply.status != 204) response += reply.body;
            socket->write(response);
        }
        if (count >= _maxRequests) {
            socket->flush();
            stop();
            return false;
        }
        return !reply.silent;
    }

    void dropConnection(QTcpSocket* socket) {
        _buffers.remove(socket);
        socket->abort();
    }

    std::shared_ptr<State> _state;
    int _maxRequests;
    std::chrono::milliseconds _lifetime;
    QTcpServer* _server = nullptr;
    QHash<QTcpSocket*, QByteArray> _buffers;
};

LoopbackHttpServer::LoopbackHttpServer(int maxRequests, std::chrono::milliseconds lifetime)
    : _state(std::make_shared<State>())
    , _maxRequests(maxRequests)
    , _lifetime(lifetime) {}

LoopbackHttpServer::~LoopbackHttpServer() {
    if (_worker) {
        Worker* worker = _worker;
        QMetaObject::invokeMethod(
            worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
    }
    _thread.quit();
    _thread.wait();
}

bool LoopbackHttpServer::start() {
    if (_worker) return isListening();
    _thread.setObjectName(QStringLiteral("LoopbackHttpServer"));
    _thread.start();
    _worker = new Worker(_state, _maxRequests, _lifetime);
    _worker->moveToThread(&_thread);
    quint16 port = 0;
    Worker* worker = _worker;
    QMetaObject::invokeMethod(
        worker, [worker, &port] { port = worker->listen(); }, Qt::BlockingQueuedConnection);
    _port = port;
    return port != 0;
}

QUrl LoopbackHttpServer::url() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(_port));
}

void LoopbackHttpServer::enqueue(const ScriptedReply& reply) {
    std::lock_guard lock(_state->mutex);
    _state->script.push_back(reply);
}

QList<RecordedRequest> LoopbackHttpServer::requests() const {
    std::lock_guard lock(_state->mutex);
    return _state->requests;
}

int LoopbackHttpServer::requestCount() const {
    std::lock_guard lock(_state->mutex);
    return int(_state->requests.size());
}

bool LoopbackHttpServer::isListening() const {
    std::lock_guard lock(_state->mutex);
    return _state->listening;
}

QUrl LoopbackHttpServer::refusedUrl() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
}

} // namespace QuillabyTest
