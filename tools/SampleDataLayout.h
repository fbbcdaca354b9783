// Where a sample data folder keeps each kind of answer; shared by the data
// generator, which writes the folder, and the sample service, which serves it.
#pragma once

#include <QDir>
#include <QString>

// History page n of a game: "boardgame/<id>/<n>.xml".
inline QString SampleHistoryPagePath(const QString &dataDir, const QString &id, int page)
{
    return QDir(dataDir).filePath(QStringLiteral("boardgame/%1/%2.xml").arg(id).arg(page));
}

// The page served for every page number past the game's history: the game
// record without "statistics", which ends a reader's page walk.
inline QString SampleEndPagePath(const QString &dataDir, const QString &id)
{
    return QDir(dataDir).filePath(QStringLiteral("boardgame/%1/end.xml").arg(id));
}

inline QString SampleGameDir(const QString &dataDir, const QString &id)
{
    return QDir(dataDir).filePath(QStringLiteral("boardgame/%1").arg(id));
}

inline QString SampleGeeklistPath(const QString &dataDir, const QString &number)
{
    return QDir(dataDir).filePath(QStringLiteral("geeklist/%1.xml").arg(number));
}

// Every game the name search can find, as the search answer's "boardgame"
// elements; the service answers with those whose names match.
inline QString SampleSearchIndexPath(const QString &dataDir)
{
    return QDir(dataDir).filePath(QStringLiteral("search.xml"));
}
