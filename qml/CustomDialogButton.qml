import QtQuick 2.15

// A button of a dialog's button row (Yes, No, Ok, X).
CustomButton {
    implicitWidth: Math.max(80, contentItem.implicitWidth + 24)
}
