import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The frame every settings screen shares: a title, a close button "X" and a
// scrolling area for the screen's groups, which stack top to bottom on a
// portrait screen and stand side by side on a landscape one. Closing applies
// the numbers still being edited; when one is refused the screen stays open
// with the reason beside the field, and a second close leaves it unapplied.
// The screen destroys itself when closed.
Rectangle {
    id: screen
    property string title: ""
    property bool landscape: width > height
    // The field and text a close found refused; closing again with the same
    // text there discards it.
    property var refusedInput: null
    property string refusedText: ""
    readonly property bool refusalShown: refusedInput !== null
    // Dialogs of the screen: a close (Escape) closes an open one first.
    property var dialogs: []
    // Called before the screen goes; screens that must finish something set it.
    signal closing()
    default property alias content: groups.data

    anchors.fill: parent
    color: "#f4f6f8"
    z: 10

    // Clicks, touches and the mouse wheel do not reach the main form
    // underneath; a click beside the fields ends their editing.
    MouseArea {
        anchors.fill: parent
        onPressed: screen.forceActiveFocus()
        onWheel: wheel.accepted = true
    }
    focus: true

    // The number fields below `item`, in the order they are laid out.
    function numberInputs(item, found) {
        for (var i = 0; i < item.children.length; ++i) {
            var child = item.children[i]
            if (child.isNumberInput === true)
                found.push(child)
            else
                numberInputs(child, found)
        }
        return found
    }

    // Applies every field still being edited; returns the first that was
    // refused, or null.
    function commitFields() {
        var inputs = numberInputs(screen, [])
        var refused = null
        for (var i = 0; i < inputs.length; ++i) {
            if (!inputs[i].commit() && refused === null)
                refused = inputs[i]
        }
        return refused
    }

    // Drops what the fields hold unstored, refused texts too: after a change
    // of unit a typed number would mean another value.
    function discardFields() {
        var inputs = numberInputs(screen, [])
        for (var i = 0; i < inputs.length; ++i)
            inputs[i].discard()
        refusedInput = null
        refusedText = ""
    }

    function close() {
        for (var d = 0; d < dialogs.length; ++d) {
            if (dialogs[d].opened) {
                dialogs[d].close()
                return
            }
        }
        var refused = commitFields()
        if (refused !== null && !(refused === refusedInput && refused.text === refusedText)) {
            refusedInput = refused
            refusedText = refused.text
            refused.input.forceActiveFocus()
            return
        }
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
                Accessible.name: "Close"
                Layout.alignment: Qt.AlignTop
                onClicked: screen.close()
            }
        }
        Text {
            objectName: "refusalNote"
            Layout.fillWidth: true
            visible: screen.refusalShown
            text: "A value was not applied (see the field). Correct it, or close again to leave it unapplied."
            color: "#c62828"
            wrapMode: Text.WordWrap
            font.pointSize: (coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11) * 0.9
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
