import QtQuick 2.15
import QtQuick.Layouts 1.15

// Version, licence and links.
ScreenBase {
    objectName: "aboutScreen"
    title: "About Kolvex"

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        CustomText {
            Layout.fillWidth: true
            text: "Kolvex " + aboutQml.version + "\n\nLine-by-line spectra of gas mixtures from the HITRAN database.\n\n" + aboutQml.licence
        }
    }
    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        CustomButton { text: "Web site"; onClicked: mainWindow.openLink(aboutQml.webSite) }
        CustomButton { text: "E-mail"; onClicked: mainWindow.openLink("mailto:" + aboutQml.contact) }
        CustomButton { text: "Licence"; onClicked: mainWindow.openLink(aboutQml.licenceUrl) }
        CustomButton { text: "Phones with sensors"; onClicked: mainWindow.openLink(aboutQml.phoneSearchUrl) }
        CustomButton { text: "Donate"; onClicked: mainWindow.openLink(aboutQml.donationUrl) }
    }
}
