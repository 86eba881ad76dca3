#include "ui/optionlistsqml.h"

#include "core/optionlists.h"

using namespace OptionLists;

QStringList OptionListsQml::accessOptions() { return labels(OptionLists::accessOptions); }
QStringList OptionListsQml::lineShapes() { return labels(OptionLists::lineShapes); }
QStringList OptionListsQml::broadenings() { return labels(OptionLists::broadenings); }
QStringList OptionListsQml::instrumentFunctions() { return labels(OptionLists::instrumentFunctions); }
QStringList OptionListsQml::instrumentFunctionNotes() { return notes(OptionLists::instrumentFunctions); }
QStringList OptionListsQml::atmosphereModels() { return labels(OptionLists::atmosphereModels); }
QStringList OptionListsQml::yUnits() { return labels(OptionLists::yUnits); }
QStringList OptionListsQml::xUnits() { return labels(OptionLists::xUnits); }
QStringList OptionListsQml::pathLengthUnits() { return labels(OptionLists::pathLengthUnits); }
QStringList OptionListsQml::temperatureUnits() { return labels(OptionLists::temperatureUnits); }
QStringList OptionListsQml::pressureUnits() { return labels(OptionLists::pressureUnits); }
QStringList OptionListsQml::concentrationUnits() { return labels(OptionLists::concentrationUnits); }
