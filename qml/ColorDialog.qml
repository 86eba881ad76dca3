import QtQuick 2.15
import QtQuick.Layouts 1.15
import ColorPlot 1.0

// Picks the plot colour of one molecule: lightness in the field, hue on the bar.
ScreenBase {
    objectName: "colorDialog"
    title: " Select color to be used for plotting spectrum "

    ColumnLayout {
        Layout.fillWidth: true
        Layout.alignment: Qt.AlignTop
        ColorPlot {
            id: picker
            objectName: "colorPicker"
            Layout.fillWidth: true
            Layout.preferredHeight: 260
            selectorWidth: 18
            colorBarHeight: 40
            color: molListViewModel.selectedColor

            MouseArea {
                anchors.fill: parent
                function pick(mouse) {
                    if (mouse.y >= picker.height - picker.colorBarHeight) {
                        var w = Math.max(1, picker.width)
                        picker.hueValue = Math.max(0, Math.min(359, Math.floor(359 - (w - mouse.x) * 359 / w)))
                    } else {
                        picker.touchX = mouse.x
                        picker.touchY = mouse.y
                    }
                }
                onPressed: pick(mouse)
                onPositionChanged: pick(mouse)
            }
        }
        RowLayout {
            Rectangle {
                width: 60
                height: 30
                color: picker.color
                border.color: "#606060"
            }
            CustomText { text: picker.color }
            Item { Layout.fillWidth: true }
            CustomDialogButtonWithBackground {
                text: "Cancel"
                onClicked: close()
            }
            CustomDialogButtonWithBackground {
                objectName: "okButton"
                text: "Ok"
                onClicked: {
                    molListViewModel.selectedColor = picker.color
                    molListViewModel.updateActiveColor()
                    molListViewReducedModel.updateDisplayed()
                    close()
                }
            }
        }
    }
}
