import QtQuick 2.15
import QtQuick.Layouts 1.15

// Where the line data come from: segments as needed, the complete database
// once, or fresh every time.
ScreenBase {
    objectName: "hitranOptionsScreen"
    title: "HITRANonline spectral database access modes"

    OptionList {
        objectName: "accessList"
        options: ["Segmented download as new regions\nare requested and saving for later reuse",
                  "Complete download once (auto or\nmanual) and offline reuse later",
                  "Download every time\n(no saving of downloaded data ever)"]
        currentIndex: hitranDownloadOptionsQml.hitranFileUsage
        onChosen: {
            hitranDownloadOptionsQml.hitranFileUsage = index
            remoteControlQml.broadcastCommand("HITOPT", 0)
        }
    }
    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        CustomSmallerFontText {
            Layout.fillWidth: true
            text: hitranDownloadOptionsQml.cumulativeHitranExists
                  ? "The complete HITRAN database is present\nand is used offline."
                  : "Offline mode requires the complete HITRAN\ndatabase to be present (~700 megabytes). \nIt may be downloaded or manually placed\ninto the 'Downloads/kolvex' folder."
        }
        CustomButtonWithBackground {
            text: "Download HITRAN"
            enabled: !hitranDownloadOptionsQml.cumulativeHitranExists
            onClicked: hitranDownloadOptionsQml.downloadCompleteHitran()
        }
        CustomButton {
            text: "Authenticate"
            onClicked: mainWindow.openScreen("Authenticate.qml")
        }
    }
}
