import QtQuick 2.15
import QtQuick.Layouts 1.15

// The transport another device uses to drive this program and fetch its
// results: WebSockets over the network, Bluetooth (not in this build), the
// serial port, or none; and whether values changed by hand here are sent on.
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

    function entryOfMode(mode) {
        if (mode === webSocketsMode) return 0
        if (mode === bluetoothMode) return 1
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
            // Bluetooth comes with its own transport.
            disabledOptions: [1, 2]
            currentIndex: connectScreen.entryOfMode(connectScreen.mode)
            onChosen: remoteControlQml.communicationMode = connectScreen.modes[index]
        }
        RowLayout {
            CustomLabel {
                text: "Broadcast manual input: "
            }
            CustomSwitch {
                objectName: "broadcastSwitch"
                checked: remoteControlQml.broadcastManualInput
                onToggled: remoteControlQml.broadcastManualInput = checked
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
                        checked: remoteControlQml.allowWebPages
                        onToggled: remoteControlQml.allowWebPages = checked
                    }
                }
                CustomSmallerFontText {
                    Layout.fillWidth: true
                    color: "#505050"
                    text: "When on, any web page opened on a device of the\nnetwork can drive Kolvex too."
                }
            }
        }

        // Bluetooth: shown so that its place is known; not available yet.
        ColumnLayout {
            objectName: "bluetoothGroup"
            Layout.fillWidth: true
            enabled: false
            opacity: 0.5
            CustomLabel {
                text: "Bluetooth"
                font.bold: true
            }
            CustomSmallerFontText {
                Layout.fillWidth: true
                text: "As a server this device offers the Serial Port Profile\nservice, UUID:\n"
                      + remoteControlQml.connectedString
                      + "\nBluetooth is not available in this version."
            }
            CustomButton {
                objectName: "bluetoothConnectButton"
                text: remoteControlQml.connectButtonText
            }
        }

        // The serial port settings; the serial line carries no data in this version.
        GridLayout {
            objectName: "serialGroup"
            visible: connectScreen.mode === connectScreen.serialMode
            columns: 2
            Layout.fillWidth: true
            CustomLabel {
                Layout.columnSpan: 2
                text: "RS-232 (serial port)"
                font.bold: true
            }
            CustomLabel { text: "Selected port:" }
            CustomComboBox {
                model: serialPortListModel
                textRole: "portName"
                currentIndex: serialPortQml.portIndex
                onActivated: serialPortQml.portIndex = index
            }
            CustomLabel { text: "Baud rate:" }
            CustomComboBox {
                model: ["1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"]
                currentIndex: serialPortQml.baudRate
                onActivated: serialPortQml.baudRate = index
            }
            CustomLabel { text: "Data bits:" }
            CustomComboBox {
                model: ["5", "6", "7", "8"]
                currentIndex: serialPortQml.dataBits
                onActivated: serialPortQml.dataBits = index
            }
            CustomLabel { text: "Stop bits:" }
            CustomComboBox {
                model: ["1", "1.5", "2"]
                currentIndex: serialPortQml.stopBits
                onActivated: serialPortQml.stopBits = index
            }
            CustomSmallerFontText {
                Layout.columnSpan: 2
                Layout.fillWidth: true
                text: "The serial port does not carry commands in this version."
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
