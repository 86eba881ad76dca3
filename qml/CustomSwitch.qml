import QtQuick 2.15
import QtQuick.Controls 2.15

// An on/off switch with the program's font size.
Switch {
    // Screen readers and UI automation find the control by its text.
    Accessible.name: text.replace(/\n/g, " ")
    font.pointSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11
}
