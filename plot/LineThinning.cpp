#include "plot/LineThinning.h"

#include <algorithm>
#include <cmath>

void ThinToColumns(QList<QPointF> &points, double origin, double columnWidth)
{
    if (!(columnWidth > 0))
        return;
    const auto columnOf = [&](const QPointF &p) { return std::floor((p.x() - origin) / columnWidth); };
    // Compacted in place: the kept points of a column are written no later
    // than where they were read from.
    const qsizetype n = points.size();
    qsizetype kept = 0;
    qsizetype first = 0;
    while (first < n) {
        const double column = columnOf(points[first]);
        qsizetype low = first;
        qsizetype high = first;
        qsizetype end = first + 1;
        for (; end < n && columnOf(points[end]) == column; ++end) {
            if (points[end].y() < points[low].y())
                low = end;
            if (points[end].y() > points[high].y())
                high = end;
        }
        const qsizetype picks[] = { first, std::min(low, high), std::max(low, high), end - 1 };
        for (int i = 0; i < 4; ++i) {
            if (i == 0 || picks[i] != picks[i - 1])
                points[kept++] = points[picks[i]];
        }
        first = end;
    }
    points.resize(kept);
}
