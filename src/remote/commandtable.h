#pragma once

#include "remote/command.h"

#include <QString>
#include <QStringList>

#include <vector>

struct CommandTargets;

// Every command of the remote protocol, one row each (see Command). A new
// command is a new row in commandtable.cpp.
class CommandTable
{
public:
    // The command of a text name ("SWAVE"), or null.
    static const Command *find(const QString &name);
    // The command of a binary code ("SWAV" of "SWAV_BIN"), or null.
    static const Command *findBinary(const QString &code);
    // The command that sets `setting`, or null.
    static const Command *find(Setting setting);
    // Whether the object the command reads and writes is there.
    static bool hasTarget(const Command &command, const CommandTargets &targets);

    static const std::vector<Command> &rows();
    // What is wrong with a table: a name, binary code or setting given twice,
    // a value that can be set without a setter (or without the rule of a text),
    // one that can be asked for without a getter. The program's table is
    // checked when it is first used, and a fault stops the program there.
    static QStringList problems(const std::vector<Command> &table);
};
