#include "app/ChartCsv.h"

#include "service/u_Function.h"

#include <charconv>

QByteArray CsvHeader()
{
    return QByteArrayLiteral("series,title,axis,color,date,value\n");
}

QString CsvField(QStringView text)
{
    const bool needsQuotes = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
    if (!needsQuotes)
        return text.toString();
    QString quoted = text.toString();
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString ShortestNumber(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QByteArray CsvRow(const CsvPoint &point)
{
    const QString row = QString::number(point.series) + QLatin1Char(',') + CsvField(point.title)
        + QLatin1Char(',') + QLatin1String(point.rightAxis ? "right" : "left") + QLatin1Char(',')
        + point.color + QLatin1Char(',')
        + DaysToDate(point.day).toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(',')
        + ShortestNumber(point.value) + QLatin1Char('\n');
    return row.toUtf8();
}
