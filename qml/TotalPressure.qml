import QtQuick 2.15
import QtQuick.Layouts 1.15

// The total pressure of the gas mixture and its unit. The sensor source comes
// with the sensors; until then the value is entered by hand.
ScreenBase {
    objectName: "totalPressureScreen"
    title: "Gas mixture total pressure units and value"

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        OptionList {
            title: "Value source"
            options: ["Manual\nentry", "Sensor\nvalue"]
            currentIndex: 0
            enabled: false
        }
        NumberField {
            objectName: "pressureField"
            label: "Total pressure:"
            value: totalPressQml.totalPressure
            apply: function(text) { return totalPressQml.enter(text) }
            onApplied: {
                molListViewModel.updateAllPartPressValues()
                remoteControlQml.broadcastCommand("TPRES", 0)
            }
        }
    }
    OptionList {
        title: "Units"
        options: ["Atmospheres, atm", "Millibar, mbar", "Torr, Torr", "Pascal, Pa", "Pounds per square inch, psi"]
        currentIndex: totalPressQml.units
        onChosen: totalPressQml.units = index
    }
}
