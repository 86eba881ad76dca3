import QtQuick 2.15
import QtQuick.Controls 2.15

// An on/off switch with the program's font size. Like CustomCheckBox it shows
// `value` and reports every change of its state, from a tap, a key or an
// accessibility action, as `chosen(checked)`; then it shows the stored value.
Switch {
    id: control
    property bool value: false
    signal chosen(bool checked)
    checked: value
    // Screen readers and UI automation find the control by its text.
    Accessible.name: text.replace(/\n/g, " ")
    font.pointSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11
    onCheckedChanged: {
        if (checked === value)
            return
        // An accessibility action reaches a disabled control too; it changes nothing.
        if (enabled)
            chosen(checked)
        checked = Qt.binding(function() { return control.value })
    }
}
