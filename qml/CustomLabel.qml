import QtQuick 2.15
import QtQuick.Controls 2.15

// A label for a field.
Label {
    font.pointSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11
    wrapMode: Text.WordWrap
}
