import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The progress banner (Notifier): what the program is doing, how far it is, and a Cancel
// button while a calculation can be stopped.
Rectangle {
    id: banner
    visible: notifyQml.visible
    height: column.implicitHeight + 24
    color: "#e0303840"

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 12
        spacing: 8

        Label {
            objectName: "bannerText"
            Layout.fillWidth: true
            color: "white"
            wrapMode: Text.WordWrap
            text: notifyQml.notification
        }
        ProgressBar {
            Layout.fillWidth: true
            from: 0
            to: 1
            value: notifyQml.value
            indeterminate: notifyQml.indeterminate
        }
        Button {
            Layout.alignment: Qt.AlignHCenter
            visible: notifyQml.cancelButtonVisible
            text: "Cancel"
            onClicked: coreObj.cancelCalculation()
        }
    }
}
