import QtQuick 2.15

// A small dialog button on a coloured background (the close "X").
CustomButtonWithBackground {
    font.pointSize: (coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11) * 0.9
    implicitWidth: Math.max(40, contentItem.implicitWidth + 16)
}
