import QtQuick 2.15
import QtQuick.Controls 2.15

// One choice of a row of mutually exclusive buttons (units, value source).
TabButton {
    // Screen readers and UI automation find the control by its text.
    Accessible.name: text.replace(/\n/g, " ")
    font.pointSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11
    implicitWidth: Math.max(90, contentItem.implicitWidth + 20)
}
