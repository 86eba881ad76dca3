#pragma once

#include <QString>
#include <QStringList>

// Collects every warning that comes from a QML document while installed. Any
// such warning is a fault: a missing property, a type error or a binding loop
// would otherwise only show up as a blank or broken screen.
class QmlWarnings
{
public:
    static void install();
    static void uninstall();
    // The warnings since the last call, which empties the list.
    static QStringList take();
};

// The folder beside the test program where screenshots go (created if missing).
QString screenshotFolder();
