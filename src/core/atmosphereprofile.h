#pragma once

#include "core/spectrum.h"

// One vertical profile of a model atmosphere: the quantity at each level in
// `values` (index 0 = ground) and the altitudes of the levels in km in
// `auxValues`. It is a spectrum record, so the profile can be handed to the plot
// like any other curve.
using AtmosphereProfile = Spectrum;
