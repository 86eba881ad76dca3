import QtQuick 2.15
import QtQuick.Layouts 1.15

// Smoothing of the totals with the response of an instrument.
ScreenBase {
    objectName: "instrumentFunctionScreen"
    title: "Smooth spectrum with an instrument function"

    readonly property var names: optionLists.instrumentFunctions
    readonly property var meanings: optionLists.instrumentFunctionNotes

    OptionList {
        objectName: "functionList"
        title: "Instrument function"
        options: names
        currentIndex: instrFunctQml.instrFunctIndex
        onChosen: instrFunctQml.instrFunctIndex = index
    }
    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        NumberField {
            objectName: "resolutionField"
            label: "Instrument\n resolution, g, (cm-1):"
            value: instrFunctQml.instrResol
            apply: function(text) { return instrFunctQml.enterInstrResol(text) }
        }
        NumberField {
            objectName: "wingField"
            label: "Instrument function\nwing, (cm-1):"
            value: instrFunctQml.instrFunctWing
            apply: function(text) { return instrFunctQml.enterInstrFunctWing(text) }
        }
        CustomSmallerFontText {
            Layout.fillWidth: true
            text: meanings[Math.max(0, Math.min(meanings.length - 1, instrFunctQml.instrFunctIndex))]
        }
    }
}
