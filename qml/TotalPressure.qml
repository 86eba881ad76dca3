import QtQuick 2.15
import QtQuick.Layouts 1.15

// The total pressure of the gas mixture and its unit; the value is typed or
// follows the sensors.
ScreenBase {
    objectName: "totalPressureScreen"
    title: "Gas mixture total pressure units and value"

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        OptionList {
            objectName: "pressureSource"
            title: "Value source"
            options: ["Manual\nentry", "Sensor\nvalue"]
            currentIndex: sensorsQml.totalPressureSensorEnabled ? 1 : 0
            disabledOptions: sensorsQml.totalPressureSensorIsPresent ? [] : [1]
            onChosen: sensorsQml.totalPressureSensorEnabled = (index === 1)
        }
        NumberField {
            objectName: "pressureField"
            // The sensors write the value while they supply it.
            readOnly: sensorsQml.totalPressureSensorEnabled
            label: "Total pressure:"
            value: totalPressQml.totalPressure
            apply: function(text) { return totalPressQml.enter(text) }
        }
    }
    OptionList {
        title: "Units"
        options: optionLists.pressureUnits
        currentIndex: totalPressQml.units
        onChosen: {
            discardFields()
            totalPressQml.units = index
        }
    }
}
