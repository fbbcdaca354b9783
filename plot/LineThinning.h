// Thinning of a dense line for drawing: of the points that fall into one
// pixel column, the first, the lowest, the highest and the last draw the same
// picture as all of them.
#pragma once

#include <QList>
#include <QPointF>

// Keeps, of each run of points that fall into one column, the first, the
// lowest, the highest and the last, each once and in their order. Columns are
// columnWidth wide in x, counted from origin; the points are in ascending x.
// A column width of zero or less keeps every point.
void ThinToColumns(QList<QPointF> &points, double origin, double columnWidth);
