#include "app/LogTicks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// A label value as a whole mantissa times a power of ten, so that it is
// written without the rounding of a double (0.3, not 0.30000000000000004).
struct Decimal {
    std::int64_t mantissa = 0;
    int exponent = 0;

    [[nodiscard]] double value() const
    {
        return exponent >= 0 ? double(mantissa) * std::pow(10.0, exponent)
                             : double(mantissa) / std::pow(10.0, -exponent);
    }

    [[nodiscard]] QString text() const
    {
        std::int64_t m = mantissa;
        int e = exponent;
        while (e < 0 && m % 10 == 0) {
            m /= 10;
            ++e;
        }
        QString digits = QString::number(m);
        if (e >= 0)
            return digits + QString(e, QLatin1Char('0'));
        const int decimals = -e;
        if (digits.size() <= decimals)
            digits = QString(decimals - digits.size() + 1, QLatin1Char('0')) + digits;
        return digits.left(digits.size() - decimals) + QLatin1Char('.') + digits.right(decimals);
    }
};

// Finer sets than the deepest a sane range needs are not tried.
constexpr int FinestStep = 12;

std::int64_t powerOfTen(int n)
{
    std::int64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// The values of one set within low..high. Step -1 is 1, 2 and 5 times the
// powers of ten; step s >= 0 the multiples of q times 10^-d of each decade's
// first value, q and d going 1 0, 5 1, 2 1, 1 1, 5 2, ...
std::vector<Decimal> valuesOf(int step, double low, double high)
{
    const double slack = 1e-9;
    const auto within = [&](double v) { return v >= low * (1 - slack) && v <= high * (1 + slack); };
    std::vector<Decimal> values;
    const int firstDecade = int(std::floor(std::log10(low) + slack));
    const int lastDecade = int(std::floor(std::log10(high) + slack));
    for (int k = firstDecade; k <= lastDecade; ++k) {
        if (step < 0) {
            for (int m : {1, 2, 5}) {
                const Decimal d{m, k};
                if (within(d.value()))
                    values.push_back(d);
            }
            continue;
        }
        const int q = std::array{1, 5, 2}[std::size_t(step % 3)];
        const int digits = (step + 2) / 3;
        const std::int64_t from = powerOfTen(digits);
        for (std::int64_t n = from; n < 10 * from; n += q) {
            const Decimal d{n, k - digits};
            if (within(d.value()))
                values.push_back(d);
        }
    }
    return values;
}

// The powers of ten within low..high, every `every`th.
std::vector<Decimal> powersOf(int every, double low, double high)
{
    std::vector<Decimal> values;
    const double slack = 1e-9;
    const int first = int(std::ceil(std::log10(low) - slack));
    const int last = int(std::floor(std::log10(high) + slack));
    for (int k = first; k <= last; ++k) {
        if (k % every == 0)
            values.push_back({1, k});
    }
    return values;
}

// The least distance in decades between neighbours.
double closest(const std::vector<Decimal> &values)
{
    double least = std::numeric_limits<double>::infinity();
    for (std::size_t i = 1; i < values.size(); ++i)
        least = std::min(least, std::log10(values[i].value() / values[i - 1].value()));
    return least;
}

} // namespace

std::vector<LogTick> LogAxisTicks(double low, double high, double length, double spacing)
{
    std::vector<LogTick> ticks;
    if (!(low > 0) || !(high >= low) || !std::isfinite(high) || !(length > 0))
        return ticks;
    const double decades = std::log10(high / low);
    const double minGap = spacing / length * decades;
    const double wanted = 3 * std::max(1.0, decades);
    int every = 1;
    std::vector<Decimal> chosen = powersOf(1, low, high);
    for (int factor = 0; closest(chosen) < minGap; ++factor) {
        every = int(powerOfTen(factor / 3)) * std::array{2, 5, 10}[std::size_t(factor % 3)];
        chosen = powersOf(every, low, high);
    }
    for (int step = -1; every == 1 && double(chosen.size()) < wanted && step <= FinestStep; ++step) {
        std::vector<Decimal> finer = valuesOf(step, low, high);
        if (closest(finer) < minGap)
            break;
        chosen = std::move(finer);
    }
    for (const Decimal &d : chosen)
        ticks.push_back({d.value(), d.text()});
    return ticks;
}
