#include "service/RetryAfter.h"

#include <QLocale>
#include <QTimeZone>
#include <charconv>

std::optional<qint64> RetryAfterMs(const QByteArray &value, const QDateTime &now)
{
    const QByteArray text = value.trimmed();
    if (text.isEmpty())
        return std::nullopt;

    // Seconds; absurd counts are cut to about 30 years, still a wait that no
    // caller accepts.
    constexpr qint64 maxSeconds = 1'000'000'000;
    qint64 seconds = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (end == text.data() + text.size()) {
        if (ec == std::errc::result_out_of_range && text[0] != '-')
            return maxSeconds * 1000;
        if (ec != std::errc() || seconds < 0)
            return std::nullopt;
        return std::min(seconds, maxSeconds) * 1000;
    }

    // The date forms name months in English, whatever the user's locale. The
    // leading day name is left out: it says nothing the date does not, and
    // Qt would check it against a two-digit year's century. asctime pads a
    // one-digit day with a blank.
    const QString date = QString::fromLatin1(text).simplified().section(u' ', 1);
    for (const char *format :
        { "dd MMM yyyy hh:mm:ss 'GMT'", "dd-MMM-yy hh:mm:ss 'GMT'", "MMM d hh:mm:ss yyyy" }) {
        QDateTime when = QLocale::c().toDateTime(date, QString::fromLatin1(format));
        if (!when.isValid())
            continue;
        if (when.date().year() < 1970) // two-digit years of the RFC 850 form
            when = when.addYears(100);
        when.setTimeZone(QTimeZone::utc());
        return std::max<qint64>(0, now.msecsTo(when));
    }
    return std::nullopt;
}
