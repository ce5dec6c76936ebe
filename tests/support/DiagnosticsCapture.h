#pragma once

#include "Diagnostics.h"

#include <string>
#include <utility>
#include <vector>

namespace Tessaline::Testing {

// Collects every diagnostic reported while it lives, in place of the default sink, and lets broken
// invariants through without an assertion (tests that break one do so on purpose).
class DiagnosticsCapture {
public:
    struct Entry {
        DiagnosticSeverity severity;
        DiagnosticKind kind;
        std::string text;
    };

    DiagnosticsCapture()
        : _asserted(Diagnostics::assertsOnInvariant()) {
        Diagnostics::setAssertsOnInvariant(false);
        _previous = Diagnostics::setSink([this](const Diagnostic& d) {
            _entries.push_back({d.severity, d.kind, std::string(d.text)});
        });
    }
    DiagnosticsCapture(const DiagnosticsCapture&) = delete;
    DiagnosticsCapture& operator=(const DiagnosticsCapture&) = delete;
    ~DiagnosticsCapture() {
        Diagnostics::setSink(std::move(_previous));
        Diagnostics::setAssertsOnInvariant(_asserted);
    }

    // The kinds reported since the last take, in order; the entries are dropped.
    std::vector<DiagnosticKind> takeKinds() {
        std::vector<DiagnosticKind> kinds;
        for (const Entry& entry : _entries)
            kinds.push_back(entry.kind);
        _entries.clear();
        return kinds;
    }
    std::vector<Entry> takeEntries() { return std::exchange(_entries, {}); }

private:
    std::vector<Entry> _entries;
    DiagnosticSink _previous;
    bool _asserted;
};

} // namespace Tessaline::Testing
