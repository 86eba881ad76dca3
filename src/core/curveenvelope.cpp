#include "core/curveenvelope.h"

#include <algorithm>
#include <cmath>
#include <limits>

CurveEnvelope::CurveEnvelope(const SpectrumValues &values)
{
    const std::size_t blocks = (values.size() + block - 1) / block;
    m_largest.assign(blocks, -std::numeric_limits<double>::infinity());
    m_smallest.assign(blocks, std::numeric_limits<double>::infinity());
    m_gap.assign(blocks, 0);
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::size_t end = std::min(values.size(), (b + 1) * block);
        for (std::size_t i = b * block; i < end; ++i) {
            const double value = values[i];
            if (!std::isfinite(value)) {
                m_gap[b] = 1;
                continue;
            }
            m_largest[b] = std::max(m_largest[b], value);
            m_smallest[b] = std::min(m_smallest[b], value);
        }
    }
}

bool CurveEnvelope::hasGap(const SpectrumValues &values, std::size_t from, std::size_t to) const
{
    std::size_t i = from;
    for (; i <= to && i % block != 0; ++i) {
        if (!std::isfinite(values[i]))
            return true;
    }
    for (; i + block - 1 <= to; i += block) {
        if (m_gap[i / block])
            return true;
    }
    for (; i <= to; ++i) {
        if (!std::isfinite(values[i]))
            return true;
    }
    return false;
}

void CurveEnvelope::extremes(const SpectrumValues &values, std::size_t from, std::size_t to, double *smallest,
                             double *largest) const
{
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    std::size_t i = from;
    for (; i <= to && i % block != 0; ++i) {
        low = std::min(low, values[i]);
        high = std::max(high, values[i]);
    }
    for (; i + block - 1 <= to; i += block) {
        low = std::min(low, m_smallest[i / block]);
        high = std::max(high, m_largest[i / block]);
    }
    for (; i <= to; ++i) {
        low = std::min(low, values[i]);
        high = std::max(high, values[i]);
    }
    *smallest = low;
    *largest = high;
}
