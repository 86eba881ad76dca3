import QtQuick 2.15
import QtQuick.Controls 2.15

// A drop-down list of choices with the program's font size.
ComboBox {
    font.pointSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11
    implicitWidth: 260
}
