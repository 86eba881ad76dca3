#include "core/programinfo.h"

namespace ProgramInfo {

QString version()
{
    return QStringLiteral(KOLVEX_VERSION);
}

} // namespace ProgramInfo
