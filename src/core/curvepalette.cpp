#include "core/curvepalette.h"

#include "core/builtinmoleculetable.h"

namespace {

constexpr const char *palette[CurvePalette::size] = {
    "#0072b2",   // blue
    "#e69f00",   // orange
    "#009e73",   // bluish green
    "#cc79a7",   // reddish purple
    "#56b4e9",   // sky blue
    "#d55e00",   // vermilion
    "#882255",   // wine
    "#332288",   // indigo
    "#117733",   // green
    "#ee6677",   // salmon
};

} // namespace

QString CurvePalette::color(int k)
{
    const int at = ((k % size) + size) % size;
    return QString::fromLatin1(palette[at]);
}

QString CurvePalette::builtinColor(int index)
{
    int count = 0;
    const BuiltinMoleculeTable::MoleculeRow *rows = BuiltinMoleculeTable::molecules(&count);
    for (int i = 0; i < count; ++i) {
        if (rows[i].number - 1 == index)
            return QString::fromLatin1(rows[i].color);
    }
    return QString();
}

QString CurvePalette::curveColor(int index, const QString &color, int order)
{
    // A colour other than the built-in one is the user's choice.
    if (color.compare(builtinColor(index), Qt::CaseInsensitive) != 0 && !color.isEmpty())
        return color;
    return CurvePalette::color(order);
}
