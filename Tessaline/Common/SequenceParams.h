#pragma once

#include <climits>
#include <cstdint>
#include <span>
#include <vector>

namespace Tessaline {

// The numeric parameters of one CSI or DCS sequence, as a view into the parser for the length of a
// dispatch. Never empty: a missing parameter reads 0, so CSI m gives [0] and CSI ; H gives [0, 0].
// Between parameter k and k + 1 stands the separator that came between them in the stream: ';' for a new
// parameter, ':' for a sub-parameter (38:2:10:20:30 is five values joined by four colons).
class SequenceParams {
public:
    constexpr SequenceParams(std::span<const int64_t> values, std::span<const uint8_t> separators)
        : _values(values)
        , _separators(separators) {}

    int size() const { return int(_values.size()); }
    // The value as collected (up to 922337203685477570); k must be below size().
    int64_t operator[](int k) const { return _values[size_t(k)]; }
    std::span<const int64_t> values() const { return _values; }
    // One separator per gap: size() - 1 entries.
    std::span<const uint8_t> separators() const { return _separators; }

    // The separator after parameter k, or 0 after the last one.
    uint8_t separatorAfter(int k) const {
        return k >= 0 && size_t(k) < _separators.size() ? _separators[size_t(k)] : 0;
    }
    // Parameter k was introduced by ':'.
    bool isSubParameter(int k) const { return k > 0 && separatorAfter(k - 1) == ':'; }

    // Parameter k clamped to int, or fallback when the sequence has fewer parameters.
    int get(int k, int fallback = 0) const {
        if (k < 0 || k >= size()) return fallback;
        int64_t v = _values[size_t(k)];
        return v > INT_MAX ? INT_MAX : int(v);
    }
    // A count: 0, 1 and a missing parameter all mean 1.
    int count(int k) const {
        int v = get(k);
        return v < 1 ? 1 : v;
    }

    std::vector<int64_t> toVector() const { return {_values.begin(), _values.end()}; }

private:
    std::span<const int64_t> _values;
    std::span<const uint8_t> _separators;
};

} // namespace Tessaline
