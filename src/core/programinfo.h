#pragma once

#include <QString>

// What the program says of itself.
namespace ProgramInfo {

// The version of this build, as the build system's project declares it.
QString version();

} // namespace ProgramInfo
