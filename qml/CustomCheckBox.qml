import QtQuick 2.15
import QtQuick.Controls 2.15

// A check box with the program's font size. It shows `value`, the setting it
// controls, and reports every change of its state as `chosen(checked)`: a
// click, the space key and an accessibility action (which sets the state
// without a click) all arrive there, so a screen stores what it is told in one
// place. Afterwards the box shows the stored value again, also when the screen
// did not take the change.
CheckBox {
    id: box
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
        checked = Qt.binding(function() { return box.value })
    }
}
