#include "app/consolesession.h"
#include "app/kolvexcore.h"
#include "core/spectrum.h"
#include "remote/remotecontrol.h"
#include "remote/websockets.h"
#include "ui/spectraresultsqml.h"

#include <QCommandLineParser>
#include <QCoreApplication>

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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kolvex"));
    qRegisterMetaType<Spectrum>("Spectrum");

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Kolvex without a display: reads remote-control commands, one message per line, from standard input "
        "and writes every reply on its own line to standard output."));
    parser.addHelpOption();
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QStringLiteral("Use DIR as the data folder."),
                                     QStringLiteral("DIR"));
    const QCommandLineOption webSocket(QStringLiteral("websocket"),
                                       QStringLiteral("Also serve the WebSocket transport on PORT and keep running."),
                                       QStringLiteral("PORT"));
    const QCommandLineOption listenAll(QStringLiteral("listen-all"),
                                       QStringLiteral("Serve WebSocket clients on every network interface, not "
                                                      "only on 127.0.0.1."));
    const QCommandLineOption serviceUrl(QStringLiteral("service-url"),
                                        QStringLiteral("Reach the line-data service (and the product's web host) at "
                                                       "URL instead of the real ones."),
                                        QStringLiteral("URL"));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Also report progress on standard error: every file read at "
                                                    "start-up, every download and every batch of lines. Without it "
                                                    "standard error carries only warnings and errors."));
    parser.addOptions({dataDir, webSocket, listenAll, serviceUrl, verbose});
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

    bool serving = false;
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
