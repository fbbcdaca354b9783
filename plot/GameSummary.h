// A game's lowest and highest value with the dates of their records, and the
// info line that reports them.
#pragma once

#include <QString>
#include <QStringView>

class GameSummary
{
public:
    // Counts every value read, plain (never a Delta difference). Only a
    // strictly lower or higher value replaces the one held, so ties keep the
    // earlier record.
    void update(double value, QStringView dateText);

    [[nodiscard]] bool hasValues() const { return m_hasValues; }
    [[nodiscard]] double minimum() const { return m_min; }
    [[nodiscard]] double maximum() const { return m_max; }

    // "<title with & doubled> min: 12 (2009-03-15) / max: 431 (2007-01-02)".
    [[nodiscard]] QString infoLine(const QString &title) const;

private:
    bool m_hasValues = false;
    double m_min = 0;
    double m_max = 0;
    QString m_minDate;
    QString m_maxDate;
};

// An info line as the Info box and --info show it: each "&&" as one "&".
[[nodiscard]] QString InfoLineAsShown(QString line);

// Characters 1-4, "-", 5-6, "-", 7-8: "yyyymmdd" gives "yyyy-mm-dd"; a shorter
// text gives shorter parts, the empty text "--".
[[nodiscard]] QString FormatRatingDate(QStringView text);
