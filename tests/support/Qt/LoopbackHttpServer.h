#pragma once

#include <QByteArray>
#include <QList>
#include <QThread>
#include <QUrl>

#include <chrono>
#include <memory>

namespace QuillabyTest {

// One request as the server read it.
struct RecordedRequest {
    QByteArray method;
    // The request target: path and query.
    QByteArray path;
    // Empty when the request had no Content-Type.
    QByteArray contentType;
    QByteArray body;
};

// What the server does with the next request.
struct ScriptedReply {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    // Never answer; the connection stays open and silent until the client gives up.
    bool silent = false;

    static ScriptedReply json(int status, QByteArray body) {
        return {status, std::move(body), "application/json"};
    }
    static ScriptedReply text(int status, QByteArray body) { return {status, std::move(body), "text/plain"}; }
    // A status with no body at all (204).
    static ScriptedReply empty(int status) { return {status, {}, {}}; }
    static ScriptedReply silence() { return {0, {}, {}, true}; }
};

// An HTTP/1.1 server on 127.0.0.1 at a port of its own choosing, for tests of the web-service clients.
// It runs on a thread of its own, so clients may wait for it from any thread, records every request
// and answers them in order from a scripted queue (503 "unscripted" once the queue is empty).
//
// It is bounded: after `maxRequests` requests, or `lifetime` after start(), it stops listening and
// closes every connection, so a runaway client cannot keep a test alive. Request heads over 64 KiB and
// bodies over 1 MiB close their connection unanswered.
class LoopbackHttpServer {
public:
    explicit LoopbackHttpServer(int maxRequests = 64,
                                std::chrono::milliseconds lifetime = std::chrono::seconds(60));
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // False when no port could be bound.
    bool start();
    // "http://127.0.0.1:<port>".
    QUrl url() const;

    // Thread-safe.
    void enqueue(const ScriptedReply& reply);
    QList<RecordedRequest> requests() const;
    int requestCount() const;
    bool isListening() const;

    // A loopback address where nothing listens: connections to it are refused.
    static QUrl refusedUrl();

    struct State;

private:
    std::shared_ptr<State> _state;
    QThread _thread;
    class Worker;
    Worker* _worker = nullptr;
    int _maxRequests;
    std::chrono::milliseconds _lifetime;
    quint16 _port = 0;
};

} // namespace QuillabyTest
