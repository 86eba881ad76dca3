import QtQuick 2.15
import QtQuick.Controls 2.15

// A plain push button with the program's font size.
Button {
    font.pointSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11
    implicitHeight: Math.max(coreObj.defaultLabelHeight, contentItem.implicitHeight + 16)
}
