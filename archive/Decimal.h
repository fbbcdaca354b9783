// A decimal number kept as its text reads: an integer mantissa and the count
// of digits after the point, so "7.10" stays "7.10" and never passes through
// a binary fraction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct Decimal {
    int64_t mantissa = 0;
    uint8_t digits = 0; // digits after the point, 0 to MaxDigits

    static constexpr int MaxDigits = 15;

    friend bool operator==(const Decimal &, const Decimal &) = default;
};

// "[-]digits[.digits]" with at most 18 digits in all and MaxDigits after the
// point; anything else (blanks, exponents, "+", a lone point) is refused.
[[nodiscard]] std::optional<Decimal> ParseDecimal(std::string_view text);

// The text the decimal was read from.
[[nodiscard]] std::string DecimalText(Decimal value);
void AppendDecimal(std::string &out, Decimal value); // DecimalText's text onto out

// Non-negative whole number of at most 18 digits, nothing around it.
[[nodiscard]] std::optional<uint64_t> ParseWhole(std::string_view text);
