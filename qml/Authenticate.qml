import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The login of the HITRANonline service. What is typed is kept only for this
// run unless the boxes are ticked; "Test authentication" logs in once.
ScreenBase {
    objectName: "authenticateScreen"
    title: "HITRANonline login"

    onClosing: authenticationQml.apply()

    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        CustomLabel { text: "Email address:" }
        CustomTextField {
            objectName: "emailField"
            Accessible.name: "Email address"
            Layout.fillWidth: true
            text: authenticationQml.userName
            inputMethodHints: Qt.ImhEmailCharactersOnly | Qt.ImhNoAutoUppercase
            onTextEdited: authenticationQml.userName = text
        }
        CustomLabel { text: "Password:" }
        CustomTextField {
            objectName: "passwordField"
            Accessible.name: "Password"
            Layout.fillWidth: true
            text: authenticationQml.password
            echoMode: showBox.checked ? TextInput.Normal : TextInput.Password
            onTextEdited: authenticationQml.password = text
        }
        RowLayout {
            CustomCheckBox {
                text: "Store\nemail"
                value: authenticationQml.storeUserName
                onChosen: authenticationQml.storeUserName = checked
            }
            CustomCheckBox {
                text: "Store\npasswd"
                value: authenticationQml.storePassword
                onChosen: authenticationQml.storePassword = checked
            }
            CustomCheckBox {
                id: showBox
                text: "Show\npasswd"
                onChosen: value = checked
            }
        }
    }
    ColumnLayout {
        Layout.alignment: Qt.AlignTop
        Layout.fillWidth: true
        CustomButtonWithBackground {
            text: "Test authentication"
            enabled: !authenticationQml.testRunning
            onClicked: authenticationQml.testAuthentication()
        }
        CustomText {
            objectName: "authStatus"
            Layout.fillWidth: true
            text: authenticationQml.status
        }
    }
}
