#include "lists/ListsAnswer.h"

#include <QStringList>

#include <algorithm>

namespace {

QString Base(const QString &baseUrl)
{
    QString base = baseUrl;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base + QStringLiteral("/lists/");
}

QString IsoDate(QDate day)
{
    return day.toString(Qt::ISODate);
}

QString YearParameter(const QString &year)
{
    return year.trimmed().isEmpty() ? QString() : QStringLiteral("&year=") + year.trimmed();
}

// The fields of one CSV line as RFC 4180 quotes them (no line breaks inside:
// the lists' names have none).
QStringList Fields(const QString &line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < line.size() && line[i + 1] == QLatin1Char('"'))
                field += line[++i];
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                field += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

std::optional<qint64> Number(const QString &text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

} // namespace

QString ListDaysUrl(const QString &baseUrl)
{
    return Base(baseUrl) + QStringLiteral("days");
}

QString TopListUrl(const QString &baseUrl, QDate day, int count, const QString &year)
{
    return Base(baseUrl) + QStringLiteral("top?day=%1&count=%2").arg(IsoDate(day)).arg(count)
        + YearParameter(year);
}

QString MoversListUrl(const QString &baseUrl, QDate from, QDate to, int top, const QString &year)
{
    return Base(baseUrl)
        + QStringLiteral("movers?from=%1&to=%2&top=%3&count=0").arg(IsoDate(from), IsoDate(to)).arg(top)
        + YearParameter(year);
}

std::optional<QList<ListRow>> ReadListAnswer(const QByteArray &csv)
{
    QStringList lines = QString::fromUtf8(csv).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty())
        return std::nullopt;
    const QString header = lines.takeFirst();
    const bool top = header == QLatin1String("day,rank,id,name,year,average,bayes_average,users_rated");
    if (!top && header != QLatin1String("from,to,id,name,year,rank_from,rank_to,change,status"))
        return std::nullopt;
    QList<ListRow> rows;
    for (const QString &line : lines) {
        const QStringList f = Fields(line);
        if (f.size() != (top ? 8 : 9))
            return std::nullopt;
        ListRow row;
        row.id = f[2];
        row.name = f[3];
        row.year = f[4];
        if (top) {
            row.to = QDate::fromString(f[0], Qt::ISODate);
            row.rankTo = Number(f[1]);
        } else {
            row.from = QDate::fromString(f[0], Qt::ISODate);
            row.to = QDate::fromString(f[1], Qt::ISODate);
            row.rankFrom = Number(f[5]);
            row.rankTo = Number(f[6]);
            row.change = Number(f[7]);
            row.status = f[8];
        }
        rows << row;
    }
    return rows;
}

QString ListSummary(const QList<ListRow> &rows, QDate askedFrom, QDate askedTo)
{
    if (rows.isEmpty())
        return QStringLiteral("No games in this list.");
    QString text
        = rows.size() == 1 ? QStringLiteral("1 game") : QStringLiteral("%1 games").arg(rows.size());
    QStringList statuses;
    for (const char *status : { "entered", "left", "not listed" }) {
        const auto count = std::count_if(rows.begin(), rows.end(),
            [&](const ListRow &row) { return row.status == QLatin1String(status); });
        if (count > 0)
            statuses << QStringLiteral("%1 %2").arg(count).arg(QLatin1String(status));
    }
    if (!statuses.isEmpty())
        text += QStringLiteral(": ") + statuses.join(QStringLiteral(", "));
    text += QLatin1Char('.');
    // Every row holds the days used; a day without a snapshot stands for the
    // latest one before it.
    const auto note = [&text](QDate asked, QDate used) {
        if (asked.isValid() && used.isValid() && asked != used)
            text += QStringLiteral(" %1 has no snapshot: the list uses %2.")
                        .arg(asked.toString(Qt::ISODate), used.toString(Qt::ISODate));
    };
    note(askedFrom, rows.first().from);
    note(askedTo, rows.first().to);
    return text;
}

std::optional<ListDayRange> ReadListDays(const QByteArray &text)
{
    ListDayRange range;
    for (const QString &line : QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char(','));
        if (f.size() >= 2 && f[0] == QLatin1String("first"))
            range.first = QDate::fromString(f[1], Qt::ISODate);
        else if (f.size() >= 2 && f[0] == QLatin1String("last"))
            range.last = QDate::fromString(f[1], Qt::ISODate);
    }
    if (!range.first.isValid() || !range.last.isValid())
        return std::nullopt;
    return range;
}
