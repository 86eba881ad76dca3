import QtQuick 2.15
import QtQuick.Controls 2.15

// Read-only text of several lines.
TextArea {
    font.pointSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11
    readOnly: true
    wrapMode: TextEdit.WordWrap
    background: null
}
