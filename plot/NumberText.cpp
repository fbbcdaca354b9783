#include "plot/NumberText.h"

#include <array>
#include <charconv>
#include <cmath>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Index just past a run of digits starting at i.
qsizetype skipDigits(const char *s, qsizetype i, qsizetype n)
{
    while (i < n && isDigit(s[i]))
        ++i;
    return i;
}

// True when s[0..n) has the shape described in the header.
bool isDecimalShape(const char *s, qsizetype n)
{
    qsizetype i = 0;
    if (i < n && (s[i] == '+' || s[i] == '-'))
        ++i;
    const qsizetype intStart = i;
    i = skipDigits(s, i, n);
    qsizetype digits = i - intStart;
    if (i < n && s[i] == '.') {
        const qsizetype fracStart = ++i;
        i = skipDigits(s, i, n);
        digits += i - fracStart;
    }
    if (digits == 0)
        return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            ++i;
        const qsizetype expStart = i;
        i = skipDigits(s, i, n);
        if (i == expStart)
            return false;
    }
    return i == n;
}

} // namespace

std::optional<double> ReadDecimal(QByteArrayView utf8)
{
    // The shape admits ASCII only: a byte of a longer character never passes.
    const char *const text = utf8.data();
    const qsizetype n = utf8.size();
    if (!isDecimalShape(text, n))
        return std::nullopt;
    // from_chars takes no leading "+".
    const char *first = text[0] == '+' ? text + 1 : text;
    double value = 0;
    const auto [end, ec] = std::from_chars(first, text + n, value, std::chars_format::general);
    if (ec != std::errc() || end != text + n)
        return std::nullopt;
    return value;
}

std::optional<double> ReadDecimal(QStringView text)
{
    // Page values are short; a longer text is still read, through the heap.
    std::array<char, 64> small;
    QByteArray large;
    char *buffer = small.data();
    if (text.size() > qsizetype(small.size())) {
        large.resize(text.size());
        buffer = large.data();
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c > 0x7f)
            return std::nullopt;
        buffer[i] = char(c);
    }
    return ReadDecimal(QByteArrayView(buffer, text.size()));
}

QString FormatGeneral(double value)
{
    std::array<char, 64> buffer;
    char *const first = buffer.data();
    char *const last = first + buffer.size();
    const double magnitude = std::fabs(value);
    // The general form of 15 digits turns scientific below 0.0001; this form
    // stays fixed down to 0.00001: 19 decimals give 15 significant digits
    // there, and the zeros the fixed form pads with are dropped.
    if (magnitude >= 0.00001 && magnitude < 0.0001) {
        char *end = std::to_chars(first, last, value, std::chars_format::fixed, 19).ptr;
        while (end[-1] == '0')
            --end;
        return QString::fromLatin1(first, end - first);
    }
    const char *end = std::to_chars(first, last, value, std::chars_format::general, 15).ptr;
    return QString::fromLatin1(first, end - first);
}
