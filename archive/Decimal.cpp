#include "archive/Decimal.h"

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<uint64_t> ParseWhole(std::string_view text)
{
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    uint64_t value = 0;
    for (const char c : text) {
        if (!IsDigit(c))
            return std::nullopt;
        value = value * 10 + uint64_t(c - '0');
    }
    return value;
}

std::optional<Decimal> ParseDecimal(std::string_view text)
{
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    const size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction
        = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() || (point != std::string_view::npos && fraction.empty())
        || fraction.size() > size_t(Decimal::MaxDigits) || whole.size() + fraction.size() > 18)
        return std::nullopt;
    int64_t mantissa = 0;
    for (const std::string_view part : { whole, fraction }) {
        for (const char c : part) {
            if (!IsDigit(c))
                return std::nullopt;
            mantissa = mantissa * 10 + (c - '0');
        }
    }
    return Decimal { negative ? -mantissa : mantissa, uint8_t(fraction.size()) };
}

std::string DecimalText(Decimal value)
{
    std::string text;
    AppendDecimal(text, value);
    return text;
}

// Written from the end of a buffer: each record of a history page has two.
void AppendDecimal(std::string &out, Decimal value)
{
    const bool negative = value.mantissa < 0;
    // The magnitude as unsigned, so that no mantissa overflows when negated.
    uint64_t magnitude = negative ? 0 - uint64_t(value.mantissa) : uint64_t(value.mantissa);
    char text[48]; // a sign, 20 digits or MaxDigits and a leading 0, a point
    char *at = text + sizeof text;
    int written = 0;
    do {
        if (value.digits > 0 && written == value.digits)
            *--at = '.';
        *--at = char('0' + magnitude % 10);
        magnitude /= 10;
        ++written;
    } while (magnitude > 0 || written <= value.digits);
    if (negative)
        *--at = '-';
    out.append(at, size_t(text + sizeof text - at));
}
