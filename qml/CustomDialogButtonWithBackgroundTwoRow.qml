import QtQuick 2.15

// A dialog button whose text takes two lines.
CustomButtonWithBackground {
    implicitWidth: Math.max(100, contentItem.implicitWidth + 24)
    implicitHeight: contentItem.implicitHeight + 16
}
