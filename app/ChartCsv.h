// The chart's points as CSV text: UTF-8, a header line, then one row per
// point. Fields are quoted as RFC 4180 says; numbers use "." whatever the
// locale, in the shortest form that reads back to the same double.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// "series,title,axis,color,date,value" and a line break.
[[nodiscard]] QByteArray CsvHeader();

// The field as it stands, or in double quotes with inner quotes doubled when
// it holds a comma, a double quote or a line break.
[[nodiscard]] QString CsvField(QStringView text);

// Shortest text that reads back to the same double, "." as decimal point.
[[nodiscard]] QString ShortestNumber(double value);

struct CsvPoint {
    int series;        // 1-based position on the chart
    QString title;
    bool rightAxis;
    QString color;     // "#RRGGBB"
    int day;           // days since 30 December 1899
    double value;
};

// One row with its line break.
[[nodiscard]] QByteArray CsvRow(const CsvPoint &point);
