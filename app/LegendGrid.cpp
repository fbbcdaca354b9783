#include "app/LegendGrid.h"

#include <algorithm>

namespace {

// The widest name of each column, each cut to limit.
std::vector<double> columnWidths(const std::vector<double> &textWidths, int columns, double limit)
{
    std::vector<double> widths(std::size_t(columns), 0.0);
    for (std::size_t i = 0; i < textWidths.size(); ++i) {
        double &column = widths[i % std::size_t(columns)];
        column = std::max(column, std::min(textWidths[i], limit));
    }
    return widths;
}

double total(const std::vector<double> &widths, double extra)
{
    double sum = 0;
    for (double w : widths)
        sum += w + extra;
    return sum;
}

int rowsFor(int count, int columns)
{
    return (count + columns - 1) / columns;
}

} // namespace

LegendGrid ChooseLegendGrid(const std::vector<double> &textWidths, double extra, double width, int maxRows)
{
    const int count = int(textWidths.size());
    if (count == 0)
        return {};
    maxRows = std::max(maxRows, 1);
    const double whole = *std::max_element(textWidths.begin(), textWidths.end());
    for (int columns = count; columns >= 1; --columns) {
        std::vector<double> widths = columnWidths(textWidths, columns, whole);
        if (total(widths, extra) > width)
            continue;
        if (rowsFor(count, columns) > maxRows)
            break;
        return {columns, rowsFor(count, columns), std::move(widths)};
    }
    // The rows allowed, as many columns as they need, and the widest limit
    // on the names with which those columns fit.
    const int columns = rowsFor(count, std::min(maxRows, count));
    double low = 0;
    double high = whole;
    for (int step = 0; step < 40; ++step) {
        const double limit = (low + high) / 2;
        (total(columnWidths(textWidths, columns, limit), extra) <= width ? low : high) = limit;
    }
    return {columns, rowsFor(count, columns), columnWidths(textWidths, columns, low)};
}
