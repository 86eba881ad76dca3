import QtQuick 2.15
import QtQuick.Layouts 1.15

// The temperature of the gas mixture and its unit.
ScreenBase {
    objectName: "temperatureScreen"
    title: "Gas mixture temperature units and value"

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        OptionList {
            objectName: "temperatureSource"
            title: "Value source"
            options: ["Manual\nentry", "Sensor\nvalue"]
            currentIndex: sensorsQml.temperatureSensorEnabled ? 1 : 0
            disabledOptions: sensorsQml.temperatureSensorIsPresent ? [] : [1]
            onChosen: sensorsQml.temperatureSensorEnabled = (index === 1)
        }
        NumberField {
            objectName: "temperatureField"
            // The sensors write the value while they supply it.
            readOnly: sensorsQml.temperatureSensorEnabled
            label: "Temperature:"
            value: tempQml.temperature
            apply: function(text) { return tempQml.enter(text) }
        }
    }
    OptionList {
        title: "Units"
        options: optionLists.temperatureUnits
        currentIndex: tempQml.units
        onChosen: {
            discardFields()
            tempQml.units = index
        }
    }
}
