import QtQuick 2.15
import QtQuick.Controls 2.15

// A plain push button with the program's font size.
Button {
    // Screen readers and UI automation find the control by its text.
    Accessible.name: text.replace(/\n/g, " ")
    font.pointSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11
    implicitHeight: Math.max(coreObj.defaultLabelHeight, contentItem.implicitHeight + 16)
}
