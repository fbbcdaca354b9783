// Colour texts: IsColorText against its rule, and TextToColor against the
// reading of three hexadecimal pairs (H drawing random digits).
#include "fuzz/FuzzSupport.h"
#include "service/u_Function.h"

#include <algorithm>
#include <cctype>

namespace {

bool referenceIsColor(const QString &text)
{
    if (text.isEmpty() || text.front() != u'#')
        return false;
    for (QChar c : text) {
        const char16_t u = c.toUpper().unicode();
        const bool ascii = c.unicode() < 128;
        if (!ascii || !QStringLiteral("0123456789ABCDEFH#").contains(QChar(u)))
            return false;
    }
    return true;
}

int hexPair(QStringView pair)
{
    bool ok = false;
    const int value = pair.toString().toInt(&ok, 16);
    const bool digitsOnly = pair.size() == 2 && std::all_of(pair.begin(), pair.end(), [](QChar c) {
        return c.unicode() < 128 && std::isxdigit(c.unicode());
    });
    return ok && digitsOnly ? value : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = FuzzText(data, size);
    FUZZ_CHECK(IsColorText(text) == referenceIsColor(text));

    const ColorValue color = TextToColor(text);
    FUZZ_CHECK(color <= 0xFFFFFF);
    if (text.size() < 7) {
        FUZZ_CHECK(color == 0);
    } else if (!text.left(7).contains(u'H')) {
        const ColorValue expected = ColorValue(hexPair(QStringView(text).mid(1, 2)))
            + ColorValue(hexPair(QStringView(text).mid(3, 2))) * 256
            + ColorValue(hexPair(QStringView(text).mid(5, 2))) * 65536;
        FUZZ_CHECK(color == expected);
    } else {
        // A pair of which only the H are unknown still reads when its other
        // character is a hexadecimal digit; a pair that does not read is 0.
        for (int pair = 0; pair < 3; ++pair) {
            const QStringView chars = QStringView(text).mid(1 + 2 * pair, 2);
            if (!chars.contains(u'H'))
                FUZZ_CHECK(((color >> (8 * pair)) & 0xFF) == ColorValue(hexPair(chars)));
        }
    }
    return 0;
}
