#include "app/ChartOutput.h"

#include "app/ChartCsv.h"
#include "app/CommandLine.h"
#include "app/PlotChart.h"
#include "service/FileBytes.h"
#include "service/PlotwiseError.h"

#include <QBuffer>
#include <QChart>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QResizeEvent>
#include <QSvgGenerator>
#include <algorithm>

namespace {

[[noreturn]] void cannotCreate(const QString &path, const QString &reason)
{
    throw PlotwiseError(
        QStringLiteral("Cannot create file \"%1\". %2").arg(FullPath(path), reason));
}

// Writes the file whole through a temporary file, so that a failed or short
// write leaves no half-written image or table behind.
void writeOrThrow(const QString &path, const QByteArray &bytes)
{
    const QString reason = WriteFileAtomically(path, bytes);
    if (!reason.isEmpty())
        cannotCreate(path, reason);
}

// Lays the view and its chart out at size, as a resize by the user would
// (margins, date labels). A hidden view gets no resize events until it is
// shown, so they are sent here: the view's own, which sizes its viewport, and
// the viewport's, which a scroll area hands to its resizeEvent.
void layOut(PlotChart &view, QSize size)
{
    const QSize oldSize = view.size();
    if (size == oldSize)
        return;
    const QSize oldViewportSize = view.viewport()->size();
    view.resize(size);
    QResizeEvent viewEvent(size, oldSize);
    QCoreApplication::sendEvent(&view, &viewEvent);
    QResizeEvent viewportEvent(view.viewport()->size(), oldViewportSize);
    QCoreApplication::sendEvent(view.viewport(), &viewportEvent);
}

// Draws the chart into painter over target, laid out at size. The view is
// given its own size back afterwards. Vector output, which a viewer may
// enlarge, gets every point of the lines; a bitmap what its pixels show.
void renderChart(PlotChart &view, QPainter &painter, const QRectF &target, QSize size,
                 bool vector = false)
{
    const QSize oldSize = view.size();
    layOut(view, size);
    if (vector)
        view.setDrawingDetail(0);
    view.repaintNow();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(target, Qt::white);
    QChart *chart = view.chart();
    chart->scene()->render(&painter, target, chart->sceneBoundingRect());
    view.setDrawingDetail(1);
    layOut(view, oldSize);
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
    QByteArray csv = CsvHeader();
    int position = 0;
    for (const PlotSeries *series : chart.series()) {
        ++position;
        CsvPoint row{position, series->title(), series->axis() == VertAxis::Right,
                     series->color().name().toUpper(), 0, 0.0};
        for (const SeriesPoint &point : series->points()) {
            row.day = point.day;
            row.value = point.y;
            csv += CsvRow(row);
        }
    }
    writeOrThrow(path, csv);
}

QImage ChartImage(PlotChart &chart, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    renderChart(chart, painter, QRectF(QPointF(0, 0), size), size);
    return image;
}

void WriteChartImage(PlotChart &chart, const QString &path, QSize size)
{
    WriteChartImage(chart, path, size, ImageFormatOf(path));
}

void WriteChartImage(PlotChart &chart, const QString &path, QSize size, ImageFormat format)
{
    QByteArray bytes;
    QBuffer file(&bytes);
    file.open(QIODevice::WriteOnly);
    const QRectF target(QPointF(0, 0), size);
    if (format == ImageFormat::Pdf) {
        QPdfWriter pdf(&file);
        pdf.setResolution(72); // one point per pixel
        pdf.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
        pdf.setPageMargins(QMarginsF());
        QPainter painter(&pdf);
        renderChart(chart, painter, target, size, true);
    } else if (format == ImageFormat::Svg) {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(size);
        svg.setResolution(96); // the CSS pixel: viewers show size pixels
        svg.setViewBox(target);
        QPainter painter(&svg);
        renderChart(chart, painter, target, size, true);
    } else {
        const QImage image = ChartImage(chart, size);
        if (!image.save(&file, bitmapFormat(format)))
            cannotCreate(path, QStringLiteral("The image could not be encoded."));
    }
    file.close();
    writeOrThrow(path, bytes);
}

void SaveGraphImage(PlotChart &chart, const QString &path)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
        WriteChartCsv(chart, path);
        return;
    }
    const ImageFormat format = ImageFormatOf(path);
    WriteChartImage(chart, path, chart.size(), format == ImageFormat::Unknown ? ImageFormat::Bmp : format);
}

void PrintChart(PlotChart &chart)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        throw PlotwiseError(QStringLiteral("There is no default printer currently selected"));
    QPrinter printer(info, QPrinter::HighResolution);
    PrintChartTo(chart, printer);
}

void PrintChartTo(PlotChart &chart, QPrinter &printer)
{
    printer.setDocName(chart.objectName());
    QPainter painter;
    if (!painter.begin(&printer)) {
        printer.abort();
        throw PlotwiseError(QStringLiteral("The print job could not be started"));
    }
    // The chart as drawn, scaled to fit the page with its proportions kept,
    // its lines as fine as the page shows them.
    const QRectF page(painter.viewport());
    QWidget *view = chart.viewport();
    chart.setDrawingDetail(std::min(page.width() / std::max(1, view->width()),
                                    page.height() / std::max(1, view->height())));
    chart.flush();
    chart.QGraphicsView::render(&painter, page, view->rect(), Qt::KeepAspectRatio);
    chart.setDrawingDetail(1);
    if (!painter.end() || printer.printerState() == QPrinter::Error) {
        printer.abort();
        throw PlotwiseError(QStringLiteral("Printing failed"));
    }
}
