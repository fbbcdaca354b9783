// Which values a logarithmic axis labels: powers of ten, then 1, 2 and 5
// times them, then finer steps, as a narrow range or a zoom needs.
#pragma once

#include <QString>
#include <vector>

struct LogTick {
    double value = 0;
    QString label; // the value written exactly: "20", "0.5", "2.5"
};

// The labels of an axis showing low..high (both above zero) over length
// pixels, neighbours at least spacing pixels apart. The coarsest set that
// shows three labels a decade (and three in all) is chosen, in the order:
// powers of ten; 1, 2 and 5 times them; every whole multiple of a decade's
// first value (3, 4, ... 9); then steps of a half, a fifth and a tenth of
// that, and so on. A set finer than the spacing allows is not taken; where
// even the powers of ten are too close, every second, fifth, tenth, ...
// power is labelled.
[[nodiscard]] std::vector<LogTick> LogAxisTicks(double low, double high, double length, double spacing);
