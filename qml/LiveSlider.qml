import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// One slider of the live bar: its value with the unit above it, the slider
// below. Whatever moves it (a finger, the mouse, the keys, a screen reader's
// increase and decrease) enters the value; the slider follows the value in
// use when it changes elsewhere.
ColumnLayout {
    id: root
    property int quantity: 0
    property string name: ""
    property real fontSize: 11
    spacing: 0

    function follow() {
        slider.following = true
        slider.value = liveControls.position(quantity)
        slider.following = false
    }

    Label {
        objectName: "liveSliderLabel" + root.quantity
        Layout.fillWidth: true
        text: { liveControls.revision; return liveControls.valueText(root.quantity) }
        font.pointSize: root.fontSize * 0.85
        elide: Text.ElideRight
    }
    Slider {
        id: slider
        objectName: "liveSlider" + root.quantity
        property bool following: false
        Layout.fillWidth: true
        from: 0
        to: 1
        stepSize: 0
        enabled: { liveControls.revision; return liveControls.adjustable(root.quantity) }
        Accessible.name: root.name
        onValueChanged: {
            if (!following)
                liveControls.moveTo(root.quantity, value)
        }
        Keys.onPressed: {
            // Arrow keys move by a hundredth of the span.
            if (event.key === Qt.Key_Right || event.key === Qt.Key_Up) {
                value = Math.min(1, value + 0.01)
                event.accepted = true
            } else if (event.key === Qt.Key_Left || event.key === Qt.Key_Down) {
                value = Math.max(0, value - 0.01)
                event.accepted = true
            }
        }
    }
    Connections {
        target: liveControls
        function onChanged() {
            if (!slider.pressed)
                root.follow()
        }
    }
    Component.onCompleted: follow()
}
