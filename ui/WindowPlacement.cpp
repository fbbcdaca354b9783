#include "ui/WindowPlacement.h"

#include <algorithm>

bool IsRealFrame(const QRect &frame, const QRect &client)
{
    if (!client.isValid() || frame == client || !frame.contains(client))
        return false;
    const int left = client.left() - frame.left();
    const int top = client.top() - frame.top();
    const int right = frame.right() - client.right();
    const int bottom = frame.bottom() - client.bottom();
    return std::max({left, right, bottom}) <= PlausibleFrameSide && top <= PlausibleFrameTop;
}

// The area of a rectangle's part on another.
static qint64 overlap(const QRect &a, const QRect &b)
{
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : qint64(common.width()) * common.height();
}

QRect FitOnScreens(const QRect &frame, const QList<QRect> &areas)
{
    if (areas.isEmpty())
        return frame;
    QRect area = areas.constFirst();
    qint64 most = overlap(frame, area);
    for (const QRect &candidate : areas) {
        const qint64 part = overlap(frame, candidate);
        if (part > most) {
            most = part;
            area = candidate;
        }
    }
    QRect fitted(frame.topLeft(), frame.size().boundedTo(area.size()));
    fitted.moveLeft(std::clamp(fitted.left(), area.left(), area.right() + 1 - fitted.width()));
    fitted.moveTop(std::clamp(fitted.top(), area.top(), area.bottom() + 1 - fitted.height()));
    return fitted;
}
