#include "app/plotcurveset.h"

#include "core/curveenvelope.h"
#include "core/xaxis.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <utility>

void PlotCurveSet::add(std::size_t rows, ValueAt valueAt, const QString &color)
{
    m_setCurves.push_back({rows, std::move(valueAt), color});
}

void PlotCurveSet::complete()
{
    m_completeCurves = m_setCurves;
    m_curves.reset();
}

std::shared_ptr<const PlotCurves> PlotCurveSet::curves(const std::shared_ptr<const SpectrumValues> &grid,
                                                       quint8 unit) const
{
    if (m_curves)
        return m_curves;
    auto curves = std::make_shared<PlotCurves>();
    if (!m_curvesX || grid != m_curvesXSource || unit != m_curvesXUnit) {
        auto x = std::make_shared<std::vector<double>>(grid ? grid->size() : 0);
        for (std::size_t i = 0; i < x->size(); ++i)
            (*x)[i] = XAxis::fromWavenumber((*grid)[i], unit);
        m_curvesX = std::move(x);
        m_curvesXSource = grid;
        m_curvesXUnit = unit;
    }
    curves->x = m_curvesX;
    // Each curve's values are read (and converted into the quantity shown) on
    // the threads the machine has: the readers only read the results.
    std::vector<SpectrumValues> values(m_completeCurves.size());
    std::vector<std::shared_ptr<const CurveEnvelope>> envelopes(m_completeCurves.size());
    std::atomic<std::size_t> next{0};
    const auto fill = [this, &values, &envelopes, &next] {
        for (std::size_t k = next.fetch_add(1); k < m_completeCurves.size(); k = next.fetch_add(1)) {
            const CurveSource &source = m_completeCurves[k];
            SpectrumValues &y = values[k];
            y.resize(source.rows);
            for (std::size_t i = 0; i < source.rows; ++i)
                y[i] = source.valueAt(i);
            envelopes[k] = std::make_shared<const CurveEnvelope>(y);
        }
    };
    const int helpers = std::min(int(m_completeCurves.size()) - 1,
                                 int(std::max(1u, std::thread::hardware_concurrency())) - 1);
    std::vector<std::thread> threads;
    for (int t = 0; t < helpers; ++t) {
        try {
            threads.emplace_back(fill);
        } catch (const std::system_error &) {
            break;
        }
    }
    fill();
    for (std::thread &thread : threads)
        thread.join();
    for (std::size_t k = 0; k < m_completeCurves.size(); ++k)
        curves->curves.push_back({std::make_shared<const SpectrumValues>(std::move(values[k])), envelopes[k],
                                  m_completeCurves[k].color});
    m_curves = std::move(curves);
    return m_curves;
}
