import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The "Live" switch and, while it is on, the sliders of the inputs a finger
// explores: temperature, total pressure, path length and the concentration of
// the molecule chosen beside the switch. Every change recalculates by itself.
// The sliders appear above the switch, so that the tap that turns it on never
// lands on a slider that takes the switch's place.
ColumnLayout {
    id: bar
    property real fontSize: 11
    spacing: 0

    GridLayout {
        Layout.fillWidth: true
        visible: liveCalculation.enabled
        // Two by two on a phone held upright, in one row on a wide window.
        columns: bar.width > 900 ? 4 : 2
        columnSpacing: 12
        rowSpacing: 0
        Repeater {
            model: ["Temperature", "Total pressure", "Path length", "Concentration"]
            LiveSlider {
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                quantity: index
                name: modelData
                fontSize: bar.fontSize
            }
        }
    }
    RowLayout {
        Layout.fillWidth: true
        CustomSwitch {
            objectName: "liveSwitch"
            text: "Live"
            value: liveCalculation.enabled
            onChosen: liveCalculation.switchFromWindow(checked)
        }
        Item { Layout.fillWidth: true }
        CustomComboBox {
            objectName: "liveMolecule"
            visible: liveCalculation.enabled
            label: "Molecule of the concentration slider"
            implicitWidth: bar.fontSize * 9
            model: liveControls.moleculeNames
            currentIndex: liveControls.molecule - 1
            onActivated: liveControls.molecule = index + 1
        }
    }
}
