#pragma once

#include <vector>

class Params;
class XAxis;

// Everything a calculation's spectra depend on: the range and grid, the path
// conditions, which molecules are calculated and the line options. Two
// calculations with equal inputs give the same spectra, so a change that
// leaves them equal (a value refused, a field committed unchanged) needs no
// new calculation.
class CalculationInputs
{
public:
    CalculationInputs() = default;
    static CalculationInputs of(const Params &params, const XAxis &axis);

    bool empty() const { return m_values.empty(); }
    bool operator==(const CalculationInputs &other) const { return m_values == other.m_values; }
    bool operator!=(const CalculationInputs &other) const { return !(*this == other); }

private:
    // The inputs in a fixed order; compared exactly, since any difference,
    // however small, is a different calculation.
    std::vector<double> m_values;
};
