#include "plot/GameSummary.h"

#include "plot/NumberText.h"

void GameSummary::update(double value, QStringView dateText)
{
    if (!m_hasValues || value < m_min) {
        m_min = value;
        m_minDate = dateText.toString();
    }
    if (!m_hasValues || value > m_max) {
        m_max = value;
        m_maxDate = dateText.toString();
    }
    m_hasValues = true;
}

QString GameSummary::infoLine(const QString &title) const
{
    QString escapedTitle = title;
    escapedTitle.replace(QLatin1Char('&'), QLatin1String("&&"));
    return escapedTitle + QLatin1String(" min: ") + FormatGeneral(m_min) + QLatin1String(" (")
        + FormatRatingDate(m_minDate) + QLatin1String(") / max: ") + FormatGeneral(m_max)
        + QLatin1String(" (") + FormatRatingDate(m_maxDate) + QLatin1Char(')');
}

QString FormatRatingDate(QStringView text)
{
    return text.mid(0, 4).toString() + QLatin1Char('-') + text.mid(4, 2).toString()
        + QLatin1Char('-') + text.mid(6, 2).toString();
}

QString InfoLineAsShown(QString line)
{
    return line.replace(QLatin1String("&&"), QLatin1String("&"));
}
