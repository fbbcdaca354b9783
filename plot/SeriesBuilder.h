// One game's line as plain data: the points that the date range and the
// Standard or Delta choice let through, in the order the records came.
#pragma once

#include <QDate>
#include <QStringView>
#include <optional>
#include <vector>

// The window's options as they stand when a value arrives.
struct SeriesOptions {
    bool useDateRange = false;
    QDate from; // both ends included
    QDate to;
    bool delta = false;
};

struct SeriesPoint {
    int day; // whole days since 30 December 1899
    double y;
};

// The calendar day of a record's "date" text: characters 1-4, 5-6 and 7-8
// read by the whole-number conversion as year, month and day. Null when a
// group does not read or the numbers name no calendar day.
[[nodiscard]] std::optional<QDate> RecordDate(QStringView dateText);

class SeriesBuilder
{
public:
    // Value of the last point added in Delta mode; this value means none yet.
    static constexpr double NoPrevious = -999999;

    // Adds at most one point. A record whose date does not read, or that
    // lies outside the range, is dropped and leaves the previous value alone.
    void AddPoint(QStringView dateText, double value, const SeriesOptions &options);

    [[nodiscard]] const std::vector<SeriesPoint> &points() const { return m_points; }
    [[nodiscard]] std::vector<SeriesPoint> takePoints() { return std::move(m_points); }

private:
    std::vector<SeriesPoint> m_points;
    double m_previous = NoPrevious;
};
