#pragma once

// Registers the painted items `Plot` (module "Plot" 1.0) and `ColorPlot`
// (module "ColorPlot" 1.0) and the value type "Spectrum". Call once before a
// QML document is loaded; the window and the tests use the same call.
void registerQmlTypes();
