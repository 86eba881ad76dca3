import QtQuick 2.15
import QtQuick.Controls 2.15

// A field for a number or a text; 'edited' fires on every change the user makes.
TextField {
    font.pointSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11
    implicitWidth: 180
    selectByMouse: true
}
