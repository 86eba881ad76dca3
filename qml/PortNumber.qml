import QtQuick 2.15
import QtQuick.Layouts 1.15

// The port the WebSocket server listens on; applying a new one restarts it.
ScreenBase {
    id: portScreen
    objectName: "portNumberScreen"
    title: "WebSockets port number"

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        CustomText {
            Layout.fillWidth: true
            text: "The default communication port\nfor WebSockets connections is\n1234. It may be modified below."
        }
        NumberInput {
            id: portInput
            objectName: "portInput"
            Layout.fillWidth: true
            value: remoteControlQml.portNumber
            accessibleName: "Port number"
            apply: function(text) { return remoteControlQml.enterPortNumber(text) }
        }
        CustomButtonWithBackground {
            id: applyButton
            objectName: "applyButton"
            text: "Apply value"
            onClicked: {
                if (portInput.commit())
                    portScreen.close()
            }
        }
    }
}
