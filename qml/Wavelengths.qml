import QtQuick 2.15
import QtQuick.Layouts 1.15

// The spectral range, its grid and the unit of the x axis.
ScreenBase {
    objectName: "wavelengthsScreen"
    title: "The wavelength spectral range and units"

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        NumberField {
            objectName: "startField"
            label: "Start:"
            value: wlQml.startWavelength
            apply: function(text) { return wlQml.enterStart(text) }
        }
        NumberField {
            objectName: "endField"
            label: "End:"
            value: wlQml.endWavelength
            apply: function(text) { return wlQml.enterEnd(text) }
        }
        NumberField {
            objectName: "resolutionField"
            label: "Resolution:"
            value: wlQml.resolWavelength
            readOnly: true
        }
        NumberField {
            objectName: "pointsField"
            label: "Number of points:"
            value: wlQml.numPoints
            apply: function(text) { return wlQml.enterNumPoints(text) }
        }
    }
    OptionList {
        objectName: "unitList"
        title: "Units"
        options: optionLists.xUnits
        currentIndex: wlQml.units
        // A number typed in the old unit means another one in the new: what
        // was not stored is dropped, and the fields show the range in use.
        onChosen: {
            discardFields()
            wlQml.units = index
        }
    }
}
