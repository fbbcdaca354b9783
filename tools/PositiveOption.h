// The value of a sample tool's numeric option: a whole number from 1 up.
#pragma once

#include <charconv>
#include <optional>
#include <string_view>

// The text as a whole number of 1 or more, nothing before or after it.
[[nodiscard]] inline std::optional<int> PositiveNumber(std::string_view text)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1)
        return std::nullopt;
    return value;
}
