// Shared test helpers: fixture data paths and temporary program folders.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class PlotChart;

// tests/data folder.
[[nodiscard]] QString TestDataDir();

// A ranking history page: a "boardgame" holding the names and, unless
// statistics is false (the page that ends a game), a "statistics" element
// holding the records.
[[nodiscard]] QByteArray HistoryPageXml(const QByteArray &names, const QByteArray &records,
                                        bool statistics = true);

// The titles of the series on the chart, in chart order.
[[nodiscard]] QStringList SeriesTitles(const PlotChart *chart);
