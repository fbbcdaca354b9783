// Text values of prepared pages: StripMarkup against the rule read literally
// (remove tags, then decode the first numeric reference again and again,
// searching from the start each time) and RestoreAmpersands against its two
// replacements.
#include "fuzz/FuzzSupport.h"
#include "service/Windows1252.h"
#include "service/XmlPrepare.h"
#include "service/u_Function.h"

namespace {

// Each pass shortens the text by at least three characters, so the literal
// rule always ends; inputs are capped to keep its quadratic cost small.
constexpr size_t MaxInput = 4096;

QString referenceStrip(const QString &text)
{
    QString s;
    bool copying = true;
    for (QChar c : text) {
        if (c == u'<')
            copying = false;
        else if (c == u'>')
            copying = true;
        else if (copying)
            s += c;
    }
    while (true) {
        const qsizetype amp = s.indexOf(QStringLiteral("&#"));
        if (amp < 0)
            break;
        const qsizetype semicolon = s.indexOf(u';', amp + 2);
        if (semicolon < 0)
            break;
        const auto number = WholeNumber(QStringView(s).mid(amp + 2, semicolon - amp - 2));
        QString replacement;
        if (number) {
            if (*number <= 255) {
                replacement = Windows1252Char(uchar(*number & 0xFF));
            } else {
                const QChar c(char16_t(*number & 0xFFFF));
                replacement = c.isSurrogate() ? QChar(u'?') : c;
            }
        }
        s.replace(amp, semicolon - amp + 1, replacement);
    }
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > MaxInput)
        return 0;
    const QString text = FuzzText(data, size);

    const QString stripped = StripMarkup(text);
    const QString expected = referenceStrip(text);
    if (stripped != expected) {
        FuzzDump("text", text);
        FuzzDump("got", stripped);
        FuzzDump("expected", expected);
    }
    FUZZ_CHECK(stripped == expected);

    QString restored = text;
    restored.replace(QLatin1String(AmpersandMarker), QStringLiteral("&"));
    restored.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    FUZZ_CHECK(RestoreAmpersands(text) == restored);
    // The order names use: restore, then strip.
    (void)StripMarkup(RestoreAmpersands(text));
    return 0;
}
