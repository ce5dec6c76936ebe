#pragma once

#include <cstdio>
#include <cstdlib>

namespace Tessaline {

// A broken internal invariant: the message goes to standard output (where the engine's diagnostics go)
// and to standard error (where a crash report looks), then the process stops.
[[noreturn]] inline void fatalError(const char* message) {
    std::printf("%s\n", message);
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", message);
    std::abort();
}

} // namespace Tessaline
