import QtQuick 2.15
import QtQuick.Layouts 1.15

// Saving the results: the data file, the plot image and a copy of the
// configuration, time-stamped, in the results folder.
ScreenBase {
    objectName: "shareResultsScreen"
    title: "Share results"

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        CustomText {
            Layout.fillWidth: true
            text: "The results of the calculations may\nbe shared and/or stored as follows:"
        }
        CustomButtonWithBackground {
            objectName: "saveButton"
            text: "Save to Documents"
            Layout.fillWidth: true
            onClicked: {
                shareResultsQml.saveToDocuments("")
                close()
            }
        }
        CustomButtonWithBackground {
            text: "Share results"
            Layout.fillWidth: true
            onClicked: shareResultsQml.shareImageAndText()
        }
        CustomCheckBox {
            text: "Attach image to message"
            value: shareResultsQml.attachImage
            onChosen: shareResultsQml.attachImage = checked
        }
        CustomCheckBox {
            text: "Attach data file to message"
            value: shareResultsQml.attachDataFile
            onChosen: shareResultsQml.attachDataFile = checked
        }
    }
    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        CustomSmallerFontText {
            Layout.fillWidth: true
            text: "The image, the data file and a copy of the\nconfiguration are saved to the results folder:\n" + shareResultsQml.resultsFolder
        }
        CustomSmallerFontText {
            Layout.fillWidth: true
            text: "Note: This capability is currently\nnot available for Windows phones"
        }
    }
}
