import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtQuick.Window 2.15

ApplicationWindow {
    id: mainWindow
    visible: true
    // A phone's proportions, within the screen it opens on (the program puts
    // back the size and place of the last run where it has them): upright,
    // unless the screen is too low for that, as a phone held sideways is.
    readonly property bool lowScreen: Screen.desktopAvailableHeight < 600
                                      && Screen.desktopAvailableWidth > Screen.desktopAvailableHeight
    width: Math.min(lowScreen ? 800 : 480, Screen.desktopAvailableWidth)
    height: Math.min(lowScreen ? 480 : 800, Screen.desktopAvailableHeight - 48)
    title: "Kolvex -|- spectral calculations for portable devices using the HITRAN database"

    // The screens open, the last one on top.
    property var screens: []
    // The last screen opened, for the tests.
    property var currentScreen: screens.length > 0 ? screens[screens.length - 1] : null

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
        if (!screen)
            return null
        screens = screens.concat([screen])
        screen.closing.connect(function() {
            screens = screens.filter(function(s) { return s !== screen })
        })
        screen.forceActiveFocus()
        return screen
    }

    // The exit question while it is shown. The dialog destroys itself when it
    // closes, and an object property turns null then by itself: nothing has to
    // write it while the window may be going away with the program.
    property QtObject exitDialog: null

    function openExitDialog() {
        if (exitDialog && exitDialog.visible)
            return exitDialog
        var component = Qt.createComponent("ExitDialog.qml")
        var dialog = component.createObject(mainWindow.contentItem)
        if (dialog) {
            exitDialog = dialog
            dialog.open()
        }
        return dialog
    }

    // Opens a web page or a mail in the device's own program; without one the
    // user is told where the page is instead of nothing happening.
    function openLink(url) {
        if (!Qt.openUrlExternally(url))
            coreObj.okDialogText = "No program on this device opens this link:\n" + url
    }

    // Escape closes what is on top: a dialog, else the last screen, else the note.
    function closeTop() {
        if (exitDialog && exitDialog.visible) {
            exitDialog.close()
            return
        }
        if (okDialog.opened) {
            okDialog.close()
            return
        }
        if (currentScreen) {
            currentScreen.close()
            return
        }
        coreObj.dismissNote()
    }

    readonly property bool dialogOpen: okDialog.opened || (exitDialog !== null && exitDialog.visible)

    // Calc from the keyboard applies what is being typed on an open screen first.
    function calculate() {
        if (currentScreen && currentScreen.commitFields)
            currentScreen.commitFields()
        mainForm.calculate()
    }

    Shortcut {
        sequences: ["Ctrl+R", "F5"]
        onActivated: mainWindow.calculate()
    }
    Shortcut {
        sequence: "Ctrl+S"
        onActivated: shareResultsQml.saveToDocuments("")
    }
    Shortcut {
        sequence: "Ctrl+Q"
        onActivated: mainWindow.openExitDialog()
    }
    Shortcut {
        sequence: "Esc"
        onActivated: mainWindow.closeTop()
    }
    // Zoom keys act on the plot only while nothing covers it.
    Shortcut {
        sequences: ["+", "=", "Ctrl++", "Ctrl+="]
        enabled: screens.length === 0 && !mainWindow.dialogOpen
        onActivated: mainForm.zoom(1.25)
    }
    Shortcut {
        sequences: ["-", "Ctrl+-"]
        enabled: screens.length === 0 && !mainWindow.dialogOpen
        onActivated: mainForm.zoom(0.8)
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
        anchors.rightMargin: mainForm.buttonStripWidth
        anchors.bottomMargin: mainForm.buttonStripHeight
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

    // Saving an image: the plot is drawn as a report of a fixed size, with the
    // lines that describe the results above it and the legend with it, as SVG
    // and PDF figures and a PNG picture, each written whole, or not at all, by
    // the share object.
    Connections {
        target: shareResultsQml
        function onSaveImageChanged() {
            var path = shareResultsQml.saveImage
            if (path === "")
                return
            mainForm.plot.saveImage = path
            // A failure is reported by the share object.
            var lines = shareResultsQml.reportLines
            var legend = mainForm.legendEntries
            // The vector figures first: the image's arrival ends the wait for it.
            if (!shareResultsQml.writeFigures(mainForm.plot.reportSvg(lines, legend),
                                              mainForm.plot.reportPdf(lines, legend))) {
                mainForm.plot.fileWritingComplete = false
                return
            }
            var image = mainForm.plot.reportImage(lines, legend)
            mainForm.plot.fileWritingComplete = shareResultsQml.writeImage(image)
        }
    }

    Component.onCompleted: {
        chooseSizes()
        // A message reported during start-up, before the window existed.
        showOkDialogText()
    }
}
