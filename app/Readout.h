// The arithmetic of the read-out under the mouse: the point of a series
// nearest to the pointer along the date axis, found by binary search in the
// series' ascending points; the choice among the series whose nearest points
// lie within reach; and the text shown for the chosen point.
#pragma once

#include <QPointF>
#include <QString>
#include <cstddef>
#include <optional>

// The index of the point nearest to x among count points whose x values,
// xAt(0) ... xAt(count - 1), ascend; of two as near, the earlier, and of
// points at the same x, the one on x's side. Nothing for no points. xAt is
// called about log2(count) + 2 times.
template <typename XAt>
[[nodiscard]] std::optional<std::ptrdiff_t> NearestIndex(std::ptrdiff_t count, double x, XAt &&xAt)
{
    if (count <= 0)
        return std::nullopt;
    // The first point at or after x, then the one before it if nearer.
    std::ptrdiff_t low = 0;
    std::ptrdiff_t high = count;
    while (low < high) {
        const std::ptrdiff_t middle = low + (high - low) / 2;
        if (xAt(middle) < x)
            low = middle + 1;
        else
            high = middle;
    }
    if (low == count)
        return count - 1;
    if (low > 0 && x - xAt(low - 1) <= xAt(low) - x)
        return low - 1;
    return low;
}

// The point a read-out shows.
struct ReadoutHit {
    int series = -1;           // as numbered by the caller
    std::ptrdiff_t point = -1; // index in the series
    QPointF at;                // where it is drawn, in pixels
};

// Collects each series' nearest point and keeps the one the read-out shows:
// of the points drawn within reach of the pointer along the date axis, the
// one nearest to it across the axis, then along it; of equals, the first
// offered.
class ReadoutChoice
{
public:
    ReadoutChoice(QPointF pointer, double reach) : m_pointer(pointer), m_reach(reach) {}

    void offer(int series, std::ptrdiff_t point, QPointF at);
    [[nodiscard]] const std::optional<ReadoutHit> &hit() const { return m_hit; }

private:
    QPointF m_pointer;
    double m_reach;
    std::optional<ReadoutHit> m_hit;
};

// The read-out's text: the series' title on the first line; the day in the
// format "dd/MM/yyyy" and the value on the second. A whole value shows
// without decimals, any other with the decimals it has.
[[nodiscard]] QString ReadoutText(const QString &title, int day, double value);
// A value as the read-out shows it.
[[nodiscard]] QString ReadoutValue(double value);
// A day as the read-out shows it: "dd/MM/yyyy".
[[nodiscard]] QString ReadoutDate(int day);
