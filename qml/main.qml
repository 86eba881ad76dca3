import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtQuick.Window 2.15

ApplicationWindow {
    id: mainWindow
    visible: true
    width: 480
    height: 800
    title: "Kolvex"

    Label {
        anchors.centerIn: parent
        width: parent.width * 0.8
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
        text: "Kolvex"
        font.pointSize: 24
        visible: !banner.visible
    }

    NotificationBanner {
        id: banner
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
    }

    OkDialog {
        id: okDialog
    }

    function showOkDialogText() {
        if (coreObj.okDialogText !== "" && coreObj.okDialogText !== "undefined")
            okDialog.show(coreObj.okDialogText)
    }

    Connections {
        target: coreObj
        function onOkDialogTextChanged() { mainWindow.showOkDialogText() }
    }

    // A message reported during start-up, before the window existed.
    Component.onCompleted: showOkDialogText()
}
