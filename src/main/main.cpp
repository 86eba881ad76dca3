#include "app/kolvexcore.h"
#include "app/programsettings.h"
#include "remote/websockets.h"
#include "ui/qmltypes.h"
#include "ui/viewobjects.h"
#include "ui/windowplacement.h"

#include <QApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QScreen>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    registerQmlTypes();
    QApplication::setApplicationName(QStringLiteral("kolvex"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kolvex.Kolvex"));

    // The molecule selection, the model atmosphere and the window's place
    // survive in the user's settings of the program.
    KolvexCore::Settings settings;
    settings.useProgramSettings = true;
    // A data folder of its own (for a second setup or a trial run) instead of
    // the user's, as scripts/run.sh gives the console.
    const QString dataFolder = qEnvironmentVariable("KOLVEX_DATA_DIR");
    if (!dataFolder.isEmpty())
        settings.dataFolder = dataFolder;
    KolvexCore core(settings);
    // The remote peer is another device on the network, not this one.
    core.webSockets()->setListenAll(true);
    ViewObjects viewObjects(&core);

    QQmlApplicationEngine engine;
    viewObjects.publish(engine.rootContext());
    engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;

    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    ProgramSettings *program = core.programSettings();
    if (window && program) {
        // The frame's size is known once the window manager has framed the
        // window; a title bar of 32 pixels is assumed before.
        const QMargins frame = window->frameMargins();
        const QSize frameSize = frame.isNull() ? QSize(0, 32) : QSize(frame.left() + frame.right(),
                                                                      frame.top() + frame.bottom());
        const QRect place = WindowPlacement::place(program->windowGeometry(), window->screen()->availableGeometry(),
                                                   window->size(), frameSize);
        window->resize(place.size());
        if (program->windowGeometry().isValid())
            window->setFramePosition(place.topLeft());
        QObject::connect(&app, &QCoreApplication::aboutToQuit, window, [window, program] {
            program->setWindowGeometry(QRect(window->framePosition(), window->size()));
        });
    }
    return QApplication::exec();
}
