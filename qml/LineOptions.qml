import QtQuick 2.15
import QtQuick.Layouts 1.15

// How a single spectral line is calculated.
ScreenBase {
    objectName: "lineOptionsScreen"
    title: "Single spectral line calculation setup options"

    OptionList {
        objectName: "profileList"
        title: "Lineshape"
        options: optionLists.lineShapes
        currentIndex: lineOptQml.lineshapeProfile
        onChosen: lineOptQml.lineshapeProfile = index
    }
    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        NumberField {
            objectName: "thresholdField"
            label: "Intensity threshold,\n10⁻²⁵ cm/molecule"
            value: lineOptQml.intensThresh
            apply: function(text) { return lineOptQml.enterIntensThresh(text) }
        }
        NumberField {
            objectName: "wingSatField"
            label: "Line wing contribution:\n(saturated halfwidths)"
            value: lineOptQml.wingContribSatHw
            apply: function(text) { return lineOptQml.enterWingContribSatHw(text) }
        }
        NumberField {
            objectName: "wingAbsField"
            label: "Line wing contribution:\n(absolute, in cm-1)"
            value: lineOptQml.wingContribAbs
            apply: function(text) { return lineOptQml.enterWingContribAbs(text) }
        }
        RowLayout {
            CustomLabel {
                text: "Lineshape broadening"
                Layout.preferredWidth: 190
            }
            CustomComboBox {
                objectName: "broadeningChoice"
                label: "Lineshape broadening"
                model: optionLists.broadenings
                currentIndex: lineOptQml.lineBroadening
                onActivated: lineOptQml.lineBroadening = index
            }
        }
        CustomCheckBox {
            objectName: "lineShiftBox"
            text: "Use line shift"
            value: lineOptQml.useLineShift
            onChosen: lineOptQml.useLineShift = checked
        }
    }
}
