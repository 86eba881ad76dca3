#pragma once

#include <QMetaType>

#include <vector>

// One vertical profile of a model atmosphere: the quantity at each level in
// `values` (index 0 = ground) and the altitudes of the levels in km in
// `auxValues`. It carries the two vectors of the shared spectrum record, so the
// profile can be handed to the plot like any other curve.
struct AtmosphereProfile
{
    std::vector<double> values;
    std::vector<double> auxValues;
};

Q_DECLARE_METATYPE(AtmosphereProfile)
