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

    // The selected device's row is the one coloured; the status row (no
    // device found yet) cannot be chosen.
    function select(row) {
        if (row >= remoteControlBluetoothListModel.deviceCount)
            return
        remoteControlQml.selectedBluetoothDeviceIndex = row
        showSelection()
    }
    function showSelection() {
        var row = remoteControlQml.selectedBluetoothDeviceIndex
        for (var i = 0; i < deviceList.count; ++i) {
            var item = deviceList.itemAtIndex(i)
            if (item)
                item.setColor(i === row && i < remoteControlBluetoothListModel.deviceCount ? selectedColor : "")
        }
    }

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        ListView {
            id: deviceList
            objectName: "deviceList"
            Layout.fillWidth: true
            // A list has no width of its own; beside the buttons it needs one.
            Layout.minimumWidth: 260
            Layout.preferredWidth: 400
            Layout.preferredHeight: clientScreen.landscape ? Math.max(200, clientScreen.height - 110) : 240
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
                    anchors.right: parent.right
                    anchors.rightMargin: 8
                    elide: Text.ElideRight
                    text: model.deviceName
                }
                MouseArea {
                    anchors.fill: parent
                    onClicked: clientScreen.select(index)
                }
            }
            // A rebuilt list (a search, a device connected or gone) has no row
            // coloured; the selection shows again once the rows are made.
            Connections {
                target: remoteControlBluetoothListModel
                function onModelReset() { Qt.callLater(clientScreen.showSelection) }
            }
            Component.onCompleted: Qt.callLater(clientScreen.showSelection)
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
            onClicked: mainWindow.openLink(aboutQml.webSite + "/bluetooth.htm")
        }
    }
}
