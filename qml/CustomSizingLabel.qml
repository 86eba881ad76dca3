import QtQuick 2.15
import QtQuick.Layouts 1.15

// A label that takes the width it is given and wraps inside it.
CustomLabel {
    Layout.fillWidth: true
}
