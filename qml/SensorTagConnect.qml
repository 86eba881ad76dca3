import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Finding a SensorTag, connecting to it, and which of its temperatures is used.
ScreenBase {
    id: tagScreen
    objectName: "sensorTagConnectScreen"
    title: "Setup connection to SensorTag over bluetooth\n(discover the SensorTag device then connect)."

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        ListView {
            id: deviceList
            objectName: "sensorTagDeviceList"
            Layout.fillWidth: true
            Layout.preferredHeight: Math.max(120, tagScreen.height * 0.35)
            clip: true
            model: sensorTagBluetoothListModel
            ScrollBar.vertical: ScrollBar {}
            delegate: Rectangle {
                width: deviceList.width
                height: deviceName.implicitHeight + 12
                // The status row ("Press ...", "Searching ...") is no device to choose.
                readonly property bool isDevice: index < sensorTagBluetoothListModel.deviceCount
                color: isDevice && index === sensorsQml.selectedDeviceIndex ? "#cfe3f7" : "transparent"
                CustomText {
                    id: deviceName
                    anchors.verticalCenter: parent.verticalCenter
                    x: 6
                    width: parent.width - 12
                    text: model.deviceName
                }
                MouseArea {
                    anchors.fill: parent
                    enabled: parent.isDevice
                    onClicked: sensorsQml.selectedDeviceIndex = index
                }
            }
        }
        RowLayout {
            CustomButtonWithBackground {
                objectName: "discoverButton"
                text: "  Discover devices  "
                onClicked: sensorsQml.discoverDevices()
            }
            CustomButtonWithBackground {
                objectName: "sensorTagConnectButton"
                text: sensorsQml.connectButtonText
                onClicked: sensorsQml.connectSensorTagDevice()
            }
        }
        CustomText {
            objectName: "connectionMessage"
            Layout.fillWidth: true
            visible: text !== ""
            text: sensorsQml.connectionMessage
            color: "#7a3b00"
        }
    }
    OptionList {
        objectName: "temperatureSourceList"
        title: "Temperature from"
        options: [" HDC1000 sensor", "BMP280 sensor", "HDC1000 & BMP280 sensors average"]
        currentIndex: sensorsQml.tempMode === 0 || sensorsQml.tempMode === 1 ? sensorsQml.tempMode : 2
        onChosen: sensorsQml.tempMode = index
    }
}
