import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The "Live" switch and, while it is on, the sliders of the inputs a finger
// explores: temperature, total pressure, path length and the concentration of
// the molecule chosen beside it. Every change recalculates by itself.
RowLayout {
    id: bar
    property real fontSize: 11
    spacing: 6

    CustomSwitch {
        objectName: "liveSwitch"
        text: "Live"
        checked: liveCalculation.enabled
        onToggled: liveCalculation.switchFromWindow(checked)
        Accessible.onPressAction: { toggle(); toggled() }
    }
    LiveSlider {
        visible: liveCalculation.enabled
        Layout.fillWidth: true
        quantity: 0
        name: "Temperature"
        fontSize: bar.fontSize
    }
    LiveSlider {
        visible: liveCalculation.enabled
        Layout.fillWidth: true
        quantity: 1
        name: "Total pressure"
        fontSize: bar.fontSize
    }
    LiveSlider {
        visible: liveCalculation.enabled
        Layout.fillWidth: true
        quantity: 2
        name: "Path length"
        fontSize: bar.fontSize
    }
    CustomComboBox {
        objectName: "liveMolecule"
        visible: liveCalculation.enabled
        label: "Molecule of the concentration slider"
        implicitWidth: bar.fontSize * 7
        model: liveControls.moleculeNames
        currentIndex: liveControls.molecule - 1
        onActivated: liveControls.molecule = index + 1
    }
    LiveSlider {
        visible: liveCalculation.enabled
        Layout.fillWidth: true
        quantity: 3
        name: "Concentration"
        fontSize: bar.fontSize
    }
    Item { Layout.fillWidth: true; visible: !liveCalculation.enabled }
}
