import QtQuick 2.15
import QtQuick.Controls 2.15

// A modal message with one OK button. Closing it clears the core's text, so
// the same message can be shown again the next time it is reported.
Dialog {
    id: dialog
    objectName: "okDialog"
    modal: true
    anchors.centerIn: Overlay.overlay
    width: Math.min(parent ? parent.width * 0.9 : 400, 480)
    standardButtons: Dialog.Ok
    property alias text: message.text

    function show(newText) {
        message.text = newText
        open()
    }

    Label {
        id: message
        width: dialog.availableWidth
        wrapMode: Text.WordWrap
    }

    onClosed: coreObj.okDialogText = ""
}
