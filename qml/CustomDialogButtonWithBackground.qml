import QtQuick 2.15

// A dialog button on a coloured background.
CustomButtonWithBackground {
    implicitWidth: Math.max(80, contentItem.implicitWidth + 24)
}
