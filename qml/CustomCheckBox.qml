import QtQuick 2.15
import QtQuick.Controls 2.15

// A check box with the program's font size.
CheckBox {
    font.pointSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11
}
