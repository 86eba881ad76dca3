#include "core/optionlists.h"

namespace OptionLists {

QStringList labels(const Choice *list, int count)
{
    QStringList result;
    for (int i = 0; i < count && list[i].offered; ++i)
        result << QString::fromUtf8(list[i].label);
    return result;
}

QStringList notes(const Choice *list, int count)
{
    QStringList result;
    for (int i = 0; i < count && list[i].offered; ++i)
        result << QString::fromUtf8(list[i].note);
    return result;
}

} // namespace OptionLists
