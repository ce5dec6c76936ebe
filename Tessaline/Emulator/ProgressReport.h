#pragma once

#include <cstdint>
#include <optional>

namespace Tessaline {

enum class ProgressReportState : int {
    remove = 0,
    set = 1,
    error = 2,
    indeterminate = 3,
    pause = 4,
};

// The state with that raw value, or nothing.
constexpr std::optional<ProgressReportState> progressReportState(int rawValue) {
    if (rawValue < 0 || rawValue > 4) return std::nullopt;
    return ProgressReportState(rawValue);
}

// A program's progress report (OSC 9;4): what it reports and, when it says, a percentage 0-100.
struct ProgressReport {
    ProgressReportState state = ProgressReportState::remove;
    std::optional<uint8_t> progress;

    constexpr bool operator==(const ProgressReport&) const = default;
};

} // namespace Tessaline
