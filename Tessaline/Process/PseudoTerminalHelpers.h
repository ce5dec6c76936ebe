#pragma once

#include <sys/ioctl.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Tessaline {

// Static pseudo-terminal utilities; never instantiated.
class PseudoTerminalHelpers {
public:
    PseudoTerminalHelpers() = delete;

    struct ForkResult {
        pid_t pid;
        // Close-on-exec, so no later child inherits it.
        int masterFd;
    };

    struct AvailableBytes {
        int32_t status;
        int32_t size;
    };

    // Starts the executable (a path: no search along PATH) on a new pseudo-terminal of the window size,
    // as the leader of a new session with the terminal as its controlling terminal and as its standard
    // input, output and error. args is the whole argument vector, program name first; env is passed as it
    // stands. The child inherits no other descriptor and starts with default signal dispositions and an
    // empty signal mask; when it cannot execute the program it ends with status 127. Nothing when the
    // terminal or the child cannot be made.
    static std::optional<ForkResult> fork(const std::string& executable, const std::vector<std::string>& args,
                                          const std::vector<std::string>& env,
                                          const std::optional<std::string>& currentDirectory,
                                          const winsize& desiredWindowSize);

    // TIOCSWINSZ on the descriptor; answers the request's result.
    static int32_t setWinSize(int32_t masterPtyDescriptor, const winsize& windowSize);

    // FIONREAD on the descriptor: the request's result and the number of bytes waiting.
    static AvailableBytes availableBytes(int32_t fd);

private:
    // A zero-terminated vector of zero-terminated strings for execve; it owns its strings.
    class CStringArray {
    public:
        explicit CStringArray(const std::vector<std::string>& strings);
        CStringArray(const CStringArray&) = delete;
        CStringArray& operator=(const CStringArray&) = delete;
        // Moving the vectors keeps every string where it is, so the pointers stay valid.
        CStringArray(CStringArray&&) = default;

        char* const* data() const { return _pointers.data(); }
        size_t count() const { return _strings.size(); }

    private:
        std::vector<std::string> _strings;
        std::vector<char*> _pointers;
    };

    // Answers nothing when a copy cannot be allocated; what was made is freed.
    static std::optional<CStringArray> allocateCStringArray(const std::vector<std::string>& strings);
};

} // namespace Tessaline
