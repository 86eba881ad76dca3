import QtQuick 2.15

// Explanatory text in a smaller font.
Text {
    font.pointSize: (coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11) * 0.85
    wrapMode: Text.WordWrap
    color: "#404040"
}
