import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// Where the line data come from: segments as needed, the complete database
// once, or fresh every time.
ScreenBase {
    objectName: "hitranOptionsScreen"
    title: "HITRANonline spectral database access modes"
    dialogs: [downloadQuestion]

    OptionList {
        objectName: "accessList"
        options: optionLists.accessOptions
        currentIndex: hitranDownloadOptionsQml.hitranFileUsage
        onChosen: hitranDownloadOptionsQml.hitranFileUsage = index
    }
    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        CustomSmallerFontText {
            objectName: "databaseNote"
            Layout.fillWidth: true
            text: hitranDownloadOptionsQml.cumulativeHitranExists
                  ? "The complete HITRAN database is present\nand is used offline."
                  : "Offline mode requires the complete HITRAN\ndatabase to be present (~700 megabytes).\nIt may be downloaded, or placed as a .par file\ninto the folder " + hitranDownloadOptionsQml.dataFolder
        }
        CustomButtonWithBackground {
            objectName: "downloadHitranButton"
            text: "Download HITRAN"
            enabled: !hitranDownloadOptionsQml.cumulativeHitranExists
            onClicked: {
                downloadQuestion.text = hitranDownloadOptionsQml.completeDownloadQuestion()
                downloadQuestion.open()
            }
        }
        CustomButton {
            text: "Authenticate"
            onClicked: mainWindow.openScreen("Authenticate.qml")
        }
    }

    // Hundreds of megabytes are not fetched without asking.
    Dialog {
        id: downloadQuestion
        objectName: "downloadQuestion"
        property alias text: questionText.text
        parent: Overlay.overlay
        anchors.centerIn: parent
        modal: true
        width: Math.min(parent ? parent.width * 0.9 : 400, 480)
        standardButtons: Dialog.Yes | Dialog.No
        CustomText {
            id: questionText
            width: downloadQuestion.availableWidth
        }
        onAccepted: hitranDownloadOptionsQml.downloadCompleteHitran()
    }
}
