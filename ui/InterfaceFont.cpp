#include "ui/InterfaceFont.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

QFont InterfaceFont(QFont base)
{
    base.setPixelSize(11);
    base.setStretch(QFont::Condensed);
    return base;
}

// Whether narrow and wide letters take the same room in font.
static bool drawnMonospaced(const QFont &font)
{
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(QStringLiteral("iiii"))
        == metrics.horizontalAdvance(QStringLiteral("WWWW"));
}

QFont MonospacedFont(const QFont &wanted)
{
    if (drawnMonospaced(wanted))
        return wanted;
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (wanted.pixelSize() > 0)
        fixed.setPixelSize(wanted.pixelSize());
    else
        fixed.setPointSizeF(wanted.pointSizeF());
    // Set, not inherited: a widget's font takes what is unset from its parent.
    fixed.setStretch(wanted.stretch() > 0 ? wanted.stretch() : int(QFont::Unstretched));
    fixed.setStyleHint(QFont::TypeWriter);
    if (drawnMonospaced(fixed))
        return fixed;
    // A system fixed font that is not: the first family that is.
    const QStringList families = QFontDatabase::families();
    for (const QString &family : families) {
        if (!QFontDatabase::isFixedPitch(family))
            continue;
        QFont candidate = fixed;
        candidate.setFamily(family);
        if (drawnMonospaced(candidate))
            return candidate;
    }
    return fixed;
}
