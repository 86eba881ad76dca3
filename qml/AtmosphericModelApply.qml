import QtQuick 2.15
import QtQuick.Layouts 1.15

// Asks before the ground values of the chosen atmosphere replace the path settings.
ScreenBase {
    objectName: "atmosphereApplyScreen"
    title: "Apply the atmospheric model"

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        CustomText {
            Layout.fillWidth: true
            text: "The values in the selected atmospheric\nmodel at ground altitude (total pressure,\ntemperature, and partial pressures) will\nbe overwritten into the horizontal path\ncalculation variables.\n\nWould you like to continue?\n"
        }
        RowLayout {
            CustomDialogButtonWithBackground {
                objectName: "noButton"
                text: "No"
                onClicked: close()
            }
            CustomDialogButtonWithBackground {
                objectName: "yesButton"
                text: "Yes"
                onClicked: {
                    atmListViewModel.assignNewValues()
                    close()
                }
            }
        }
    }
}
