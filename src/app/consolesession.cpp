#include "app/consolesession.h"

#include "app/kolvexcore.h"
#include "app/livecalculation.h"
#include "core/atmospheremodelset.h"
#include "core/params.h"
#include "download/hitranonlinedownloader.h"
#include "remote/consoletransport.h"
#include "remote/remotecontrol.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {

void writeLine(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace

ConsoleSession::ConsoleSession(KolvexCore *core, QObject *parent)
    : QObject(parent)
    , m_core(core)
{
    // Nothing draws here: the curves are ready as soon as the results model
    // has assembled them, which it does in its own (earlier) connection.
    connect(m_core, &KolvexCore::updateSpectra, this, [this] { m_core->updatePlotInProgress(false); });
    // The atmosphere screen applies a chosen model in the application.
    connect(m_core, &KolvexCore::applyCurrentAtmModel, this, [this] {
        m_core->params()->applyAtmosphereModelToParams(m_core->atmosphereModels()->currentModel());
    });
    connect(m_core, &KolvexCore::notify, this, [this](const QString &message, double value, bool visible, bool) {
        if (m_verbose && visible && !message.isEmpty())
            writeLine(stderr, value > 0.0 ? QStringLiteral("%1 (%2 %)").arg(message).arg(value * 100.0, 0, 'f', 0) : message);
    });
    // What the core had to say while it was made (a first start that could
    // not install its files, say) is said first.
    const QString pending = m_core->okDialogText();
    if (!pending.isEmpty() && pending != QLatin1String("undefined"))
        writeLine(stderr, pending);
    connect(m_core, &KolvexCore::okDialogTextChanged, this, [this] { writeLine(stderr, m_core->okDialogText()); });
    connect(m_core, &KolvexCore::noteChanged, this, [this] {
        if (!m_core->note().isEmpty())
            writeLine(stderr, m_core->note());
    });

    m_finisher = new QTimer(this);
    m_finisher->setInterval(20);
    connect(m_finisher, &QTimer::timeout, this, &ConsoleSession::finishIfDone);
}

ConsoleSession::~ConsoleSession()
{
    m_core->remoteControl()->setConsole(nullptr);
}

void ConsoleSession::start(int fd, bool quitAtEnd)
{
    m_quitAtEnd = quitAtEnd;
    m_transport = new ConsoleTransport(fd, stdout, this);
    // While WebSocket peers are served, the replies on standard output are a
    // copy that must not hold them up when nobody reads it.
    m_transport->setOutputIsCopy(!quitAtEnd);
    // The end is checked at once when the input ends, and then at intervals
    // while a calculation or a reply still runs.
    connect(m_transport, &ConsoleTransport::inputEnded, this, &ConsoleSession::finishIfDone, Qt::QueuedConnection);
    // Replies go to standard output from now on, also those to WebSocket peers.
    m_core->remoteControl()->setConsole(m_transport);
    if (m_core->startupDone()) {
        beginReading();
        return;
    }
    // Commands wait for the partition sums, so that a first CALC can run; the
    // check ends with this signal whether or not the tables could be loaded.
    connect(m_core, &KolvexCore::startupFinished, this, &ConsoleSession::beginReading, Qt::QueuedConnection);
}

void ConsoleSession::beginReading()
{
    if (m_readingStarted)
        return;
    m_readingStarted = true;
    m_transport->setEnabled(true);
    m_finisher->start();
    emit readingStarted();
}

void ConsoleSession::finishIfDone()
{
    if (m_exiting)
        return;
    if (!m_transport->atEnd() || !m_quitAtEnd || m_core->remoteControl()->busy() || m_core->calculationIsRunning()
        || m_core->liveCalculation()->pending())
        return;
    m_finisher->stop();
    // The final work waits in event loops of its own, where this check may
    // come again: it runs once.
    m_exiting = true;
    QCoreApplication::exit(m_finalWork ? m_finalWork() : 0);
}
