// The service's ranking lists as the Lists window reads them: their
// addresses, and their CSV answers made into rows.
#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

// "<base>/lists/days", "<base>/lists/top?day=...&count=...[&year=...]",
// "<base>/lists/movers?from=...&to=...&top=...&count=0[&year=...]".
[[nodiscard]] QString ListDaysUrl(const QString &baseUrl);
[[nodiscard]] QString TopListUrl(const QString &baseUrl, QDate day, int count, const QString &year);
[[nodiscard]] QString MoversListUrl(const QString &baseUrl, QDate from, QDate to, int top,
    const QString &year);

// One row of either list; a top list's rank is rankTo, with no rankFrom.
struct ListRow {
    QString id;
    QString name;
    QString year;
    QDate from;
    QDate to;
    std::optional<qint64> rankFrom;
    std::optional<qint64> rankTo;
    std::optional<qint64> change;
    QString status; // movers only
};

// The rows of a top or movers answer (told apart by the header); nothing
// when the text is no such list.
[[nodiscard]] std::optional<QList<ListRow>> ReadListAnswer(const QByteArray &csv);

// The status line under a list: how many games, for movers how many entered,
// left or were not listed, and the day each asked day stood for when the
// archive has no snapshot of it. askedFrom is invalid for a top list.
[[nodiscard]] QString ListSummary(const QList<ListRow> &rows, QDate askedFrom, QDate askedTo);

// The first and last day of a /lists/days answer; nothing when it is none.
struct ListDayRange {
    QDate first;
    QDate last;
};
[[nodiscard]] std::optional<ListDayRange> ReadListDays(const QByteArray &text);
