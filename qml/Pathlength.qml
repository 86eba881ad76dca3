import QtQuick 2.15
import QtQuick.Layouts 1.15

// The optical path length and its unit.
ScreenBase {
    objectName: "pathlengthScreen"
    title: "The optical pathlength units and value"

    NumberField {
        Layout.alignment: Qt.AlignTop
        objectName: "pathField"
        label: "Pathlength:"
        value: pathlengthQml.pathlength
        apply: function(text) { return pathlengthQml.enter(text) }
    }
    OptionList {
        title: "Units"
        options: optionLists.pathLengthUnits
        currentIndex: pathlengthQml.units
        onChosen: {
            discardFields()
            pathlengthQml.units = index
        }
    }
}
