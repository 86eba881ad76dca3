#include "core/bundleddata.h"

// Resources linked from a static library must be registered by name.
static void registerResources()
{
    Q_INIT_RESOURCE(bundled);
    Q_INIT_RESOURCE(sample);
    Q_INIT_RESOURCE(program);
}

void BundledData::initialize()
{
    static const bool registered = (registerResources(), true);
    Q_UNUSED(registered)
}
