#include "ui/aboutqml.h"

#include "core/programinfo.h"

AboutQml::AboutQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
{
    Q_UNUSED(core)
}

QString AboutQml::version() const
{
    return ProgramInfo::version();
}

QString AboutQml::licence() const
{
    return QStringLiteral("Line data, partition sums and isotopologue parameters come from the HITRAN "
                          "database (hitran.org); please cite HITRAN when you use the results.\n\n"
                          "This program is provided as is, without warranty of any kind.");
}
