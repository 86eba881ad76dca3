import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// A titled list of mutually exclusive choices (units, value source, modes).
// 'chosen' fires when the user picks an entry, by a click, a key or an
// accessibility action (which checks the entry without a click). The entries
// show `currentIndex`, the choice in use, and nothing else: one picked but not
// taken falls back to it.
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
    Repeater {
        model: list.options
        RadioButton {
            id: option
            objectName: "option" + index
            text: modelData
            Accessible.name: modelData.replace(/\n/g, " ")
            font.pointSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11
            // The list, not the buttons, keeps them exclusive: only the choice in use is checked.
            autoExclusive: false
            checked: index === list.currentIndex
            enabled: list.disabledOptions.indexOf(index) < 0
            onCheckedChanged: {
                if (checked === (index === list.currentIndex))
                    return
                // An accessibility action reaches a disabled entry too; it changes nothing.
                if (checked && enabled)
                    list.chosen(index)
                checked = Qt.binding(function() { return index === list.currentIndex })
            }
        }
    }
}
