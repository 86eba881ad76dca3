import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtQuick.Window 2.15

ApplicationWindow {
    id: mainWindow
    visible: true
    width: 480
    height: 800
    title: "Kolvex -|- spectral calculations for portable devices using the HITRAN database"

    // The last screen opened, for the tests and for closing it with Escape.
    property var currentScreen: null

    // Creates a screen from its document on top of the main form; it destroys
    // itself when closed.
    function openScreen(file) {
        var component = Qt.createComponent(file)
        if (component.status === Component.Ready)
            return finishScreen(component)
        if (component.status === Component.Error) {
            console.warn("Cannot open " + file + ": " + component.errorString())
            return null
        }
        component.statusChanged.connect(function() {
            if (component.status === Component.Ready)
                finishScreen(component)
        })
        return null
    }

    function finishScreen(component) {
        var screen = component.createObject(mainWindow.contentItem)
        currentScreen = screen
        return screen
    }

    function openExitDialog() {
        var component = Qt.createComponent("ExitDialog.qml")
        var dialog = component.createObject(mainWindow.contentItem)
        if (dialog)
            dialog.open()
        return dialog
    }

    onClosing: {
        close.accepted = false
        openExitDialog()
    }

    // Font sizes for the platform, shared with every screen through the core.
    function chooseSizes() {
        var size = 11
        if (Qt.platform.os === "android" || Qt.platform.os === "ios" || Qt.platform.os === "winrt"
                || Qt.platform.os === "winphone")
            size = 14
        else if (Qt.platform.os === "osx")
            size = 13
        else if (Qt.platform.os === "windows" || Qt.platform.os === "linux")
            size = 11
        coreObj.fontScalingRatio = 1.0
        coreObj.defaultFontPointSize = size
        coreObj.defaultLabelHeight = Math.round(size * 3)
    }

    MainForm {
        id: mainForm
        objectName: "mainForm"
        anchors.fill: parent
    }

    Notifier {
        id: banner
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        z: 100
    }

    OkDialog {
        id: okDialog
    }

    function showOkDialogText() {
        if (coreObj.okDialogText !== "" && coreObj.okDialogText !== "undefined")
            okDialog.show(coreObj.okDialogText)
    }

    Connections {
        target: coreObj
        function onOkDialogTextChanged() { mainWindow.showOkDialogText() }
    }

    // Saving an image: the plot shows the header line once, then the plot and
    // the molecule names are grabbed at the screen's pixel ratio and written
    // to the path the share object gives.
    Timer {
        id: grabTimer
        interval: 200
        property string path: ""
        onTriggered: {
            var ratio = Screen.devicePixelRatio > 0 ? Screen.devicePixelRatio : 1
            var area = mainForm.plotArea
            var ok = area.grabToImage(function(result) {
                // Written whole or not at all; a failure is reported by the writer.
                var saved = shareResultsQml.writeImage(result.image)
                mainForm.plot.fileWritingComplete = saved
                mainForm.plot.updatePlot()
            }, Qt.size(area.width * ratio, area.height * ratio))
            if (!ok)
                shareResultsQml.imageWritingFailed(grabTimer.path)
        }
    }

    Connections {
        target: shareResultsQml
        function onSaveImageChanged() {
            if (shareResultsQml.saveImage === "")
                return
            mainForm.plot.saveImage = shareResultsQml.saveImage
            mainForm.plot.addTopString(shareResultsQml.topString)
            grabTimer.path = shareResultsQml.saveImage
            grabTimer.restart()
        }
    }

    Component.onCompleted: {
        chooseSizes()
        // A message reported during start-up, before the window existed.
        showOkDialogText()
    }
}
