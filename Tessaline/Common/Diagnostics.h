#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace Tessaline {

enum class DiagnosticSeverity : uint8_t {
    info,
    warning,
    error,
    // The process stops right after.
    fatal,
};

// What a diagnostic is about. Hosts and tests tell diagnostics apart by their kind, never by their text.
enum class DiagnosticKind : uint8_t {
    // Something the program sent that the terminal does not handle: an unknown sequence, an unhandled
    // mode, SGR code or window command, a parse error. Reported only while the terminal's log is on.
    unhandledSequence,
    // A bound the parser holds input to (parameters past the last kept, over-long strings). Reported only
    // while the terminal's log is on.
    parserLimit,
    // A parser working without a terminal met a sequence nothing takes.
    parserFallback,
    // An image that was refused or cut down: over a bound of size or bytes, or not decodable. Reported
    // only while the terminal's log is on.
    imageRefused,
    // A broken internal invariant of the engine; the operation was clamped or abandoned.
    invariant,
    // A broken invariant the engine cannot go on from (fatalError).
    fatal,
    // The process host: a failed write to the program or dump of its output, the program's I/O traced
    // while debugIO is on.
    processIO,
};

// One diagnostic; the text is valid only during the sink's call.
struct Diagnostic {
    DiagnosticSeverity severity;
    DiagnosticKind kind;
    std::string_view text;
};

// Where the engine's diagnostics go: one sink for the process, which the host installs. The default
// writes each as a line on standard error ("Info: " in front of those of severity info), so that a
// driver's standard output holds only what it means to print. Any thread may report (the process host's
// threads do); the sink is called on the reporting thread, one call at a time.
using DiagnosticSink = std::function<void(const Diagnostic&)>;

namespace Diagnostics {

// Installs the sink; an empty one puts the default back. Answers the sink it replaces (empty for the
// default).
DiagnosticSink setSink(DiagnosticSink sink);
void report(DiagnosticSeverity severity, DiagnosticKind kind, std::string_view text);
// A broken invariant: reported, and in debug builds an assertion failure as well (tests that break one on
// purpose turn that off).
void invariantBroken(std::string_view text);
void setAssertsOnInvariant(bool on);
bool assertsOnInvariant();

} // namespace Diagnostics

// A broken invariant the engine cannot go on from: reported (severity and kind fatal), then the process
// stops.
[[noreturn]] void fatalError(const char* message);

} // namespace Tessaline
