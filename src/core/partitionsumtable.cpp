#include "core/partitionsumtable.h"

#include <algorithm>
#include <cmath>
#include <utility>

PartitionSumTable::PartitionSumTable(std::initializer_list<double> values)
    : PartitionSumTable(std::vector<double>(values))
{
}

PartitionSumTable::PartitionSumTable(std::vector<double> values)
{
    auto held = std::make_shared<const std::vector<double>>(std::move(values));
    m_values = held->data();
    m_count = held->size();
    m_owner = std::move(held);
}

PartitionSumTable::PartitionSumTable(std::shared_ptr<const void> owner, const double *values, std::size_t count)
    : m_owner(std::move(owner))
    , m_values(values)
    , m_count(count)
{
}

void PartitionSumTable::assign(std::size_t count, double value)
{
    *this = PartitionSumTable(std::vector<double>(count, value));
}

double PartitionSumTable::interpolated(double offset) const
{
    const std::size_t n = m_count;
    const double *y = m_values;
    if (n == 1)
        return y[0];
    const double last = double(n - 1);
    if (!(offset >= -0.5))   // also not a number
        offset = -0.5;
    else if (offset > last + 0.5)
        offset = last + 0.5;
    const double whole = std::floor(offset);
    if (offset == whole && whole >= 0.0 && whole <= last)
        return y[std::size_t(whole)];
    if (n == 2)
        return y[0] + offset * (y[1] - y[0]);

    // The weights of each scheme sum to 1, so Q = y_c + sum of w (y - y_c) with
    // y_c one of the entries: a constant table gives its constant back exactly.
    const std::size_t i = whole < 0.0 ? 0 : std::min(std::size_t(whole), n - 2);   // interval [i, i + 1]
    if (i == 0 || i == n - 2) {
        // Entries j, j + 1, j + 2 at t = 0, 1, 2.
        const std::size_t j = i == 0 ? 0 : n - 3;
        const double t = offset - double(j);
        const double w0 = (t - 1.0) * (t - 2.0) / 2.0;
        const double w2 = t * (t - 1.0) / 2.0;
        return y[j + 1] + w0 * (y[j] - y[j + 1]) + w2 * (y[j + 2] - y[j + 1]);
    }
    // Entries i - 1, i, i + 1, i + 2 at t = -1, 0, 1, 2.
    const double t = offset - double(i);
    const double wBefore = -t * (t - 1.0) * (t - 2.0) / 6.0;
    const double wNext = -(t + 1.0) * t * (t - 2.0) / 2.0;
    const double wAfter = (t + 1.0) * t * (t - 1.0) / 6.0;
    return y[i] + wBefore * (y[i - 1] - y[i]) + wNext * (y[i + 1] - y[i]) + wAfter * (y[i + 2] - y[i]);
}
