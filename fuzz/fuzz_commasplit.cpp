// Comma-text splitting: fields never hold a NUL, an unquoted reading is
// consistent, and writing the fields back quoted reads back the same fields.
#include "fuzz/FuzzSupport.h"
#include "service/u_Function.h"

namespace {

QString quoted(const QString &field)
{
    QString doubled = field;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = FuzzText(data, size);
    const QStringList fields = CommaTextSplit(text);

    // Text without any double quote: each field is a run of characters that
    // are neither commas nor blanks or control characters.
    if (!text.contains(u'"')) {
        for (const QString &field : fields) {
            for (QChar c : field)
                FUZZ_CHECK(c != u',' && c.unicode() > 32);
        }
    }
    for (const QString &field : fields)
        FUZZ_CHECK(!field.contains(QChar(u'\0')));

    // Every field quoted with inner quotes doubled, joined by commas.
    QStringList parts;
    for (const QString &field : fields)
        parts << quoted(field);
    const QString joined = parts.join(u',');
    const QStringList again = CommaTextSplit(joined);
    if (again != fields) {
        FuzzDump("text", text);
        FuzzDump("joined", joined);
    }
    FUZZ_CHECK(again == fields);
    return 0;
}
