// How the chart's legend lays its entries out: rows of columns below the
// plot, as few rows as whole names allow, names shortened only when even the
// rows the chart can spare do not hold them whole.
#pragma once

#include <vector>

struct LegendGrid {
    int columns = 0;
    int rows = 0;
    // The room for the names of each column's entries; an entry whose name
    // is wider is shortened to it.
    std::vector<double> textWidths;
};

// Entry i (of names textWidths[i] wide) goes to row i / columns, column
// i % columns; beside its name an entry takes extra. The grid is at most
// width wide and maxRows high (at least one row): the most columns that hold
// every name whole, or, when those need more rows than maxRows, maxRows rows
// whose longest names are shortened to one width, the widest that fits.
[[nodiscard]] LegendGrid ChooseLegendGrid(const std::vector<double> &textWidths, double extra,
                                          double width, int maxRows);
