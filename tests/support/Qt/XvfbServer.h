#pragma once

#include <sys/types.h>

#include <string>

namespace QuillabyTest {

// A private X server for tests that need a real display (OpenGL, window managers, end-to-end runs):
// Xvfb on a free display number it picks itself, stopped by its pid when this goes away.
class XvfbServer {
public:
    XvfbServer() = default;
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;
    ~XvfbServer() { stop(); }

    // Starts the server with one screen of the given size; false (with the reason in error()) when
    // Xvfb is missing or does not come up within a few seconds.
    bool start(int width = 1920, int height = 1080);
    void stop();

    // ":N" once started.
    const std::string& display() const { return _display; }
    pid_t pid() const { return _pid; }
    const std::string& error() const { return _error; }

private:
    pid_t _pid = -1;
    std::string _display;
    std::string _error;
};

} // namespace QuillabyTest
