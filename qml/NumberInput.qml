import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// A field for one number that is applied when the user commits it: on Enter or
// Return, when the field loses the focus, and when its screen closes. Until then
// nothing is stored and nothing is refused. `apply(text)` stores the value and
// returns why it cannot (an empty text when it was stored); a refused text stays
// in the field, framed in red with the reason below it, so that it can be
// corrected, and the stored value is unchanged. The field shows the stored
// `value` again whenever the user has not typed since it last showed one.
ColumnLayout {
    id: root
    property string value: ""
    property var apply: null
    property bool readOnly: false
    property string accessibleName: ""
    property alias text: input.text
    property alias input: input
    // Why the text in the field was refused; empty while nothing is wrong.
    property string problem: ""
    // Lets a screen find its fields when it closes.
    readonly property bool isNumberInput: true
    signal applied()
    spacing: 2

    // The text last stored from this field, as the user typed it.
    property string committedText: ""
    // The user has typed since the field last showed or stored a value: the
    // field then keeps the text, whatever the stored value does.
    property bool edited: false

    // Applies the text unless it is the value shown or the one just stored;
    // returns false when it was refused.
    function commit() {
        if (readOnly || apply === null || input.text === value || input.text === committedText) {
            problem = ""
            return true
        }
        var why = apply(input.text)
        problem = why
        if (why !== "")
            return false
        committedText = input.text
        edited = false
        applied()
        if (!input.activeFocus)
            showValue()
        return true
    }

    function showValue() {
        input.text = value
        committedText = ""
        edited = false
    }

    // Drops what was typed and not stored, a refused text too, and shows the
    // value in use: for a change (a new unit) after which the text would mean
    // something else.
    function discard() {
        problem = ""
        showValue()
    }

    Component.onCompleted: showValue()
    onValueChanged: {
        if ((!input.activeFocus || !edited) && problem === "")
            showValue()
    }

    CustomTextField {
        id: input
        objectName: "numberInput"
        Layout.fillWidth: true
        readOnly: root.readOnly
        inputMethodHints: Qt.ImhFormattedNumbersOnly
        Accessible.name: root.accessibleName
        Accessible.description: root.problem
        color: root.readOnly ? "#505050" : "black"
        background: Rectangle {
            implicitHeight: 36
            radius: 2
            color: root.readOnly ? "#eceff2" : "white"
            border.width: root.problem !== "" || input.activeFocus ? 2 : 1
            border.color: root.problem !== "" ? "#c62828" : (input.activeFocus ? "#3a6ea5" : "#a0a4a8")
        }
        onAccepted: root.commit()
        onActiveFocusChanged: {
            if (activeFocus)
                return
            if (root.commit() && root.problem === "")
                root.showValue()
        }
        // Typing again starts a new entry: the old reason no longer applies.
        onTextEdited: {
            root.problem = ""
            root.edited = true
        }
    }
    Text {
        objectName: "numberProblem"
        Layout.fillWidth: true
        visible: root.problem !== ""
        text: root.problem
        color: "#c62828"
        wrapMode: Text.WordWrap
        font.pointSize: (coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11) * 0.9
    }
}
