import QtQuick 2.15
import QtQuick.Controls 2.15

// A push button on a coloured background, for the main actions.
CustomButton {
    id: control
    property color backgroundColor: "#3a6ea5"
    contentItem: Text {
        text: control.text
        font: control.font
        color: control.enabled ? "white" : "#c0c0c0"
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        radius: 4
        color: control.down ? Qt.darker(control.backgroundColor, 1.3)
                            : (control.enabled ? control.backgroundColor : "#8a9bb0")
    }
}
