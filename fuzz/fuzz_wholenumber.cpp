// The whole-number conversion against a second, independent reading of its
// rule built on std::from_chars.
#include "fuzz/FuzzSupport.h"
#include "service/u_Function.h"

#include <cctype>
#include <charconv>
#include <optional>
#include <string>

namespace {

std::optional<qint32> reference(const QString &text)
{
    // Any character outside ASCII fails the rule; from here on bytes suffice.
    for (QChar c : text) {
        if (c.unicode() > 127)
            return std::nullopt;
    }
    const std::string s = text.toStdString();
    size_t i = s.find_first_not_of(' ');
    if (i == std::string::npos)
        return std::nullopt;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-')
        negative = s[i++] == '-';
    int base = 10;
    if (s.compare(i, 2, "0x") == 0 || s.compare(i, 2, "0X") == 0) {
        base = 16;
        i += 2;
    } else if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
        base = 16;
        i += 1;
    }
    const std::string digits = s.substr(i);
    if (digits.empty())
        return std::nullopt;
    for (char c : digits) {
        const bool ok = base == 16 ? std::isxdigit(uchar(c)) != 0 : (c >= '0' && c <= '9');
        if (!ok)
            return std::nullopt;
    }
    const size_t firstSignificant = digits.find_first_not_of('0');
    const std::string significant =
        firstSignificant == std::string::npos ? std::string("0") : digits.substr(firstSignificant);
    if (significant.size() > (base == 16 ? 8u : 10u))
        return std::nullopt;
    uint64_t magnitude = 0;
    const auto [end, ec] =
        std::from_chars(significant.data(), significant.data() + significant.size(), magnitude, base);
    FUZZ_CHECK(ec == std::errc() && end == significant.data() + significant.size());
    if (base == 16) {
        const uint32_t pattern = negative ? 0u - uint32_t(magnitude) : uint32_t(magnitude);
        return qint32(pattern);
    }
    if (magnitude > (negative ? 2147483648ULL : 2147483647ULL))
        return std::nullopt;
    return qint32(negative ? -int64_t(magnitude) : int64_t(magnitude));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = FuzzText(data, size);
    const std::optional<qint32> got = WholeNumber(text);
    const std::optional<qint32> expected = reference(text);
    if (got != expected) {
        FuzzDump("text", text);
        std::fprintf(stderr, "got %s%d, expected %s%d\n", got ? "" : "none ", got.value_or(0),
                     expected ? "" : "none ", expected.value_or(0));
    }
    FUZZ_CHECK(got == expected);
    if (got)
        FUZZ_CHECK(WholeNumber(QString::number(*got)) == got);
    return 0;
}
