#pragma once

#include <sys/types.h>

#include <mutex>
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
    void adopt(pid_t pid, int pidfd);
    // Children adopted and not reaped yet.
    size_t pendingCount() const;

private:
    struct Child {
        pid_t pid;
        int pidfd;
    };

    ChildReaper();
    void loop();

    mutable std::mutex _mutex;
    std::vector<Child> _children;
    int _wakeFd = -1;
    bool _started = false;
};

} // namespace Tessaline
