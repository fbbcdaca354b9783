#include "app/Readout.h"

#include "service/u_Function.h"

#include <cmath>

void ReadoutChoice::offer(int series, std::ptrdiff_t point, QPointF at)
{
    const double along = std::abs(at.x() - m_pointer.x());
    if (!(along <= m_reach))
        return;
    const double across = std::abs(at.y() - m_pointer.y());
    if (m_hit) {
        const double bestAcross = std::abs(m_hit->at.y() - m_pointer.y());
        const double bestAlong = std::abs(m_hit->at.x() - m_pointer.x());
        if (across > bestAcross || (across == bestAcross && along >= bestAlong))
            return;
    }
    m_hit = ReadoutHit{series, point, at};
}

QString ReadoutValue(double value)
{
    // Twelve significant digits show every decimal a page gives a value and
    // drop the binary tail of a difference (7.2 - 7.1 reads 0.1).
    return QString::number(value, 'g', 12);
}

QString ReadoutDate(int day)
{
    return DaysToDate(day).toString(QStringLiteral("dd/MM/yyyy"));
}

QString ReadoutText(const QString &title, int day, double value)
{
    return title + QLatin1Char('\n') + ReadoutDate(day) + QStringLiteral("   ") + ReadoutValue(value);
}
