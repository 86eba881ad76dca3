import QtQuick 2.15
import QtQuick.Controls 2.15

// A drop-down list of choices with the program's font size. `label` names it
// for screen readers and UI automation; without one the current choice does.
ComboBox {
    property string label: ""
    font.pointSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11
    implicitWidth: 260
    Accessible.name: label !== "" ? label : displayText
}
