#include "core/spectrum.h"

#include <limits>

double Spectrum::maximumOf(const double *values, std::size_t count)
{
    double largest = std::numeric_limits<double>::min();
    for (std::size_t i = 0; i < count; ++i) {
        if (values[i] > largest)
            largest = values[i];
    }
    return largest;
}
