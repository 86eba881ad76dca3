#include "app/consolesession.h"
#include "app/kolvexcore.h"
#include "app/spectraresultsqml.h"
#include "core/programinfo.h"
#include "core/spectrum.h"
#include "remote/remotecontrol.h"
#include "remote/serialport.h"
#include "remote/websockets.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <csignal>
#include <cstdio>

namespace {

QtMessageHandler qtHandler = nullptr;

// Debug and information messages are progress; warnings and errors pass.
void warningsOnly(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg || !qtHandler)
        return;
    qtHandler(type, context, message);
}

// "DEVICE" or "DEVICE:BAUD". A device name may hold colons of its own
// (/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0): a text that names
// an existing file is the device whole; otherwise what follows the last colon
// is the baud rate, and must be one. On failure problem says what is wrong.
bool parseSerialLine(const QString &text, QString *device, int *baudRate, QString *problem)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0 || QFileInfo::exists(text)) {
        *device = text;
        if (text.isEmpty())
            *problem = QStringLiteral("no device is named");
        return !text.isEmpty();
    }
    *device = text.left(colon);
    const QString rate = text.mid(colon + 1);
    bool ok = false;
    const int value = rate.toInt(&ok);
    if (!ok || value <= 0) {
        *problem = QStringLiteral("the baud rate \"%1\" is not a positive whole number").arg(rate);
        return false;
    }
    if (device->isEmpty()) {
        *problem = QStringLiteral("no device is named before the baud rate");
        return false;
    }
    *baudRate = value;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // A write beyond the file-size limit (ulimit -f) fails with EFBIG
    // instead of ending the program; the writer keeps the old file and
    // standard error says which one could not be written.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kolvex"));
    QCoreApplication::setApplicationVersion(ProgramInfo::version());
    qRegisterMetaType<Spectrum>("Spectrum");

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Kolvex without a display: reads remote-control commands, one message per line, from standard input "
        "and writes every reply on its own line to standard output."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("Use DIR as the data folder."),
                                     QStringLiteral("DIR"));
    const QCommandLineOption webSocket(QStringLiteral("websocket"),
                                       QStringLiteral("Also serve the WebSocket transport on PORT and keep running."),
                                       QStringLiteral("PORT"));
    const QCommandLineOption listenAll(QStringLiteral("listen-all"),
                                       QStringLiteral("Serve WebSocket clients on every network interface, not "
                                                      "only on 127.0.0.1."));
    const QCommandLineOption serial(QStringLiteral("serial"),
                                    QStringLiteral("Serve the protocol on the serial line DEVICE (115200 baud, 8 data "
                                                   "bits, no parity, 1 stop bit unless :BAUD follows) and keep "
                                                   "running."),
                                    QStringLiteral("DEVICE[:BAUD]"));
    const QCommandLineOption serviceUrl(QStringLiteral("service-url"),
                                        QStringLiteral("Reach the line-data service (and the product's web host) at "
                                                       "URL instead of the real ones."),
                                        QStringLiteral("URL"));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Also report progress on standard error: every file read at "
                                                    "start-up, every download and every batch of lines. Without it "
                                                    "standard error carries only warnings and errors."));
    parser.addOptions({dataDir, webSocket, listenAll, serial, serviceUrl, verbose});
    parser.process(app);
    if (!parser.isSet(verbose))
        qtHandler = qInstallMessageHandler(warningsOnly);

    KolvexCore::Settings settings;
    if (parser.isSet(dataDir))
        settings.dataFolder = parser.value(dataDir);
    if (parser.isSet(serviceUrl)) {
        settings.serviceBaseUrl = parser.value(serviceUrl);
        settings.productBaseUrl = parser.value(serviceUrl);
    }
    KolvexCore core(settings);
    // The results model assembles the curves a plot of this height would show
    // and fills the results table the RESULT commands read; it listens to the
    // core before the session, which takes the assembled curves as drawn.
    SpectraResultsQml results(nullptr, &core);
    results.setHeightPoints(500);
    ConsoleSession session(&core);
    session.setVerbose(parser.isSet(verbose));

    if (parser.isSet(webSocket) && parser.isSet(serial)) {
        std::fprintf(stderr, "--websocket and --serial cannot be used together: one transport serves at a time.\n");
        return 2;
    }
    bool serving = false;
    if (parser.isSet(serial)) {
        QString device;
        int baudRate = SerialSettings().baudRate;
        QString problem;
        if (!parseSerialLine(parser.value(serial), &device, &baudRate, &problem)) {
            std::fprintf(stderr, "Invalid serial line %s: %s (DEVICE or DEVICE:BAUD).\n",
                         qPrintable(parser.value(serial)), qPrintable(problem));
            return 2;
        }
        // The line opens when commands are taken, as standard input is read:
        // a peer that starts with CALC right after the greeting gets its
        // calculation, not a refusal because the partition sums are loading.
        QObject::connect(
            &session, &ConsoleSession::readingStarted, &core,
            [&core, device, baudRate] {
                SerialPort *port = core.serialPort();
                SerialSettings lineSettings;
                lineSettings.portName = device;
                lineSettings.baudRate = baudRate;
                port->setSettings(lineSettings);
                core.remoteControl()->setCommunicationMode(RemoteControl::SerialPortMode);
                if (!port->isConnected()) {
                    std::fprintf(stderr, "Cannot serve the serial line: %s\n", qPrintable(port->statusText()));
                    QCoreApplication::exit(1);
                    return;
                }
                std::fprintf(stderr, "Serving the serial line %s at %d baud.\n", qPrintable(device), port->baudRate());
            },
            Qt::QueuedConnection);
        serving = true;
    }
    if (parser.isSet(webSocket)) {
        bool ok = false;
        const uint port = parser.value(webSocket).toUInt(&ok);
        if (!ok || port > 65535) {
            std::fprintf(stderr, "Invalid WebSocket port: %s\n", qPrintable(parser.value(webSocket)));
            return 2;
        }
        WebSockets *webSockets = core.webSockets();
        webSockets->setListenAll(parser.isSet(listenAll));
        webSockets->setPort(int(port));
        core.remoteControl()->setCommunicationMode(RemoteControl::WebSocketMode);
        if (!webSockets->isListening()) {
            std::fprintf(stderr, "Cannot serve WebSocket clients on port %u.\n", port);
            return 1;
        }
        std::fprintf(stderr, "Serving WebSocket clients on port %u.\n", unsigned(webSockets->serverPort()));
        serving = true;
    }
    session.start(0, !serving);
    return QCoreApplication::exec();
}
