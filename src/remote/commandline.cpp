#include "remote/commandline.h"

#include "core/params.h"
#include "remote/commandtable.h"
#include "remote/resultqueries.h"

#include <QLocale>
#include <QStringList>

namespace {

// A line end after the last field (a terminal, a line-based peer) is no part
// of the value: "#SWAVE;?\n" is a query, not a set to 0.
QString withoutLineEnd(QString field)
{
    while (field.endsWith(QLatin1Char('\n')) || field.endsWith(QLatin1Char('\r')))
        field.chop(1);
    return field;
}

} // namespace

CommandLine CommandLine::parse(const QString &message, const Params *params, const QLocale &locale)
{
    CommandLine line;
    const int hash = message.indexOf(QLatin1Char('#'));
    const QString text = hash >= 0 ? message.mid(hash + 1) : message;
    QStringList fields = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (fields.isEmpty())
        return line;
    const QString name = fields.first().trimmed().toUpper();
    const Command *command = CommandTable::find(name);
    // A parameter that is text or bytes keeps its line ends, unless what remains
    // is the query mark.
    if (command && command->takesRestOfText) {
        const int separator = text.indexOf(QLatin1Char(';'));
        fields = QStringList{fields.first(), separator >= 0 ? text.mid(separator + 1) : QString()};
        if (withoutLineEnd(fields.last()) == QLatin1String("?"))
            fields.last() = QStringLiteral("?");
    } else if (name.contains(QLatin1String("_BIN"))) {
        if (withoutLineEnd(fields.last()) == QLatin1String("?"))
            fields.last() = QStringLiteral("?");
    } else {
        while (!fields.isEmpty()) {
            fields.last() = withoutLineEnd(fields.last());
            if (!fields.last().isEmpty())
                break;
            fields.removeLast();
        }
        if (fields.isEmpty())
            return line;
    }

    const bool result = name == QLatin1String("RESULT");
    line.name = result ? QStringLiteral("RESULT;") + fields.value(1).trimmed().toUpper() : name;
    if (command && command->perMolecule) {
        line.index = moleculeIndex(fields.value(1), params, locale);
        line.parameter = fields.value(2);
    } else if (result && ResultQueries::takesMolecule(line.name.mid(7))) {
        line.index = moleculeIndex(fields.value(2), params, locale);
    } else if (!result) {
        line.parameter = fields.value(1);
    }
    line.binary = line.name.contains(QLatin1String("_BIN"), Qt::CaseInsensitive);
    line.query = result || fields.last() == QLatin1String("?");
    return line;
}

int CommandLine::moleculeIndex(const QString &field, const Params *params, const QLocale &locale)
{
    bool ok = false;
    const int number = locale.toInt(field.trimmed(), &ok);
    if (ok)
        return number;
    const QString name = field.trimmed().toUpper();
    if (name == QLatin1String("INSTR"))
        return -1;
    if (name == QLatin1String("TOTAL"))
        return 0;
    // Formulas such as "HOCl" hold lower-case letters, so the comparison ignores
    // case; no two formulas differ by case alone.
    int found = unknownMoleculeIndex;
    for (int i = 0; params && i < params->moleculeCount(); ++i) {
        if (params->molecule(i).name.compare(name, Qt::CaseInsensitive) == 0)
            found = i + 1;
    }
    return found;
}
