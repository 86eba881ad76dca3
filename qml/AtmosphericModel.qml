import QtQuick 2.15
import QtQuick.Layouts 1.15
import Plot 1.0

// The standard atmospheres with a plot of the chosen profile over altitude;
// "Apply" asks before the ground values replace the path settings.
ScreenBase {
    id: atmScreen
    objectName: "atmosphereScreen"
    title: "Standard atmosphere models"

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        OptionList {
            // In the order of the model numbers.
            options: optionLists.atmosphereModels
            currentIndex: atmListViewModel.modelNum
            onChosen: atmListViewModel.modelNum = index
        }
        CustomComboBox {
            objectName: "profileChoice"
            label: "Profile shown"
            model: atmListViewModel
            textRole: "itemName"
            currentIndex: atmListViewModel.selectedItem
            onActivated: atmListViewModel.selectedItem = index
        }
        CustomSmallerFontText {
            Layout.fillWidth: true
            text: "Currently only ground altitude values are used."
        }
        CustomButtonWithBackground {
            objectName: "applyButton"
            text: "Apply"
            onClicked: mainWindow.openScreen("AtmosphericModelApply.qml")
        }
    }
    Plot {
        id: profilePlot
        objectName: "profilePlot"
        Layout.fillWidth: true
        Layout.preferredHeight: atmScreen.landscape ? atmScreen.height - 80 : 320
        Layout.minimumWidth: 200
        plotInverted: true
        xMinPadding: 50
        xMaxPadding: 12
        yMinPadding: 10
        // The bottom title sits 1.5 to 2.5 text heights below the frame.
        yMaxPadding: Math.ceil(profileMetrics.height * 2.5) + 4
        fontPointSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize * 0.8 : 9
        lineThickness: 2
        numMajorXTicks: 6
        numMajorYTicks: 4
        yAxisTitle: atmListViewModel.xAxisTitle
        xAxisTitle: "Altitude, km"
        FontMetrics {
            id: profileMetrics
            font.pointSize: profilePlot.fontPointSize
        }
        minX: atmListViewModel.minX
        maxX: atmListViewModel.maxX
        minY: atmListViewModel.minY
        maxY: atmListViewModel.maxY
    }

    // The profile arrives as one curve with its altitudes; it is handed over
    // when the model announces the curve (index 0).
    Connections {
        target: atmListViewModel
        function onCurrSpecIndexChanged() {
            var index = atmListViewModel.currSpecIndex
            profilePlot.currSpecIndex = index
            if (index === 0) {
                profilePlot.lineColor = atmListViewModel.lineColor
                profilePlot.spectrum = atmListViewModel.spectrum
            }
        }
    }
    Component.onCompleted: atmListViewModel.plotSpectrum()
}
