#include "app/ChartOutput.h"

#include "app/ChartCsv.h"
#include "app/CommandLine.h"
#include "app/PlotChart.h"
#include "service/PlotwiseError.h"

#include <QChart>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace {

[[noreturn]] void cannotCreate(const QString &path, const QString &reason)
{
    throw PlotwiseError(QStringLiteral("Cannot create file \"%1\". %2")
                            .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()),
                                 reason));
}

void openOrThrow(QSaveFile &file)
{
    if (!file.open(QIODevice::WriteOnly))
        cannotCreate(file.fileName(), file.errorString());
}

void commitOrThrow(QSaveFile &file)
{
    if (!file.commit())
        cannotCreate(file.fileName(), file.errorString());
}

// Draws the chart into painter over target, laid out at size. The chart is
// resized for the drawing and given its own size back afterwards, so the
// window's chart is unchanged.
void renderChart(PlotChart &view, QPainter &painter, const QRectF &target, QSize size)
{
    view.repaintNow();
    QChart *chart = view.chart();
    const QSizeF oldSize = chart->size();
    chart->resize(size);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(target, Qt::white);
    chart->scene()->render(&painter, target, chart->sceneBoundingRect());
    chart->resize(oldSize);
}

const char *bitmapFormat(ImageFormat format)
{
    switch (format) {
    case ImageFormat::Png:
        return "PNG";
    case ImageFormat::Jpeg:
        return "JPG";
    default:
        return "BMP";
    }
}

} // namespace

void WriteChartCsv(const PlotChart &chart, const QString &path)
{
    QSaveFile file(path);
    openOrThrow(file);
    file.write(CsvHeader());
    int position = 0;
    for (const PlotSeries *series : chart.series()) {
        ++position;
        CsvPoint row{position, series->title(), series->axis() == VertAxis::Right,
                     series->color().name().toUpper(), 0, 0.0};
        for (const ChartPoint &point : series->points()) {
            row.day = point.day;
            row.value = point.y;
            file.write(CsvRow(row));
        }
    }
    commitOrThrow(file);
}

void WriteChartImage(PlotChart &chart, const QString &path, QSize size)
{
    WriteChartImage(chart, path, size, ImageFormatOf(path));
}

void WriteChartImage(PlotChart &chart, const QString &path, QSize size, ImageFormat format)
{
    QSaveFile file(path);
    openOrThrow(file);
    const QRectF target(QPointF(0, 0), size);
    if (format == ImageFormat::Pdf) {
        QPdfWriter pdf(&file);
        pdf.setResolution(72); // one point per pixel
        pdf.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
        pdf.setPageMargins(QMarginsF());
        QPainter painter(&pdf);
        renderChart(chart, painter, target, size);
    } else if (format == ImageFormat::Svg) {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(size);
        svg.setViewBox(target);
        QPainter painter(&svg);
        renderChart(chart, painter, target, size);
    } else {
        QImage image(size, QImage::Format_RGB32);
        {
            QPainter painter(&image);
            renderChart(chart, painter, target, size);
        }
        if (!image.save(&file, bitmapFormat(format)))
            cannotCreate(path, QStringLiteral("The image could not be encoded."));
    }
    commitOrThrow(file);
}
