import QtQuick 2.15
import QtQuick.Layouts 1.15

// The quantity and scale of the vertical axis.
ScreenBase {
    objectName: "yAxisScreen"
    title: "The vertical axis scale and units"

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        NumberField {
            objectName: "minimumField"
            label: "Minimum:"
            value: yAxisQml.minimum
            apply: function(text) { return yAxisQml.enterMinimum(text) }
        }
        NumberField {
            objectName: "maximumField"
            label: "Maximum:"
            value: yAxisQml.maximum
            apply: function(text) { return yAxisQml.enterMaximum(text) }
        }
        CustomCheckBox {
            objectName: "autoRecalcBox"
            text: " Automatically recalculate max scale "
            value: yAxisQml.autoRecalc
            onChosen: yAxisQml.autoRecalc = checked
        }
        CustomCheckBox {
            objectName: "rulersBox"
            text: " Enable rulers on zoom"
            value: yAxisQml.enableRulers
            onChosen: yAxisQml.enableRulers = checked
        }
    }
    OptionList {
        objectName: "unitList"
        title: "Units"
        options: optionLists.yUnits
        currentIndex: yAxisQml.units
        onChosen: {
            discardFields()
            yAxisQml.units = index
            yAxisQml.updateScaleValues()
        }
    }
}
