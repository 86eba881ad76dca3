import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The full molecule list: which molecules are calculated and shown, their
// concentrations in the chosen unit and their plot colours.
ScreenBase {
    id: molScreen
    objectName: "moleculesScreen"
    title: "Molecules, concentrations and plot colours"

    onClosing: {
        molListViewReducedModel.updateDisplayed()
        specResultsQml.updatePlotMolsOnlyPreserveScale()
    }

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        RowLayout {
            CustomCheckBox {
                objectName: "selectAllBox"
                text: "Select All"
                value: molListViewModel.allSelected
                onChosen: molListViewModel.selectAll(checked)
            }
            CustomComboBox {
                label: "Molecules calculated"
                model: ["Calculate for all", "for selected only"]
                currentIndex: molListViewModel.calcNotSelectedMols ? 0 : 1
                onActivated: molListViewModel.calcNotSelectedMols = (index === 0)
            }
        }
        ListView {
            id: list
            objectName: "moleculeList"
            Layout.fillWidth: true
            Layout.preferredHeight: molScreen.landscape ? molScreen.height - 110 : Math.max(200, molScreen.height * 0.55)
            clip: true
            // Every row stays, so that closing the screen applies a concentration
            // still being edited in a row scrolled out of sight.
            cacheBuffer: 100000
            model: molListViewModel
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn }
            delegate: RowLayout {
                id: row
                // The molecule's number (its place in the list, from 1). The
                // model's "index" role holds it as text and hides the row number.
                readonly property int moleculeNumber: parseInt(model.index)
                width: list.width - 14
                CustomCheckBox {
                    objectName: "moleculeCheck" + row.moleculeNumber
                    Accessible.name: model.molName
                    value: model.checked
                    onChosen: model.checked = checked
                }
                CustomLabel {
                    text: model.index + "  " + model.molName
                    Layout.preferredWidth: 110
                    color: model.color
                }
                NumberInput {
                    Layout.fillWidth: true
                    objectName: "moleculeConcentration" + row.moleculeNumber
                    value: model.pressValue
                    accessibleName: model.molName + " concentration"
                    apply: function(text) { return molListViewModel.enterConcentration(row.moleculeNumber, text) }
                }
                Rectangle {
                    objectName: "moleculeColor" + row.moleculeNumber
                    width: 34
                    height: 26
                    radius: 4
                    color: model.color
                    border.color: "#606060"
                    Accessible.role: Accessible.Button
                    Accessible.name: model.molName + " colour"
                    MouseArea {
                        anchors.fill: parent
                        onClicked: {
                            molListViewModel.activeIndex = row.moleculeNumber
                            molListViewModel.selectedColor = model.color
                            mainWindow.openScreen("ColorDialog.qml")
                        }
                    }
                }
            }
        }
    }
    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        OptionList {
            title: "Concentration units"
            options: optionLists.concentrationUnits
            currentIndex: molListViewModel.units
            onChosen: {
                discardFields()
                molListViewModel.units = index
            }
        }
        OptionList {
            objectName: "waterVapourSource"
            title: "Water vapour"
            options: ["Manual\nentry", "Sensor\nvalue"]
            currentIndex: sensorsQml.humiditySensorEnabled ? 1 : 0
            disabledOptions: sensorsQml.humidityBuiltInSensorIsPresent || sensorsQml.sensorTagConnected ? [] : [1]
            onChosen: sensorsQml.humiditySensorEnabled = (index === 1)
        }
    }
}
