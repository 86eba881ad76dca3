import QtQuick 2.15
import QtQuick.Layouts 1.15

// The transport another device uses to drive this program and fetch its
// results: WebSockets over the network, Bluetooth (this device as a server,
// and as a client of another device), the serial port, or none; and whether
// values changed by hand here are sent on.
ScreenBase {
    id: connectScreen
    objectName: "connectScreen"
    title: "Connection setup to interface with Kolvex\nfor remote control and retrieval of results"

    // The list entries in order and the communication mode each one selects.
    readonly property var modes: [3, 1, 1, 2, 0]
    readonly property int webSocketsMode: 3
    readonly property int bluetoothMode: 1
    readonly property int serialMode: 2
    readonly property int mode: remoteControlQml.communicationMode

    // Both Bluetooth entries select the Bluetooth mode; the list shows the one chosen.
    property int bluetoothEntry: 1

    function entryOfMode(mode) {
        if (mode === webSocketsMode) return 0
        if (mode === bluetoothMode) return bluetoothEntry
        if (mode === serialMode) return 3
        return 4
    }

    Component.onCompleted: serialPortListModel.updateDisplayed()

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        OptionList {
            objectName: "modeList"
            title: "Communication mode"
            options: ["WebSockets\n(WiFi / Ethernet)", "Bluetooth server", "Bluetooth client",
                      "RS-232 (serial port)", "Disable connectivity"]
            currentIndex: connectScreen.entryOfMode(connectScreen.mode)
            onChosen: {
                if (index === 1 || index === 2)
                    connectScreen.bluetoothEntry = index
                remoteControlQml.communicationMode = connectScreen.modes[index]
                if (index === 2)
                    mainWindow.openScreen("BluetoothClientConnect.qml")
            }
        }
        RowLayout {
            CustomLabel {
                text: "Broadcast manual input: "
            }
            CustomSwitch {
                objectName: "broadcastSwitch"
                Accessible.name: "Broadcast manual input"
                value: remoteControlQml.broadcastManualInput
                onChosen: remoteControlQml.broadcastManualInput = checked
            }
        }
        CustomSmallerFontText {
            Layout.fillWidth: true
            color: "#505050"
            text: "When on, values changed by hand on this device\nare sent to the connected device."
        }
    }

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true

        // WebSockets: where this device can be reached and who is connected.
        ColumnLayout {
            objectName: "webSocketsGroup"
            visible: connectScreen.mode === connectScreen.webSocketsMode
            Layout.fillWidth: true
            CustomLabel {
                text: "WiFi / Ethernet (WebSockets)"
                font.bold: true
            }
            CustomText {
                objectName: "deviceAddresses"
                Layout.fillWidth: true
                text: "Your active IP address(es): \n" + remoteControlQml.kolvexDeviceIpAddress
            }
            RowLayout {
                CustomLabel {
                    text: "port number:"
                }
                CustomLabel {
                    objectName: "portNumberText"
                    text: remoteControlQml.portNumber
                    font.bold: true
                }
                CustomButton {
                    objectName: "changePortButton"
                    text: "Change"
                    onClicked: mainWindow.openScreen("PortNumber.qml")
                }
            }
            CustomText {
                objectName: "peerAddress"
                Layout.fillWidth: true
                text: remoteControlQml.remoteDeviceIpAddress !== ""
                      ? "Connected device: " + remoteControlQml.remoteDeviceIpAddress
                      : "No device connected."
            }
            // Who can connect, and whether web pages may.
            ColumnLayout {
                objectName: "webSocketsAccess"
                Layout.fillWidth: true
                CustomSmallerFontText {
                    objectName: "listeningText"
                    Layout.fillWidth: true
                    text: "Listening on every network address of this device\n("
                          + remoteControlQml.kolvexDeviceIpAddress.split("\n").join(", ")
                          + "), port " + remoteControlQml.portNumber
                          + ".\nAnyone on the network can connect."
                }
                RowLayout {
                    CustomLabel {
                        text: "Allow web pages: "
                    }
                    CustomSwitch {
                        objectName: "allowWebPagesSwitch"
                        Accessible.name: "Allow web pages"
                        value: remoteControlQml.allowWebPages
                        onChosen: remoteControlQml.allowWebPages = checked
                    }
                }
                CustomSmallerFontText {
                    Layout.fillWidth: true
                    color: "#505050"
                    text: "When on, any web page opened on a device of the\nnetwork can drive Kolvex too."
                }
            }
        }

        // Bluetooth: the service this device offers, who is connected, the
        // link to another device, and what went wrong.
        ColumnLayout {
            objectName: "bluetoothGroup"
            visible: connectScreen.mode === connectScreen.bluetoothMode
            Layout.fillWidth: true
            CustomLabel {
                text: "Bluetooth"
                font.bold: true
            }
            CustomSmallerFontText {
                objectName: "bluetoothService"
                Layout.fillWidth: true
                // The text of the role chosen: a client offers no service, it links to one.
                text: connectScreen.bluetoothEntry === 2
                      ? "As a client this device links to the Serial Port Profile\nservice of another device.\n"
                        + (remoteControlQml.connectButtonText === " Disconnect "
                           ? remoteControlQml.connectedString : "No device is linked: choose one with Connect.")
                      : "As a server this device offers the Serial Port Profile\nservice, UUID:\n"
                        + remoteControlQml.connectedString
            }
            CustomText {
                objectName: "bluetoothStatus"
                Layout.fillWidth: true
                wrapMode: Text.WordWrap
                visible: text !== ""
                text: remoteControlQml.bluetoothStatus
            }
            // Disconnects a device this one is connected to, or opens the
            // screen that finds one.
            CustomButton {
                objectName: "bluetoothConnectButton"
                text: remoteControlQml.connectButtonText
                onClicked: {
                    if (remoteControlQml.connectButtonText === " Disconnect ")
                        remoteControlQml.connectBluetooth()
                    else
                        mainWindow.openScreen("BluetoothClientConnect.qml")
                }
            }
        }

        // The serial line: the port and its settings, and what the port is doing.
        GridLayout {
            id: serialGroup
            objectName: "serialGroup"
            visible: connectScreen.mode === connectScreen.serialMode
            columns: 2
            Layout.fillWidth: true

            readonly property var baudRates: [1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200]
            readonly property var dataBits: [5, 6, 7, 8]
            readonly property var parities: [0, 2, 3, 4, 5]
            readonly property var stopBits: [1, 3, 2]

            CustomLabel {
                Layout.columnSpan: 2
                text: "RS-232 (serial port)"
                font.bold: true
            }
            CustomLabel { text: "Selected port:" }
            CustomComboBox {
                objectName: "portChoice"
                model: serialPortListModel
                textRole: "portName"
                currentIndex: serialPortQml.portIndex
                onActivated: serialPortQml.portIndex = index
            }
            CustomLabel { text: "Baud rate:" }
            CustomComboBox {
                objectName: "baudRateChoice"
                model: ["1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"]
                currentIndex: serialGroup.baudRates.indexOf(serialPortQml.baudRate)
                onActivated: serialPortQml.baudRate = serialGroup.baudRates[index]
            }
            CustomLabel { text: "Data bits:" }
            CustomComboBox {
                objectName: "dataBitsChoice"
                model: ["5", "6", "7", "8"]
                currentIndex: serialGroup.dataBits.indexOf(serialPortQml.dataBits)
                onActivated: serialPortQml.dataBits = serialGroup.dataBits[index]
            }
            CustomLabel { text: "Parity:" }
            CustomComboBox {
                objectName: "parityChoice"
                model: ["None", "Even", "Odd", "Space", "Mark"]
                currentIndex: serialGroup.parities.indexOf(serialPortQml.parity)
                onActivated: serialPortQml.parity = serialGroup.parities[index]
            }
            CustomLabel { text: "Stop bits:" }
            CustomComboBox {
                objectName: "stopBitsChoice"
                model: ["1", "1.5", "2"]
                currentIndex: serialGroup.stopBits.indexOf(serialPortQml.stopBits)
                onActivated: serialPortQml.stopBits = serialGroup.stopBits[index]
            }
            CustomText {
                objectName: "serialStatus"
                Layout.columnSpan: 2
                Layout.fillWidth: true
                wrapMode: Text.WordWrap
                text: serialPortQml.statusText !== "" ? serialPortQml.statusText
                      : "Commands end with a line feed or a carriage return; replies end with a line feed."
            }
        }

        CustomSmallerFontText {
            objectName: "disabledText"
            visible: connectScreen.mode === 0
            Layout.fillWidth: true
            text: "Connectivity is disabled: no other device can reach this one."
        }
    }
}
