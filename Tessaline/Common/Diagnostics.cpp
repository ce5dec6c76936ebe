#include "Diagnostics.h"

#include <atomic>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

namespace Tessaline {

namespace {

struct SinkState {
    // Held while a diagnostic is delivered, so that the sink sees one call at a time.
    std::recursive_mutex mutex;
    DiagnosticSink sink;
    std::atomic<bool> assertsOnInvariant{true};
};

SinkState& state() {
    // Never destroyed: threads and static destructors may still report while the process ends.
    static SinkState* shared = new SinkState;
    return *shared;
}

void writeToStandardError(const Diagnostic& diagnostic) {
    std::string line;
    line.reserve(diagnostic.text.size() + 8);
    if (diagnostic.severity == DiagnosticSeverity::info) line = "Info: ";
    line.append(diagnostic.text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace

namespace Diagnostics {

DiagnosticSink setSink(DiagnosticSink sink) {
    SinkState& s = state();
    std::lock_guard lock(s.mutex);
    std::swap(s.sink, sink);
    return sink;
}

void report(DiagnosticSeverity severity, DiagnosticKind kind, std::string_view text) {
    const Diagnostic diagnostic{severity, kind, text};
    SinkState& s = state();
    // Recursive: a sink that itself reports (or breaks an invariant) does not deadlock.
    std::lock_guard lock(s.mutex);
    if (s.sink)
        s.sink(diagnostic);
    else
        writeToStandardError(diagnostic);
}

void invariantBroken(std::string_view text) {
    report(DiagnosticSeverity::error, DiagnosticKind::invariant, text);
    assert(!assertsOnInvariant() && "a broken invariant of the engine: see the diagnostic above");
}

void setAssertsOnInvariant(bool on) {
    state().assertsOnInvariant = on;
}

bool assertsOnInvariant() {
    return state().assertsOnInvariant;
}

} // namespace Diagnostics

void fatalError(const char* message) {
    Diagnostics::report(DiagnosticSeverity::fatal, DiagnosticKind::fatal, message);
    std::abort();
}

} // namespace Tessaline
