import QtQuick 2.15
import QtQuick.Layouts 1.15

// Smoothing of the totals with the response of an instrument.
ScreenBase {
    objectName: "instrumentFunctionScreen"
    title: "Smooth spectrum with an instrument function"

    readonly property var names: ["None", "Rectangular (Boxcar)", "Triangular", "Gaussian",
        "Dispersion (Lorentz)", "Diffraction", "Michelson", "Cosine"]
    readonly property var meanings: ["", "g - slit width or the instrument resolution",
        "g - line width == half base of the triangle", "g/2 - Gaussian half-width at half-maximum",
        "g/2 - Lorentzian half-width at half-maximum", "g - the width of the diffraction slit function",
        "1/g - the maximum optical path difference", "g - width at half maximum (zero beyond ±g)"]

    OptionList {
        objectName: "functionList"
        title: "Instrument function"
        options: names
        currentIndex: instrFunctQml.instrFunctIndex
        onChosen: {
            instrFunctQml.instrFunctIndex = index
            specResultsQml.updatePlotAllPreserveScale()
            remoteControlQml.broadcastCommand("INSTRFUNCT", 0)
        }
    }
    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        NumberField {
            objectName: "resolutionField"
            label: "Instrument\n resolution, g, (cm-1):"
            value: instrFunctQml.instrResol
            apply: function(text) { return instrFunctQml.enterInstrResol(text) }
            onApplied: {
                specResultsQml.updatePlotAllPreserveScale()
                remoteControlQml.broadcastCommand("INSTRRES", 0)
            }
        }
        NumberField {
            objectName: "wingField"
            label: "Instrument function\nwing, (cm-1):"
            value: instrFunctQml.instrFunctWing
            apply: function(text) { return instrFunctQml.enterInstrFunctWing(text) }
            onApplied: {
                specResultsQml.updatePlotAllPreserveScale()
                remoteControlQml.broadcastCommand("INSTRWING", 0)
            }
        }
        CustomSmallerFontText {
            Layout.fillWidth: true
            text: meanings[Math.max(0, Math.min(7, instrFunctQml.instrFunctIndex))]
        }
    }
}
