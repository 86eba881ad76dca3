#pragma once

#include <QObject>
#include <QStringList>

// The option lists of the program as the screens show them ("optionLists" in
// QML): each list's labels in the order of its numbers, and what the
// resolution of each instrument function means.
class OptionListsQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList accessOptions READ accessOptions CONSTANT)
    Q_PROPERTY(QStringList lineShapes READ lineShapes CONSTANT)
    Q_PROPERTY(QStringList broadenings READ broadenings CONSTANT)
    Q_PROPERTY(QStringList instrumentFunctions READ instrumentFunctions CONSTANT)
    Q_PROPERTY(QStringList instrumentFunctionNotes READ instrumentFunctionNotes CONSTANT)
    Q_PROPERTY(QStringList atmosphereModels READ atmosphereModels CONSTANT)
    Q_PROPERTY(QStringList yUnits READ yUnits CONSTANT)
    Q_PROPERTY(QStringList xUnits READ xUnits CONSTANT)
    Q_PROPERTY(QStringList pathLengthUnits READ pathLengthUnits CONSTANT)
    Q_PROPERTY(QStringList temperatureUnits READ temperatureUnits CONSTANT)
    Q_PROPERTY(QStringList pressureUnits READ pressureUnits CONSTANT)
    Q_PROPERTY(QStringList concentrationUnits READ concentrationUnits CONSTANT)

public:
    using QObject::QObject;

    static QStringList accessOptions();
    static QStringList lineShapes();
    static QStringList broadenings();
    static QStringList instrumentFunctions();
    static QStringList instrumentFunctionNotes();
    static QStringList atmosphereModels();
    static QStringList yUnits();
    static QStringList xUnits();
    static QStringList pathLengthUnits();
    static QStringList temperatureUnits();
    static QStringList pressureUnits();
    static QStringList concentrationUnits();
};
