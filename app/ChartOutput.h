// Writes what the chart holds to files: every point as CSV, and the chart
// drawn at a chosen size as BMP, PNG, JPEG, PDF or SVG (a headless run), or
// at its own size as Save graph writes it; and prints it.
// Both write through a temporary file renamed into place, and throw
// PlotwiseError("Cannot create file "<path>". <reason>") when they cannot.
#pragma once

#include "app/CommandLine.h"

#include <QImage>
#include <QSize>
#include <QString>

class PlotChart;
class QPrinter;

// Rows in the order of the series on the chart, then of their points.
void WriteChartCsv(const PlotChart &chart, const QString &path);

// The format follows the extension (see ImageFormatOf); PDF and SVG are
// vector output of size points or pixels.
void WriteChartImage(PlotChart &chart, const QString &path, QSize size);
// The chart drawn at size on white, as a saved bitmap holds it.
[[nodiscard]] QImage ChartImage(PlotChart &chart, QSize size);

// The same in the given format, whatever the extension; Unknown is a BMP.
void WriteChartImage(PlotChart &chart, const QString &path, QSize size, ImageFormat format);

// Save graph: the chart as drawn at its current size on white, in the format
// the extension names (as --save writes it; every other name gets a BMP), or
// for a .csv name every point as --csv writes them.
void SaveGraphImage(PlotChart &chart, const QString &path);

// One page on the default printer, no dialog; throws PlotwiseError.
void PrintChart(PlotChart &chart);
// One page on the given printer, the job titled with the chart's object
// name; a failed job is aborted and throws PlotwiseError.
void PrintChartTo(PlotChart &chart, QPrinter &printer);
