#pragma once

#include <QString>

class QLocale;
class Params;

// One command of the received text, "#NAME;field;...", taken apart: its full
// name (upper case; "RESULT;<ITEM>" for results), its parameter, the molecule
// it addresses and whether it asks (a last field "?", or any RESULT) or sets.
struct CommandLine
{
    // The molecule field named neither a number nor a known formula.
    static constexpr int unknownMoleculeIndex = -1020303026;

    // The text from one "#" up to the next; empty() when it names nothing.
    static CommandLine parse(const QString &text, const Params *params, const QLocale &locale);
    // The molecule index a field names: a number, "INSTR" (-1), "TOTAL" (0), a
    // formula of the molecule list (its position + 1) or unknownMoleculeIndex.
    static int moleculeIndex(const QString &field, const Params *params, const QLocale &locale);

    bool empty() const { return name.isEmpty(); }

    QString name;        // the command as sent, binary suffix and result item included
    QString parameter;   // the value of a set
    int index = 0;       // the molecule a per-molecule command or result item names
    bool query = false;
    bool binary = false;   // a "_BIN" form
};
