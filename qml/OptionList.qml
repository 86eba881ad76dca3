import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// A titled list of mutually exclusive choices (units, value source, modes).
// 'chosen' fires only when the user picks an entry.
ColumnLayout {
    id: list
    property string title: ""
    property var options: []
    property int currentIndex: -1
    // Entries shown but not selectable (a transport this build lacks).
    property var disabledOptions: []
    signal chosen(int index)
    spacing: 0
    Layout.alignment: Qt.AlignTop

    CustomLabel {
        text: list.title
        visible: list.title !== ""
        font.bold: true
    }
    ButtonGroup { id: group }
    Repeater {
        model: list.options
        RadioButton {
            objectName: "option" + index
            text: modelData
            Accessible.name: modelData
            font.pointSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11
            checked: index === list.currentIndex
            enabled: list.disabledOptions.indexOf(index) < 0
            ButtonGroup.group: group
            onClicked: list.chosen(index)
        }
    }
}
