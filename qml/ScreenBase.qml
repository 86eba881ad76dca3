import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The frame every settings screen shares: a title, a close button "X" and a
// scrolling area for the screen's groups, which stack top to bottom on a
// portrait screen and stand side by side on a landscape one. The screen
// destroys itself when closed.
Rectangle {
    id: screen
    property string title: ""
    property bool landscape: width > height
    // Called before the screen goes; screens that must finish something set it.
    signal closing()
    default property alias content: groups.data

    anchors.fill: parent
    color: "#f4f6f8"
    z: 10

    // Keys and clicks do not reach the main form underneath; Escape closes.
    MouseArea { anchors.fill: parent }
    focus: true
    Keys.onEscapePressed: close()

    function close() {
        closing()
        screen.destroy()
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 8
        spacing: 6

        RowLayout {
            Layout.fillWidth: true
            CustomLabel {
                objectName: "screenTitle"
                Layout.fillWidth: true
                text: screen.title
                font.bold: true
            }
            CustomDialogButtonWithBackgroundSmall {
                objectName: "closeButton"
                text: "X"
                Layout.alignment: Qt.AlignTop
                onClicked: screen.close()
            }
        }

        Flickable {
            id: flick
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            contentWidth: width
            ScrollBar.vertical: ScrollBar {}

            GridLayout {
                id: groups
                width: flick.width - 12
                columns: screen.landscape ? 2 : 1
                columnSpacing: 16
                rowSpacing: 10
            }
            // Wrapped texts change their height while the layout settles; the
            // scroll height follows once it has.
            Connections {
                target: groups
                function onImplicitHeightChanged() {
                    Qt.callLater(function() { flick.contentHeight = groups.implicitHeight })
                }
            }
        }
    }
}
