import QtQuick 2.15
import QtQuick.Layouts 1.15

// A labelled field for one number; 'edited' carries the text after each change
// by the user (the view objects apply it once it is a complete number).
RowLayout {
    id: field
    property string label: ""
    property string value: ""
    property bool readOnly: false
    signal edited(string text)

    CustomLabel {
        text: field.label
        Layout.preferredWidth: 190
    }
    CustomTextField {
        id: input
        objectName: "numberInput"
        text: field.value
        readOnly: field.readOnly
        inputMethodHints: Qt.ImhFormattedNumbersOnly
        Layout.fillWidth: true
        onTextEdited: field.edited(text)
    }
}
