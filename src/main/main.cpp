#include "app/kolvexcore.h"
#include "app/programsettings.h"
#include "core/programinfo.h"
#include "remote/websockets.h"
#include "ui/okdialog.h"
#include "ui/qmltypes.h"
#include "ui/viewobjects.h"
#include "ui/windowplacement.h"

#include <QApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QScreen>
#include <QSocketNotifier>

#include <csignal>
#include <memory>
#include <fcntl.h>
#include <unistd.h>

namespace {

// SIGTERM (a logout, a shutdown) and SIGINT (a terminal) reach the event loop
// through a pipe: the handler only writes a byte, which a socket notifier reads.
int terminationPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    const ssize_t ignored = ::write(terminationPipe[1], &byte, 1);
    (void)ignored;
}

void catchTerminationSignals()
{
    if (::pipe2(terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace

int main(int argc, char *argv[])
{
    // First of all, so that a signal that comes early waits in the pipe.
    catchTerminationSignals();
    // A write beyond the file-size limit (ulimit -f) fails with EFBIG
    // instead of ending the program; the writer keeps the old file and the
    // user is told which one could not be written.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    registerQmlTypes();
    QApplication::setApplicationName(QStringLiteral("kolvex"));
    QApplication::setApplicationVersion(ProgramInfo::version());
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kolvex.Kolvex"));

    // The molecule selection, the model atmosphere and the window's place
    // survive in the user's settings of the program.
    KolvexCore::Settings settings;
    settings.useProgramSettings = true;
    settings.showConfigMessage = OkDialog::showModal;
    // A data folder of its own (for a second setup or a trial run) instead of
    // the user's, as scripts/run.sh gives the console.
    const QString dataFolder = qEnvironmentVariable("KOLVEX_DATA_DIR");
    if (!dataFolder.isEmpty())
        settings.dataFolder = dataFolder;
    KolvexCore core(settings);
    // The remote peer is another device on the network, not this one.
    core.webSockets()->setListenAll(true);
    ViewObjects viewObjects(&core);

    // Ended from outside, the program ends as "Exit" -> Yes does, without the
    // question: the settings of this run are kept.
    std::unique_ptr<QSocketNotifier> termination;
    if (terminationPipe[0] >= 0) {
        termination = std::make_unique<QSocketNotifier>(terminationPipe[0], QSocketNotifier::Read);
        QObject::connect(termination.get(), &QSocketNotifier::activated, &core, [&core] {
            char bytes[16];
            while (::read(terminationPipe[0], bytes, sizeof bytes) > 0) {
            }
            core.saveAndQuit(true);
        });
    }

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
