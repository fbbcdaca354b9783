// Shared text, date and colour helpers; see u_Function.h for the rules.
#include "service/u_Function.h"

#include <cmath>
#include <random>

namespace {

constexpr char32_t Blank = 32;

int hexDigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// Code 1 to 32: the blanks and control characters that separate fields.
bool isSeparatorBlank(char16_t c)
{
    return c >= 1 && c <= 32;
}

const QDate &dayZero()
{
    static const QDate zero(1899, 12, 30);
    return zero;
}

} // namespace

std::optional<qint32> WholeNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i].unicode() == Blank)
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }

    bool hex = false;
    if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i == n)
        return std::nullopt;

    if (hex) {
        // At most eight significant digits, taken as a 32-bit pattern; leading
        // zeros do not count.
        quint32 pattern = 0;
        int significant = 0;
        for (; i < n; ++i) {
            const int d = hexDigitValue(text[i].unicode());
            if (d < 0)
                return std::nullopt;
            if (significant > 0 || d != 0)
                ++significant;
            if (significant > 8)
                return std::nullopt;
            pattern = (pattern << 4) | quint32(d);
        }
        if (negative)
            pattern = 0u - pattern;
        return static_cast<qint32>(pattern);
    }

    // Decimal: accumulate the magnitude in 64 bits, which cannot overflow
    // before the range check stops it.
    qint64 magnitude = 0;
    const qint64 limit = negative ? 2147483648LL : 2147483647LL;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<qint32>(negative ? -magnitude : magnitude);
}

QStringList CommaTextSplit(QStringView text)
{
    // A NUL ends the text, as it ends a C string; without this a NUL inside
    // the text would be neither a field character nor skippable.
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text = text.left(nul);

    QStringList fields;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && isSeparatorBlank(text[i].unicode()))
            ++i;
    };

    skipBlanks();
    while (i < n) {
        QString field;
        if (text[i] == u'"') {
            // Quoted: a doubled quote stands for one; a missing closing quote
            // lets the field take the rest of the line.
            ++i;
            while (i < n) {
                if (text[i] == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
        } else {
            const qsizetype start = i;
            while (i < n && text[i] != u',' && text[i].unicode() > Blank)
                ++i;
            field = text.mid(start, i - start).toString();
        }
        fields.append(field);
        skipBlanks();
        if (i < n && text[i] == u',') {
            if (i == n - 1)
                fields.append(QString());
            ++i;
            skipBlanks();
        }
    }
    return fields;
}

QString CopyToEnd(const QString &text, int p)
{
    if (p < 1)
        p = 1;
    if (p > text.size())
        return QString();
    return text.mid(p - 1);
}

QByteArray RecodeViaUtf8(const QByteArray &line)
{
    // The page keeps the encoding its declaration names: a trip through UTF-8
    // of a single-byte text gives every byte back, so nothing is converted.
    return line;
}

QString PadLeft(const QString &text, int width, const QString &pad)
{
    QString result = text;
    if (pad.isEmpty())
        return result; // nothing could ever make it longer
    while (result.size() < width)
        result = pad + result;
    return result;
}

QDate NullDate()
{
    return QDate(1899, 12, 31);
}

double DateToDays(QDate date)
{
    if (!date.isValid())
        date = NullDate();
    return double(dayZero().daysTo(date));
}

QDate DaysToDate(double days)
{
    // Out-of-range counts (NaN, infinities, far beyond any calendar a chart
    // shows) give the null date rather than an undefined conversion.
    if (!std::isfinite(days) || std::fabs(days) > 1e9)
        return NullDate();
    return dayZero().addDays(qint64(std::floor(days)));
}

QString DateToText(QDate date)
{
    if (!date.isValid())
        date = NullDate();
    const QString zero = QStringLiteral("0");
    return QString::number(date.year()) + u'/' + PadLeft(QString::number(date.month()), 2, zero)
        + u'/' + PadLeft(QString::number(date.day()), 2, zero);
}

QDate TextToDate(const QString &text)
{
    const auto year = WholeNumber(QStringView(text).mid(0, 4));
    if (!year)
        return NullDate();
    const auto month = WholeNumber(QStringView(text).mid(5, 2));
    if (!month)
        return NullDate();
    const auto day = WholeNumber(QStringView(text).mid(8, 2));
    if (!day)
        return NullDate();
    if (*year < 1 || *year > 9999 || !QDate::isValid(*year, *month, *day))
        return NullDate();
    return QDate(*year, *month, *day);
}

bool IsColorText(const QString &text)
{
    static const QString alphabet = QStringLiteral("1234567890ABCDEFH#");
    bool result = !text.isEmpty() && text.front() == u'#';
    for (QChar c : text) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
        if (!alphabet.contains(c))
            result = false;
    }
    return result;
}

QChar RandomHexDigit()
{
    // Default-constructed, so the sequence is the same after every start.
    static std::mt19937 generator;
    static const char digits[] = "1234567890ABCDEF";
    // The top four bits of a 32-bit draw: 0..15, each exactly equally likely.
    const auto r = generator() >> 28;
    return QChar::fromLatin1(digits[r]);
}

ColorValue TextToColor(const QString &text)
{
    if (text.size() < 7)
        return 0;
    QString digits = text.left(7);
    for (int i = 1; i < 7; ++i) {
        if (digits[i] == u'H')
            digits[i] = RandomHexDigit();
    }
    auto component = [&](int index) -> ColorValue {
        const auto value = WholeNumber(QString(u'$' + digits.mid(index, 2)));
        return value ? ColorValue(*value) & 0xFF : 0;
    };
    return component(1) + component(3) * 256 + component(5) * 65536;
}

bool AllCharsIn(const QString &text, const QString &set)
{
    for (QChar c : text) {
        if (!set.contains(c))
            return false;
    }
    return true;
}
