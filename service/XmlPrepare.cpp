// Page-file preparation: hides every "&" from the XML parser, and turns the
// values read back into display text.
#include "service/XmlPrepare.h"

#include "service/FileBytes.h"
#include "service/PlotwiseError.h"
#include "service/Windows1252.h"
#include "service/u_Function.h"

#include <algorithm>
#include <cstring>

namespace {

// The first c in [from, end), or end.
const char *find(const char *from, const char *end, char c)
{
    const void *found = std::memchr(from, c, size_t(end - from));
    return found ? static_cast<const char *>(found) : end;
}

} // namespace

QByteArray PrepareXmlBytes(QByteArrayView data)
{
    // Bytes throughout: the page keeps whatever single-byte or UTF-8 encoding
    // its declaration names, byte for byte. Any run of CR and LF ends a line
    // (the empty lines between them are dropped). One pass, memchr finding
    // the next CR, LF and "&", each looked for again only once passed.
    const qsizetype nul = data.indexOf('\0');
    if (nul >= 0)
        data.truncate(nul);
    if (data.isEmpty()) // memchr is not to be given the null pointer of no bytes
        return {};
    static constexpr qsizetype markerSize = sizeof(AmpersandMarker) - 1;
    const char *const begin = data.data();
    const char *const end = begin + data.size();
    // A line of n bytes and its end (at least one byte) become n + 2 bytes,
    // a last line without an end n + 2: at most half as much again, plus
    // each marker's length beyond its "&".
    const qsizetype ampersands = std::count(begin, end, '&');
    QByteArray prepared(data.size() + data.size() / 2 + 2 + ampersands * (markerSize - 1),
        Qt::Uninitialized);
    char *out = prepared.data();
    const char *lf = find(begin, end, '\n');
    const char *cr = find(begin, end, '\r');
    const char *amp = find(begin, end, '&');
    for (const char *p = begin; p < end;) {
        if (lf < p)
            lf = find(p, end, '\n');
        if (cr < p)
            cr = find(p, end, '\r');
        const char *const lineEnd = std::min(lf, cr);
        if (lineEnd > p) {
            for (const char *run = p;;) {
                if (amp < run)
                    amp = find(run, end, '&');
                const char *const runEnd = std::min(amp, lineEnd);
                out = std::copy(run, runEnd, out);
                if (runEnd == lineEnd)
                    break;
                out = std::copy_n(AmpersandMarker, markerSize, out);
                run = runEnd + 1;
            }
            *out++ = '\r';
            *out++ = '\n';
        }
        p = lineEnd + 1;
    }
    prepared.truncate(out - prepared.data());
    return prepared;
}

void PrepareXmlFile(const QString &fileName)
{
    const QString reason = WriteFileAtomically(
        fileName, PrepareXmlBytes(ReadFileBytes(fileName)), Durability::Unsynced);
    if (!reason.isEmpty())
        throw PlotwiseError(QStringLiteral("Unable to write to %1: %2").arg(FullPath(fileName), reason));
}

QString RestoreAmpersands(const QString &text)
{
    QString restored = text;
    restored.replace(QLatin1String(AmpersandMarker), QStringLiteral("&"));
    restored.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return restored;
}

namespace {

QString withoutTags(const QString &text)
{
    QString copied;
    copied.reserve(text.size());
    bool copying = true;
    for (const QChar c : text) {
        if (c == u'<')
            copying = false;
        else if (c == u'>')
            copying = true;
        else if (copying)
            copied += c;
    }
    return copied;
}

// The character a numeric reference stands for: up to 255 the Windows-1252
// character of that byte (a negative number by its low eight bits), above
// that the Unicode character of the low 16 bits; a lone surrogate has no
// character of its own and becomes "?".
QChar referencedChar(qint32 number)
{
    if (number <= 255)
        return Windows1252Char(uchar(number & 0xFF));
    const QChar c(char16_t(number & 0xFFFF));
    return c.isSurrogate() ? QChar(u'?') : c;
}

} // namespace

QString StripMarkup(const QString &text)
{
    // Decodes the first "&#...;" of the whole text again and again until none
    // is left, so a reference that a decoded character forms ("&#38;#65;") is
    // decoded too. Done in one forward pass: `done` never holds an "&#", and a
    // decoded character is put back in front of the unread rest, where the
    // next search sees it together with what follows.
    QString rest = withoutTags(text);
    QString done;
    done.reserve(rest.size());
    qsizetype pos = 0;
    while (true) {
        qsizetype hash; // position in `rest` of the reference's "#"
        const bool ampInDone = done.endsWith(u'&') && pos < rest.size() && rest[pos] == u'#';
        if (ampInDone) {
            hash = pos;
        } else {
            const qsizetype amp = rest.indexOf(QStringLiteral("&#"), pos);
            if (amp < 0)
                break;
            hash = amp + 1;
        }
        const qsizetype semicolon = rest.indexOf(u';', hash + 1);
        if (semicolon < 0)
            break; // no reference can be complete: the text stays as it is
        if (ampInDone)
            done.chop(1);
        else
            done += QStringView(rest).mid(pos, hash - 1 - pos);

        const auto number = WholeNumber(QStringView(rest).mid(hash + 1, semicolon - hash - 1));
        if (number) {
            rest[semicolon] = referencedChar(*number);
            pos = semicolon;
        } else {
            pos = semicolon + 1; // not a number: the reference is removed
        }
    }
    done += QStringView(rest).mid(pos);
    return done;
}
