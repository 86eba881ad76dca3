import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Asks before the program ends; Yes keeps the settings and quits.
Dialog {
    id: dialog
    objectName: "exitDialog"
    modal: true
    anchors.centerIn: Overlay.overlay
    width: Math.min(parent ? parent.width * 0.9 : 400, 420)

    ColumnLayout {
        width: dialog.availableWidth
        CustomText {
            Layout.fillWidth: true
            text: "Would you like to exit the application?\n"
        }
        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            CustomDialogButtonWithBackground {
                objectName: "noButton"
                text: "No"
                onClicked: dialog.close()
            }
            CustomDialogButtonWithBackground {
                objectName: "yesButton"
                text: "Yes"
                onClicked: coreObj.saveAndQuit(false)
            }
        }
    }
    onClosed: destroy()
}
