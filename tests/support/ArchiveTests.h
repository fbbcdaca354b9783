// What the archive's test programs share: small snapshot texts, the program
// run, files written and read whole, CSV fields, a game's history read back,
// and generated snapshots and archives, made once per test program.
#pragma once

#include "archive/ArchiveReader.h"
#include "support/TestSupport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

inline const QByteArray Header = "ID,Name,Year,Rank,Average,Bayes average,Users rated\n";
inline const QByteArray Alpha = "13,Alpha,2001,3,7.25,5.61,120\n";

// plotwise-archive with these arguments.
RunResult Archive(const QStringList &args);
// Fails the test when the file cannot be written whole.
void WriteFile(const QString &path, const QByteArray &bytes);
// "(missing)" when it cannot be read.
QByteArray ReadAll(const QString &path);

// The fields of one CSV line, quotes undone.
QStringList CsvFields(const QByteArray &line);

// Every record of a game, page by page.
// title, when given, gets "NAME|YEAR" of the latest title.
QStringList History(ArchiveReader &reader, uint32_t game, QString *title = nullptr);

// The target of a history page of game.
QByteArray PageTarget(int game, const QByteArray &page);

// Generated snapshots, shared by the tests that need a real-sized set: the
// folder name in this program's temporary folder, made by the generator
// with args the first time.
QString GeneratedSnapshots(const QString &name, const QStringList &args);

// An archive of game 13 over 101 days: page 1 full, page 2 its last page
// with records, page 3 its end page.
QString CachingArchive();
