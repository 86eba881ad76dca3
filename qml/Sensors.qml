import QtQuick 2.15
import QtQuick.Layouts 1.15

// Which of total pressure, temperature and water vapour follow the sensors,
// what the sensors read now, and how often they are sampled and averaged.
ScreenBase {
    id: sensorsScreen
    objectName: "sensorsScreen"
    title: "Sensor data may be used or manual input"

    // One quantity: its source, whether a sensor is there, and its value now.
    component QuantityGroup: ColumnLayout {
        id: group
        property string name: ""
        // Names the group's items (for the tests and for accessibility tools).
        property string key: ""
        property string sensorLabel: ""
        property string presenceText: ""
        // The source's last reading and its age, or how long it has been silent.
        property string reading: ""
        property string valueLabel: ""
        property string value: ""
        property bool sensorEnabled: false
        property bool sensorPresent: false
        signal sourceChosen(bool useSensor)
        Layout.fillWidth: true
        Layout.alignment: Qt.AlignTop

        OptionList {
            objectName: group.key + "Source"
            title: group.name
            options: ["Manual\nentry", "Use\nsensor"]
            currentIndex: group.sensorEnabled ? 1 : 0
            disabledOptions: group.sensorPresent ? [] : [1]
            onChosen: group.sourceChosen(index === 1)
        }
        CustomText {
            objectName: group.key + "Presence"
            Layout.fillWidth: true
            text: group.sensorLabel + group.presenceText
                  + (group.reading !== "" ? (group.presenceText !== "" ? "\n " : " ") + group.reading
                                          : (group.presenceText !== "" ? "" : " available"))
        }
        CustomText {
            objectName: group.key + "Value"
            Layout.fillWidth: true
            text: group.valueLabel + " " + group.value
            font.bold: true
        }
    }

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        spacing: 12
        QuantityGroup {
            name: "Total pressure"
            key: "pressure"
            reading: sensorsQml.totalPressureReading
            sensorLabel: "Barometer:\n"
            presenceText: sensorsQml.totalPressSensorLabelText
            valueLabel: "Total pressure:\n"
            value: sensorsQml.totalPressure
            sensorEnabled: sensorsQml.totalPressureSensorEnabled
            sensorPresent: sensorsQml.totalPressureSensorIsPresent
            onSourceChosen: sensorsQml.totalPressureSensorEnabled = useSensor
        }
        QuantityGroup {
            name: "Temperature"
            key: "temperature"
            reading: sensorsQml.temperatureReading
            sensorLabel: "Thermometer:\n"
            presenceText: sensorsQml.temperatureSensorLabelText
            valueLabel: "Temperature:\n"
            value: sensorsQml.temperature
            sensorEnabled: sensorsQml.temperatureSensorEnabled
            sensorPresent: sensorsQml.temperatureSensorIsPresent
            onSourceChosen: sensorsQml.temperatureSensorEnabled = useSensor
        }
        QuantityGroup {
            name: "Water vapor"
            key: "humidity"
            reading: sensorsQml.humidityReading
            sensorLabel: "Hygrometer:\n"
            presenceText: sensorsQml.humiditySensorLabelText
            valueLabel: "Water vapor:\n"
            value: sensorsQml.humidity
            sensorEnabled: sensorsQml.humiditySensorEnabled
            sensorPresent: sensorsQml.humidityBuiltInSensorIsPresent || sensorsQml.sensorTagConnected
            onSourceChosen: sensorsQml.humiditySensorEnabled = useSensor
        }
    }

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        NumberField {
            objectName: "samplingPeriodField"
            label: "Sampling period\n(milliseconds):"
            value: sensorsQml.samplingPeriod
            apply: function(text) { return sensorsQml.enterSamplingPeriod(text) }
        }
        NumberField {
            objectName: "samplesToAverageField"
            label: "Samples to\naverage:"
            value: sensorsQml.numSamplesToAverage
            apply: function(text) { return sensorsQml.enterSamplesToAverage(text) }
        }
        GridLayout {
            columns: 2
            CustomLabel { text: "Averaging time:" }
            CustomLabel {
                objectName: "averagingTimeText"
                text: sensorsQml.averagingTime + " ms"
            }
        }
        RowLayout {
            CustomLabel { text: "Use SensorTag" }
            CustomSwitch {
                objectName: "useSensorTagSwitch"
                Accessible.name: "Use SensorTag"
                value: sensorsQml.useSensorTag
                enabled: sensorsQml.sensorTagConnected
                onChosen: sensorsQml.useSensorTag = checked
            }
        }
        CustomButtonWithBackground {
            objectName: "connectSensorTagButton"
            text: " Connect \n SensorTag "
            onClicked: mainWindow.openScreen("SensorTagConnect.qml")
        }
        CustomSmallerFontText {
            Layout.fillWidth: true
            text: "A new average replaces the value\nevery averaging time plus one\nsampling period."
        }
    }
}
