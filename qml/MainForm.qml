import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Plot 1.0

// The main screen: the spectrum plot with the names of the shown molecules in
// their colours, and the buttons. On a portrait screen the buttons run along
// the bottom, on a landscape one down the right side.
Item {
    id: form
    property bool landscape: width > height
    property alias plot: spectrumPlot
    property alias plotArea: plotAndList
    readonly property real fontSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11

    Rectangle {
        anchors.fill: parent
        color: "#f4f6f8"
    }

    GridLayout {
        anchors.fill: parent
        anchors.margins: 4
        columns: form.landscape ? 2 : 1
        rowSpacing: 4
        columnSpacing: 4

        // The area that a saved image shows: the plot and the molecule names.
        Rectangle {
            id: plotAndList
            objectName: "plotAndList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: "white"

            Plot {
                id: spectrumPlot
                objectName: "spectrumPlot"
                anchors.fill: parent
                xMinPadding: Math.round(form.fontSize * 5.5)
                xMaxPadding: Math.round(form.fontSize * 1.5)
                yMinPadding: Math.round(form.fontSize * 3)
                yMaxPadding: Math.round(form.fontSize * 4.5)
                fontPointSize: form.fontSize * 0.9
                lineThickness: 1
                numMajorXTicks: form.landscape ? 6 : 4
                numMinorXTicks: 5
                numMajorYTicks: 5
                numMinorYTicks: 5
                enableRulers: yAxisQml.enableRulers

                wnGrid: specResultsQml.wnGrid
                minX: specResultsQml.minX
                maxX: specResultsQml.maxX
                minY: specResultsQml.minY
                maxY: specResultsQml.maxY
                xAxisTitle: specResultsQml.xAxisTitle
                yAxisTitle: specResultsQml.yAxisTitle
                // Curve hand-over: index, then colour, then the curve itself.
                currSpecIndex: specResultsQml.currSpecIndex
                lineColor: specResultsQml.lineColor
                spectrum: specResultsQml.spectrum

                onXHeightChanged: specResultsQml.heightPoints = Math.max(1, height - yMinPadding - yMaxPadding)
                onPlotInProgressChanged: coreObj.updatePlotInProgress(plotInProgress)
                Component.onCompleted: specResultsQml.heightPoints = Math.max(1, height - yMinPadding - yMaxPadding)
            }

            PinchArea {
                anchors.fill: parent
                onPinchStarted: {
                    spectrumPlot.isHorizontalPinch = Math.abs(pinch.point1.x - pinch.point2.x)
                                                     > Math.abs(pinch.point1.y - pinch.point2.y)
                    spectrumPlot.touchCenterX = pinch.center.x
                    spectrumPlot.touchCenterY = pinch.center.y
                    spectrumPlot.scale = 1.0
                }
                onPinchUpdated: spectrumPlot.scale = pinch.scale

                MouseArea {
                    anchors.fill: parent
                    onPressed: {
                        spectrumPlot.touchStartX = mouse.x
                        spectrumPlot.touchStartY = mouse.y
                    }
                    onPositionChanged: {
                        spectrumPlot.touchEndX = mouse.x
                        spectrumPlot.touchEndY = mouse.y
                    }
                    onDoubleClicked: spectrumPlot.resetZoom()
                    // The wheel zooms x around the pointer; with Shift it zooms y.
                    onWheel: {
                        spectrumPlot.isHorizontalPinch = !(wheel.modifiers & Qt.ShiftModifier)
                        spectrumPlot.touchCenterX = wheel.x
                        spectrumPlot.touchCenterY = wheel.y
                        spectrumPlot.scale = 1.0
                        spectrumPlot.scale = wheel.angleDelta.y > 0 ? 1.25 : 0.8
                    }
                }
            }

            ListView {
                id: moleculeNames
                objectName: "reducedMoleculeList"
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.rightMargin: spectrumPlot.xMaxPadding + 6
                anchors.topMargin: spectrumPlot.yMinPadding + 4
                width: 90
                height: Math.min(contentHeight, parent.height - spectrumPlot.yMinPadding - spectrumPlot.yMaxPadding - 8)
                interactive: false
                clip: true
                // The totals are not per molecule.
                visible: !specResultsQml.showTotal
                model: molListViewReducedModel
                delegate: Text {
                    text: model.molName
                    color: model.color
                    font.pointSize: form.fontSize * 0.9
                    font.bold: true
                    horizontalAlignment: Text.AlignRight
                    width: moleculeNames.width
                }
            }
        }

        GridLayout {
            id: buttons
            columns: form.landscape ? 1 : 6
            Layout.fillWidth: !form.landscape
            Layout.fillHeight: form.landscape
            Layout.preferredWidth: form.landscape ? form.fontSize * 7 : -1

            CustomButtonWithBackground {
                objectName: "menuButton"
                text: "Menu"
                Layout.fillWidth: true
                onClicked: mainWindow.openScreen("Menu.qml")
            }
            CustomButtonWithBackground {
                objectName: "calcButton"
                text: "Calc"
                Layout.fillWidth: true
                backgroundColor: "#2e8b57"
                onClicked: {
                    coreObj.calculate()
                    remoteControlQml.broadcastCommand("CALC", 0)
                }
            }
            CustomButtonWithBackground {
                objectName: "molsButton"
                text: "Mols"
                Layout.fillWidth: true
                onClicked: mainWindow.openScreen("Molecules.qml")
            }
            CustomButtonWithBackground {
                objectName: "exitButton"
                text: "Exit"
                Layout.fillWidth: true
                onClicked: mainWindow.openExitDialog()
            }
            CustomButtonWithBackground {
                objectName: "totalButton"
                text: "Total"
                Layout.fillWidth: true
                backgroundColor: specResultsQml.showTotal ? "#b8860b" : "#3a6ea5"
                onClicked: {
                    specResultsQml.showTotal = !specResultsQml.showTotal
                    remoteControlQml.broadcastCommand("TOTAL", 0)
                }
            }
            // The total options: radiance, the plain total and the instrument-function total.
            GridLayout {
                columns: form.landscape ? 1 : 3
                Layout.fillWidth: true
                columnSpacing: 0
                rowSpacing: 0
                CustomButtonWithBackground {
                    objectName: "radianceButton"
                    text: "R"
                    Layout.fillWidth: true
                    backgroundColor: yAxisQml.displayedValue === 1 ? "#b8860b" : "#3a6ea5"
                    onClicked: {
                        yAxisQml.displayedValue = yAxisQml.displayedValue === 1 ? 0 : 1
                        specResultsQml.updatePlot()
                        remoteControlQml.broadcastCommand("YPARAM", 0)
                    }
                }
                CustomCheckBox {
                    objectName: "plainTotalBox"
                    text: "T"
                    visible: specResultsQml.showTotal
                    checked: specResultsQml.showPlainTotal
                    onClicked: specResultsQml.showPlainTotal = checked
                }
                CustomCheckBox {
                    objectName: "instrTotalBox"
                    text: "IF"
                    visible: specResultsQml.showTotal
                    checked: specResultsQml.showInstrTotal
                    onClicked: specResultsQml.showInstrTotal = checked
                }
            }
            Item { Layout.fillHeight: form.landscape; visible: form.landscape }
        }
    }
}
