import QtQuick 2.15
import QtQuick.Layouts 1.15

// A labelled field for one number, applied when the user commits it (see
// NumberInput): `apply(text)` stores it or returns why not, and `applied`
// follows a stored value.
RowLayout {
    id: field
    property string label: ""
    property string value: ""
    property bool readOnly: false
    property var apply: null
    property alias problem: entry.problem
    property alias input: entry.input
    signal applied()

    function discard() { entry.discard() }

    CustomLabel {
        text: field.label
        Layout.preferredWidth: 190
        Layout.alignment: Qt.AlignTop
        topPadding: 8
    }
    NumberInput {
        id: entry
        Layout.fillWidth: true
        value: field.value
        readOnly: field.readOnly
        apply: field.apply
        accessibleName: field.label.replace(/\n/g, " ").replace(/:\s*$/, "")
        onApplied: field.applied()
    }
}
