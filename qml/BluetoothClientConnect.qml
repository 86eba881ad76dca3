import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Connecting this device, as a client, to the serial-port service of another
// Bluetooth device: search, pick the device from the list, connect; the same
// button disconnects again.
ScreenBase {
    id: clientScreen
    objectName: "bluetoothClientScreen"
    title: "Connect a slave bluetooth device to be used for\noperating Kolvex remotely and to retrieve results."

    readonly property color selectedColor: "#cde4f7"

    // The selected row is the one coloured.
    function select(row) {
        remoteControlQml.selectedBluetoothDeviceIndex = row
        for (var i = 0; i < deviceList.count; ++i)
            deviceList.itemAtIndex(i).setColor(i === row ? selectedColor : "")
    }

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        ListView {
            id: deviceList
            objectName: "deviceList"
            Layout.fillWidth: true
            Layout.preferredHeight: 200
            clip: true
            model: remoteControlBluetoothListModel
            ScrollBar.vertical: ScrollBar {}
            delegate: Rectangle {
                objectName: "device" + index
                width: deviceList.width
                height: deviceText.implicitHeight + 16
                color: model.color !== "" ? model.color : "transparent"
                border.color: "#d0d4d8"
                function setColor(newColor) { model.color = newColor }
                CustomText {
                    id: deviceText
                    objectName: "deviceText"
                    anchors.verticalCenter: parent.verticalCenter
                    anchors.left: parent.left
                    anchors.leftMargin: 8
                    text: model.deviceName
                }
                MouseArea {
                    anchors.fill: parent
                    onClicked: clientScreen.select(index)
                }
            }
            // A new list has no row coloured; the selection shows again.
            onCountChanged: Qt.callLater(function() {
                if (remoteControlQml.selectedBluetoothDeviceIndex < deviceList.count)
                    clientScreen.select(remoteControlQml.selectedBluetoothDeviceIndex)
            })
        }
    }

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        CustomButtonWithBackground {
            objectName: "discoverButton"
            text: "  Discover devices  "
            onClicked: remoteControlQml.discoverDevices()
        }
        CustomButtonWithBackground {
            objectName: "connectButton"
            text: remoteControlQml.connectButtonText
            onClicked: remoteControlQml.connectBluetooth()
        }
        CustomText {
            objectName: "bluetoothStatus"
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            text: remoteControlQml.bluetoothStatus
        }
        CustomButton {
            objectName: "howToButton"
            text: "  How to use?  "
            onClicked: remoteControlQml.openUrl(aboutQml.webSite + "/bluetooth.htm")
        }
    }
}
