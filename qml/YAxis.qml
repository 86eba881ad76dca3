import QtQuick 2.15
import QtQuick.Layouts 1.15

// The quantity and scale of the vertical axis.
ScreenBase {
    objectName: "yAxisScreen"
    title: "The vertical axis scale and units"

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        NumberField {
            label: "Minimum:"
            value: yAxisQml.minimum
            onEdited: {
                yAxisQml.minimum = text
                specResultsQml.updateYAxis()
            }
        }
        NumberField {
            label: "Maximum:"
            value: yAxisQml.maximum
            onEdited: {
                yAxisQml.maximum = text
                specResultsQml.updateYAxis()
            }
        }
        CustomCheckBox {
            text: " Automatically recalculate max scale "
            checked: yAxisQml.displayedValue === 1 ? yAxisQml.radianceAutoRecalc : yAxisQml.crossSectionAutoRecalc
            onClicked: {
                if (yAxisQml.displayedValue === 1)
                    yAxisQml.radianceAutoRecalc = checked
                else
                    yAxisQml.crossSectionAutoRecalc = checked
            }
        }
        CustomCheckBox {
            objectName: "rulersBox"
            text: " Enable rulers on zoom"
            checked: yAxisQml.enableRulers
            onClicked: yAxisQml.enableRulers = checked
        }
    }
    OptionList {
        objectName: "unitList"
        title: "Units"
        options: ["Cross-section, cm^2 / molecule", "Optical depth", "Absorption, %", "Transmission, %"]
        currentIndex: yAxisQml.units
        onChosen: {
            yAxisQml.units = index
            yAxisQml.updateScaleValues()
            specResultsQml.updatePlot()
            remoteControlQml.broadcastCommand("YUNITS", 0)
        }
    }
}
