import QtQuick 2.15
import QtQuick.Layouts 1.15

// A spectrum measured by an instrument: the file it is read from, what the
// fit of the calculation to it varies, and the fit's results.
ScreenBase {
    id: measuredScreen
    objectName: "measuredSpectrumScreen"
    title: "Measured spectrum and fit"
    readonly property real smallFont: (coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11) * 0.9

    Component.onCompleted: measuredSpectrumQml.refresh()

    Connections {
        target: measuredSpectrumQml
        function onFileChosen(path) { fileField.text = path }
    }

    // The two groups share a landscape screen equally whatever they show, so
    // that no control moves under the finger when a file loads or a fit ends.
    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        Layout.preferredWidth: 400
        spacing: 6

        CustomLabel {
            Layout.fillWidth: true
            text: "File (a name in the data folder, or a path):"
        }
        RowLayout {
            Layout.fillWidth: true
            CustomTextField {
                id: fileField
                objectName: "measuredFileField"
                Layout.fillWidth: true
                // A long path scrolls within the field instead of widening the screen.
                implicitWidth: 220
                Accessible.name: "Measured spectrum file"
                Accessible.description: measuredSpectrumQml.loadProblem
                placeholderText: "measured.txt"
                onAccepted: measuredSpectrumQml.load(text)
            }
            CustomDialogButtonWithBackground {
                objectName: "loadMeasuredButton"
                text: "Load"
                enabled: !measuredSpectrumQml.running
                onClicked: measuredSpectrumQml.load(fileField.text)
            }
        }
        Text {
            objectName: "loadProblem"
            Layout.fillWidth: true
            visible: text !== ""
            text: measuredSpectrumQml.loadProblem
            color: "#c62828"
            wrapMode: Text.WordWrap
            font.pointSize: measuredScreen.smallFont
        }
        CustomText {
            objectName: "measuredFileName"
            Layout.fillWidth: true
            text: measuredSpectrumQml.loaded ? "Loaded: " + measuredSpectrumQml.fileName
                                             : "No measured spectrum is loaded."
            font.bold: true
        }
        CustomText {
            objectName: "measuredRows"
            Layout.fillWidth: true
            visible: measuredSpectrumQml.loaded
            text: measuredSpectrumQml.rowsText
            font.pointSize: measuredScreen.smallFont
        }
        RowLayout {
            CustomDialogButtonWithBackground {
                objectName: "browseMeasuredButton"
                text: "Open file…"
                Accessible.name: "Open a measured spectrum file"
                enabled: !measuredSpectrumQml.running
                onClicked: measuredSpectrumQml.browse()
            }
            CustomDialogButtonWithBackground {
                objectName: "removeMeasuredButton"
                text: "Remove"
                Accessible.name: "Remove the measured spectrum"
                enabled: measuredSpectrumQml.loaded && !measuredSpectrumQml.running
                onClicked: measuredSpectrumQml.remove()
            }
        }
    }

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        Layout.preferredWidth: 400
        spacing: 4

        CustomLabel {
            Layout.fillWidth: true
            text: "The fit varies:"
            font.bold: true
        }
        Flow {
            Layout.fillWidth: true
            spacing: 4
            Repeater {
                model: measuredSpectrumQml.molecules
                CustomCheckBox {
                    objectName: "vary" + modelData
                    text: modelData
                    value: measuredSpectrumQml.variedMolecules.indexOf(modelData) >= 0
                    onChosen: measuredSpectrumQml.setVaried(modelData, checked)
                }
            }
            CustomCheckBox {
                objectName: "varyT"
                text: "T"
                Accessible.name: "Temperature"
                value: measuredSpectrumQml.varyTemperature
                onChosen: measuredSpectrumQml.setVaried("T", checked)
            }
            CustomCheckBox {
                objectName: "varyP"
                text: "P"
                Accessible.name: "Total pressure"
                value: measuredSpectrumQml.varyPressure
                onChosen: measuredSpectrumQml.setVaried("P", checked)
            }
            CustomCheckBox {
                objectName: "varyShift"
                text: "shift"
                Accessible.name: "Wavenumber shift"
                value: measuredSpectrumQml.varyShift
                onChosen: measuredSpectrumQml.setVaried("shift", checked)
            }
        }
        OptionList {
            objectName: "baselineList"
            title: "Baseline"
            options: ["none", "order 0", "order 1", "order 2"]
            currentIndex: measuredSpectrumQml.baselineOrder + 1
            onChosen: measuredSpectrumQml.setBaselineOrder(index - 1)
        }
        Text {
            objectName: "variedProblem"
            Layout.fillWidth: true
            visible: text !== ""
            text: measuredSpectrumQml.variedProblem
            color: "#c62828"
            wrapMode: Text.WordWrap
            font.pointSize: measuredScreen.smallFont
        }
        CustomDialogButtonWithBackground {
            objectName: "fitButton"
            text: measuredSpectrumQml.running ? "Fitting…" : "Fit"
            Accessible.name: "Fit"
            enabled: !measuredSpectrumQml.running
            onClicked: measuredSpectrumQml.fit()
        }
        Text {
            objectName: "fitProblem"
            Layout.fillWidth: true
            visible: text !== ""
            text: measuredSpectrumQml.fitProblem
            color: "#c62828"
            wrapMode: Text.WordWrap
            font.pointSize: measuredScreen.smallFont
        }
        CustomText {
            objectName: "fitResults"
            Layout.fillWidth: true
            visible: text !== ""
            text: measuredSpectrumQml.resultLines.join("\n")
            font.family: "monospace"
            font.pointSize: measuredScreen.smallFont
        }
    }
}
