// The settings file, parsed line by line on its bytes so that every line the
// program does not write goes back to disk exactly as it was.
//
// Format: UTF-8 text, lines ending in LF or CR LF. A line whose trimmed text
// starts with "[" and holds a "]" is a section header; the name is what lies
// between them, blanks trimmed. A line holding "=" is a key line; the key is
// the text before the first "=" and the value the text after it, both with
// blanks trimmed. Lines starting with ";" or "#", blank lines and any other
// text are kept verbatim and mean nothing. Section and key names compare
// without regard to case; only the first section of a name counts, and in it
// the first line of a key.
#include "app/IniFile.h"

#include "service/FileBytes.h"
#include "service/PlotwiseError.h"
#include "service/u_Function.h"

#include <QCalendar>
#include <QFile>
#include <QLocale>

namespace {

// Where a key stands in the file's bytes.
struct KeyPlace {
    bool sectionFound = false;
    qsizetype insertAt = -1;  // after the section's last non-blank line
    qsizetype lineStart = -1; // the key's line, without its line end; -1: none
    qsizetype lineEnd = -1;
    QByteArrayView value;     // trimmed
};

bool sameName(QByteArrayView utf8, const QString &name)
{
    return QString::fromUtf8(utf8).compare(name, Qt::CaseInsensitive) == 0;
}

KeyPlace findKey(const QByteArray &bytes, const QString &section, const QString &key)
{
    KeyPlace place;
    bool inSection = false;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        if (end > start && bytes[end - 1] == '\r')
            --end;
        const QByteArrayView line = QByteArrayView(bytes).sliced(start, end - start).trimmed();

        const qsizetype close = line.startsWith('[') ? line.indexOf(']') : -1;
        if (close > 0) {
            if (inSection)
                break; // only the first section of the name counts
            if (!place.sectionFound && sameName(line.sliced(1, close - 1).trimmed(), section)) {
                place.sectionFound = inSection = true;
                place.insertAt = next;
            }
        } else if (inSection && !line.isEmpty()) {
            place.insertAt = next;
            const qsizetype equals = line.indexOf('=');
            if (equals > 0 && !line.startsWith(';') && !line.startsWith('#')
                && sameName(line.first(equals).trimmed(), key)) {
                place.lineStart = start;
                place.lineEnd = end;
                place.value = line.sliced(equals + 1).trimmed();
                break;
            }
        }
        start = next;
    }
    return place;
}

// The stored text of a key with one pair of enclosing quotes dropped, or
// nothing when the file, section or key is missing.
std::optional<QString> readValue(const QString &path, const QString &section, const QString &key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    const KeyPlace place = findKey(bytes, section, key);
    if (place.lineStart < 0)
        return std::nullopt;
    QByteArrayView value = place.value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
        && value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    return QString::fromUtf8(value);
}

// Integers: "0x"/"0X" (with digits after it) and "$" mean hexadecimal,
// anything else must be decimal with an optional sign.
std::optional<qint32> iniInteger(const QString &text)
{
    const bool hex = (text.size() > 2 && text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        || text.startsWith(u'$');
    if (!hex) {
        const qsizetype digits = text.startsWith(u'+') || text.startsWith(u'-') ? 1 : 0;
        for (qsizetype i = digits; i < text.size(); ++i) {
            if (text[i] < u'0' || text[i] > u'9')
                return std::nullopt;
        }
    }
    return WholeNumber(text);
}

QByteArray lineEndOf(const QByteArray &bytes)
{
    const qsizetype lf = bytes.indexOf('\n');
    return lf > 0 && bytes[lf - 1] == '\r' ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
}

void writeValue(const QString &path, const QString &section, const QString &key, QString value)
{
    const QString refused = QStringLiteral("Unable to write to %1").arg(FullPath(path));
    QByteArray bytes;
    QFile file(path);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly))
            throw PlotwiseError(refused);
        bytes = file.readAll();
        file.close();
    }

    // A value keeps to its one line: line breaks (a multi-line game box)
    // become blanks, which separate game IDs just as the line break did.
    value.replace(u'\r', u' ').replace(u'\n', u' ');
    const QByteArray keyLine = key.toUtf8() + '=' + value.toUtf8();
    const QByteArray eol = lineEndOf(bytes);
    const KeyPlace place = findKey(bytes, section, key);
    if (place.lineStart >= 0) {
        bytes.replace(place.lineStart, place.lineEnd - place.lineStart, keyLine);
    } else {
        const qsizetype at = place.sectionFound ? place.insertAt : bytes.size();
        QByteArray added = place.sectionFound ? keyLine + eol
                                              : '[' + section.toUtf8() + ']' + eol + keyLine + eol;
        if (at > 0 && bytes[at - 1] != '\n')
            added.prepend(eol);
        bytes.insert(at, added);
    }

    if (!WriteFileAtomically(path, bytes).isEmpty())
        throw PlotwiseError(refused);
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

qint32 IniFile::ReadIniInteger(const QString &section, const QString &key, qint32 def) const
{
    const auto text = readValue(m_path, section, key);
    const auto number = text ? iniInteger(*text) : std::nullopt;
    return number.value_or(def);
}

bool IniFile::ReadIniBool(const QString &section, const QString &key, bool def) const
{
    return ReadIniInteger(section, key, def ? 1 : 0) != 0;
}

QString IniFile::ReadIniString(const QString &section, const QString &key, const QString &def) const
{
    return readValue(m_path, section, key).value_or(def);
}

int TwoDigitYearNear(int twoDigits, int currentYear)
{
    const int year = currentYear - currentYear % 100 + twoDigits;
    if (year >= currentYear + 50)
        return year - 100;
    if (year < currentYear - 50)
        return year + 100;
    return year;
}

// A date in the user's short date format. Qt reads a two-digit year as one of
// the 1900s; it is moved to the century near today instead. The text is read
// in the Julian calendar, where 1900 is a leap year like 2000, so that a
// 29 February of year "00" is not lost before its century is chosen.
static QDate shortFormatDate(const QString &text)
{
    const QLocale locale;
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yy")) || format.contains(QLatin1String("yyyy")))
        return locale.toDate(text, format);
    const QCalendar julian(QCalendar::System::Julian);
    const QCalendar::YearMonthDay read = julian.partsFromDate(locale.toDate(text, format, julian));
    if (!read.isValid())
        return {};
    return QDate(TwoDigitYearNear(read.year % 100, QDate::currentDate().year()), read.month, read.day);
}

QDate IniFile::ReadIniDate(const QString &section, const QString &key, QDate def) const
{
    // yyyy-mm-dd as written; the user's short date format for files written
    // by earlier versions that stored dates that way.
    const auto text = readValue(m_path, section, key);
    if (!text)
        return def;
    QDate date = QDate::fromString(*text, Qt::ISODate);
    if (!date.isValid())
        date = shortFormatDate(*text);
    return date.isValid() ? date : def;
}

void IniFile::WriteIniInteger(const QString &section, const QString &key, qint32 value)
{
    writeValue(m_path, section, key, QString::number(value));
}

void IniFile::WriteIniBool(const QString &section, const QString &key, bool value)
{
    writeValue(m_path, section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::WriteIniString(const QString &section, const QString &key, const QString &value)
{
    writeValue(m_path, section, key, value);
}

void IniFile::WriteIniDate(const QString &section, const QString &key, QDate value)
{
    writeValue(m_path, section, key, value.toString(Qt::ISODate));
}
