import QtQuick 2.15

// Plain text with the program's font size.
Text {
    font.pointSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11
    wrapMode: Text.WordWrap
}
