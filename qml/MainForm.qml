import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Plot 1.0

// The main screen: the spectrum plot with a legend of the curves it shows, a
// note when there is something to know, and the buttons. On a portrait screen
// the buttons run along the bottom, on a landscape one down the right side.
Item {
    id: form
    property bool landscape: width > height
    property alias plot: spectrumPlot
    property alias plotArea: plotAndList
    // The legend's entries: the calculated curves, then a measured spectrum
    // and its residuals.
    readonly property var legendEntries: specResultsQml.legend.concat(measuredSpectrumQml.legend)
    // The strip the buttons take at the bottom (portrait) or the right
    // (landscape), which the progress banner leaves free: Menu and the other
    // buttons stay within reach while a calculation runs.
    readonly property real buttonStripHeight: landscape ? 0 : buttons.height + 8
    readonly property real buttonStripWidth: landscape ? buttons.width + 8 : 0
    readonly property real fontSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11

    function calculate() {
        coreObj.calculateFromWindow()
    }

    // Zooms x around the middle of the view, as a pinch there would.
    function zoom(factor) {
        var p = spectrumPlot
        p.isHorizontalPinch = true
        p.touchCenterX = p.xMinPadding + (p.width - p.xMinPadding - p.xMaxPadding) / 2
        p.touchCenterY = p.yMinPadding + (p.height - p.yMinPadding - p.yMaxPadding) / 2
        spectrumPlot.scale = 1.0
        spectrumPlot.scale = factor
    }

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

        // A message that needs no answer (a download that failed, the sample
        // lines used); it stays until dismissed and covers nothing.
        Rectangle {
            objectName: "noteBar"
            Layout.columnSpan: form.landscape ? 2 : 1
            Layout.fillWidth: true
            Layout.preferredHeight: noteRow.implicitHeight + 12
            visible: coreObj.note !== ""
            color: "#fff6d8"
            border.color: "#d9a400"
            radius: 3
            RowLayout {
                id: noteRow
                anchors.fill: parent
                anchors.margins: 6
                // Three lines leave the plot its room; "More" (or a click on the
                // text) shows the rest. The cut is not marked by an ellipsis,
                // which after a full stop read as "....".
                Text {
                    id: noteText
                    objectName: "noteText"
                    property bool expanded: false
                    Layout.fillWidth: true
                    text: coreObj.note
                    wrapMode: Text.WordWrap
                    maximumLineCount: expanded ? 1000 : 3
                    elide: Text.ElideNone
                    clip: true
                    font.pointSize: form.fontSize * 0.9
                    color: "#3d3000"
                    Accessible.role: Accessible.StaticText
                    Accessible.name: coreObj.note
                    onTextChanged: expanded = false
                    MouseArea {
                        anchors.fill: parent
                        enabled: noteText.truncated || noteText.expanded
                        cursorShape: enabled ? Qt.PointingHandCursor : Qt.ArrowCursor
                        onClicked: noteText.expanded = !noteText.expanded
                    }
                }
                CustomButton {
                    objectName: "moreNoteButton"
                    text: noteText.expanded ? "Less" : "More"
                    Accessible.name: noteText.expanded ? "Show less of the note" : "Show all of the note"
                    Layout.alignment: Qt.AlignTop
                    visible: noteText.truncated || noteText.expanded
                    onClicked: noteText.expanded = !noteText.expanded
                }
                CustomButton {
                    objectName: "dismissNoteButton"
                    text: "Dismiss"
                    Accessible.name: "Dismiss the note"
                    Layout.alignment: Qt.AlignTop
                    onClicked: coreObj.dismissNote()
                }
            }
        }

        // The plot with the live bar under it.
        ColumnLayout {
        Layout.fillWidth: true
        Layout.fillHeight: true
        spacing: 4

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
                // What the curves are not (cancelled, sample lines). The plot puts
                // it and the legend where they cover no curve.
                plotTitle: specResultsQml.resultMark
                // The legend's size from its names alone, so that where it goes
                // does not depend on where it went.
                legendSize: {
                    var entries = form.legendEntries
                    var widest = 0
                    for (var i = 0; i < entries.length; ++i)
                        widest = Math.max(widest, legendMetrics.advanceWidth(entries[i].name))
                    return entries.length > 0
                           ? Qt.size(Math.ceil(widest + form.fontSize * 2 + 6 + 14),
                                     Math.ceil(entries.length * legendMetrics.height + 9))
                           : Qt.size(0, 0)
                }
                Accessible.role: Accessible.Chart
                Accessible.name: "Spectrum plot"

                minX: specResultsQml.minX
                maxX: specResultsQml.maxX
                minY: specResultsQml.minY
                maxY: specResultsQml.maxY
                xAxisTitle: specResultsQml.xAxisTitle
                yAxisTitle: specResultsQml.yAxisTitle
                // Each complete set of curves, shared with the results model.
                curveSource: specResultsQml
                // A measured spectrum over the curves, its residuals below them.
                overlaySource: measuredSpectrumQml

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

            // Live mode: the spectrum shown is the last finished one while a
            // newer one is calculated, or says why the inputs cannot be.
            Rectangle {
                id: liveMark
                objectName: "liveMark"
                anchors.left: parent.left
                anchors.top: parent.top
                anchors.leftMargin: spectrumPlot.xMinPadding + 6
                anchors.topMargin: spectrumPlot.yMinPadding + 4
                // A calculation quicker than that shows no mark: the spectrum
                // follows without flicker.
                property bool updatingLong: false
                visible: updatingLong || liveCalculation.problem !== ""
                width: liveMarkText.implicitWidth + 10
                height: liveMarkText.implicitHeight + 6
                color: "#e0fff6d8"
                border.color: "#d9a400"
                radius: 3
                Text {
                    id: liveMarkText
                    anchors.centerIn: parent
                    text: liveCalculation.problem !== "" ? liveCalculation.problem : "updating\u2026"
                    font.pointSize: form.fontSize * 0.85
                    color: "#3d3000"
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
                Timer {
                    id: updatingDelay
                    interval: 150
                    onTriggered: liveMark.updatingLong = liveCalculation.updating
                }
                Connections {
                    target: liveCalculation
                    function onUpdatingChanged() {
                        if (liveCalculation.updating) {
                            updatingDelay.restart()
                        } else {
                            updatingDelay.stop()
                            liveMark.updatingLong = false
                        }
                    }
                }
            }

            // How long the last calculation took, in the corner below the y axis.
            Text {
                objectName: "calculationTime"
                anchors.left: parent.left
                anchors.bottom: parent.bottom
                anchors.margins: 4
                visible: coreObj.lastCalculationTime !== ""
                text: "Calc: " + coreObj.lastCalculationTime
                color: "#606060"
                font.pointSize: form.fontSize * 0.8
                Accessible.role: Accessible.StaticText
                Accessible.name: "The last calculation took " + coreObj.lastCalculationTime
            }

            FontMetrics {
                id: legendMetrics
                font.pointSize: form.fontSize * 0.9
            }

            // The curves shown, each name beside a stroke of its colour, in dark
            // text on an opaque white box so that pale colours stay readable.
            Rectangle {
                id: legendBox
                objectName: "legend"
                // Where the plot found room for it: a corner no curve passes
                // through, or beside the plot area.
                x: spectrumPlot.legendBox.x
                y: spectrumPlot.legendBox.y
                visible: legendList.count > 0 && spectrumPlot.legendBox.width > 0
                width: spectrumPlot.legendBox.width
                height: spectrumPlot.legendBox.height
                color: "white"
                border.color: "#909090"
                radius: 3
                ListView {
                    id: legendList
                    objectName: "legendList"
                    anchors.fill: parent
                    anchors.margins: 4
                    interactive: contentHeight > height
                    clip: true
                    model: form.legendEntries
                    delegate: Row {
                        spacing: 6
                        Accessible.role: Accessible.StaticText
                        Accessible.name: modelData.name
                        Rectangle {
                            width: form.fontSize * 2
                            height: Math.max(3, form.fontSize / 4)
                            anchors.verticalCenter: parent.verticalCenter
                            color: modelData.color
                            border.color: Qt.darker(modelData.color, 1.6)
                            border.width: 1
                        }
                        Text {
                            text: modelData.name
                            color: "#202020"
                            font.pointSize: form.fontSize * 0.9
                        }
                    }
                }
            }
        }

        LiveBar {
            objectName: "liveBar"
            Layout.fillWidth: true
            fontSize: form.fontSize
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
                onClicked: form.calculate()
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
                onClicked: specResultsQml.showTotal = !specResultsQml.showTotal
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
                    onClicked: yAxisQml.displayedValue = yAxisQml.displayedValue === 1 ? 0 : 1
                }
                CustomCheckBox {
                    objectName: "plainTotalBox"
                    text: "T"
                    visible: specResultsQml.showTotal
                    value: specResultsQml.showPlainTotal
                    onChosen: specResultsQml.showPlainTotal = checked
                }
                CustomCheckBox {
                    objectName: "instrTotalBox"
                    text: "IF"
                    visible: specResultsQml.showTotal
                    value: specResultsQml.showInstrTotal
                    onChosen: specResultsQml.showInstrTotal = checked
                }
            }
            Item { Layout.fillHeight: form.landscape; visible: form.landscape }
        }
    }
}
