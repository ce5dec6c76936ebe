#pragma once

#include <sys/types.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

namespace Tessaline {

// Reaps children nobody waits for any more (a closed session's shell), so that none stays a zombie. One
// thread for the whole process, started on first use and never stopped; it sleeps while it has nothing
// to watch.
class ChildReaper {
public:
    static ChildReaper& shared();

    // Takes the child and its pidfd (-1 when there is none; it is closed once the child is reaped) and
    // reaps the child silently whenever it ends. A child that has already ended is reaped at once.
    // With a grace, the child's terminal has been closed: once the child ends, or when the grace runs out
    // while it does not, its process group is killed (SIGKILL) so that nothing of it outlives the
    // terminal; the group is killed while the child is still unreaped, so its number cannot be reused.
    void adopt(pid_t pid, int pidfd, std::optional<std::chrono::milliseconds> grace = std::nullopt);
    // Children adopted and not reaped yet.
    size_t pendingCount() const;

private:
    struct Child {
        pid_t pid;
        int pidfd;
        std::optional<std::chrono::steady_clock::time_point> killAt;
    };

    ChildReaper();
    void loop();

    mutable std::mutex _mutex;
    std::vector<Child> _children;
    int _wakeFd = -1;
    bool _started = false;
};

} // namespace Tessaline
