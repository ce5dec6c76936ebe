#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace Tessaline {

// "[1, 2, 3]": a list of numbers as log lines show it. Bytes (the chars of a string_view included) show
// as their unsigned values, so that collected intermediates read "[62, 36]".
template<class Values>
std::string bracketedList(const Values& values) {
    std::string out = "[";
    bool first = true;
    for (const auto value : values) {
        if (!first) out += ", ";
        first = false;
        if constexpr (std::same_as<std::remove_cvref_t<decltype(value)>, char>)
            out += std::to_string(unsigned(uint8_t(value)));
        else
            out += std::to_string(value);
    }
    return out + "]";
}

} // namespace Tessaline
