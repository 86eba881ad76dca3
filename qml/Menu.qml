import QtQuick 2.15
import QtQuick.Layouts 1.15

// Two pages of buttons to the settings screens.
ScreenBase {
    id: menu
    objectName: "menuScreen"
    property int page: 1
    title: "menu page " + page + " of 2"

    readonly property var pages: [
        [["Wavelengths", "Wavelengths.qml"], ["Pathlength", "Pathlength.qml"],
         ["Total pressure", "TotalPressure.qml"], ["Temperature", "Temperature.qml"],
         ["Vertical axis", "YAxis.qml"], ["Atmosphere model", "AtmosphericModel.qml"]],
        [["Instrument funct.", "InstrumentFunction.qml"], ["Line options", "LineOptions.qml"],
         ["HITRAN options", "HitranDownloadOptions.qml"], ["Share results", "ShareResultsChoice.qml"],
         ["Sensors", "Sensors.qml"], ["Connect", "Connect.qml"],
         ["Measured spectrum", "MeasuredSpectrum.qml"]]
    ]

    GridLayout {
        Layout.columnSpan: menu.landscape ? 2 : 1
        Layout.fillWidth: true
        columns: menu.landscape ? 3 : 2
        Repeater {
            model: menu.pages[menu.page - 1]
            CustomButtonWithBackground {
                objectName: "menuEntry" + modelData[0]
                text: modelData[0]
                enabled: modelData[1] !== ""
                Layout.fillWidth: true
                Layout.preferredHeight: Math.max(implicitHeight, 56)
                Layout.preferredWidth: 100
                onClicked: {
                    mainWindow.openScreen(modelData[1])
                    menu.close()
                }
            }
        }
    }
    RowLayout {
        Layout.columnSpan: menu.landscape ? 2 : 1
        Layout.fillWidth: true
        CustomDialogButtonWithBackground {
            objectName: "previousPage"
            text: "<<"
            enabled: menu.page > 1
            onClicked: menu.page = 1
        }
        Item { Layout.fillWidth: true }
        CustomDialogButtonWithBackground {
            objectName: "aboutButton"
            text: "?"
            onClicked: {
                mainWindow.openScreen("About.qml")
                menu.close()
            }
        }
        Item { Layout.fillWidth: true }
        CustomDialogButtonWithBackground {
            objectName: "nextPage"
            text: ">>"
            enabled: menu.page < 2
            onClicked: menu.page = 2
        }
    }
}
