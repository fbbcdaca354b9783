// What the Load benchmark measures besides the Load itself: peak memory and
// processor time, the floor of parsing the pages with pugixml, the service's
// own pace, making a page file, the page loop alone, and mouse moves over the
// chart.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <Qt>

#include <cstddef>

class PlotChart;

double peakMegabytes();

// This process's processor time so far (user and system), in seconds: on a
// busy machine a steadier measure of the program's own work than the clock.
double cpuSeconds();

double seconds(const QElapsedTimer &timer);

// The floor: parse each page file with pugixml and walk it for the same
// (date, value) pairs: the record's "date" digits and the element's text,
// read as numbers, in the order the Load reads them.
long long floorWalk(const QStringList &files, const char *element);

// The service's own pace: every target fetched in turn by a blocking HTTP/1.1
// client on one keep-alive connection (a new one when the service closes it).
// Pages per second, or 0 when an answer was not a whole status-200 one.
double keepAlivePagesPerSecond(quint16 port, const QStringList &targets);

// The mean time to make a file of a page's size through a temporary file
// renamed into place, as the cache does, in a new folder.
double fileMakingMilliseconds(const QString &folder);

// Every page file of the games, in Load order: up to and including the page
// without "statistics".
QStringList pageFiles(const QString &cacheFolder, const QStringList &ids);

// The page loop alone, with hooks that do nothing.
size_t loopOnly(const QString &cacheFolder, const QString &node, const QStringList &ids);

// A thousand mouse moves across the middle of the plot area, each finding
// the point under the pointer (or, with Shift held, every game's value at
// the day under it, for the date cursor): the mean time of one. With paint,
// each move's repaint of what it changed is timed with it.
double moveMicroseconds(PlotChart &chart, Qt::KeyboardModifiers modifiers, bool paint = false);
