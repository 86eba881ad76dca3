import QtQuick 2.15
import QtQuick.Layouts 1.15

// How a single spectral line is calculated.
ScreenBase {
    objectName: "lineOptionsScreen"
    title: "Single spectral line calculation setup options"

    OptionList {
        title: "Lineshape"
        options: ["Doppler lineshape profile", "Lorentz lineshape profile",
                  "Voigt lineshape / Standard precision", "Voigt lineshape / Higher precision"]
        currentIndex: lineOptQml.lineshapeProfile
        onChosen: lineOptQml.lineshapeProfile = index
    }
    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        NumberField {
            label: "Intensity threshold:\n(cm * molec * 1E-25)"
            value: lineOptQml.intensThresh
            onEdited: lineOptQml.intensThresh = text
        }
        NumberField {
            label: "Line wing contribution:\n(saturated halfwidths)"
            value: lineOptQml.wingContribSatHw
            onEdited: lineOptQml.wingContribSatHw = text
        }
        NumberField {
            label: "Line wing contribution:\n(absolute, in cm-1)"
            value: lineOptQml.wingContribAbs
            onEdited: lineOptQml.wingContribAbs = text
        }
        RowLayout {
            CustomLabel {
                text: "Lineshape broadening"
                Layout.preferredWidth: 190
            }
            CustomComboBox {
                model: ["Air", "Self", "Air and Self"]
                currentIndex: lineOptQml.lineBroadening
                onActivated: lineOptQml.lineBroadening = index
            }
        }
        CustomCheckBox {
            text: "Use line shift"
            checked: lineOptQml.useLineShift
            onClicked: lineOptQml.useLineShift = checked
        }
    }
}
