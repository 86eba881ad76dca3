#include "app/consolesession.h"

#include "app/kolvexcore.h"
#include "core/atmospheremodelset.h"
#include "core/params.h"
#include "download/hitranonlinedownloader.h"
#include "remote/remotecontrol.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

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
            writeLine(stderr, value > 0.0 ? QStringLiteral("%1 (%2 %)").arg(message).arg(value, 0, 'f', 0) : message);
    });
    connect(m_core, &KolvexCore::okDialogTextChanged, this, [this] { writeLine(stderr, m_core->okDialogText()); });
    m_core->remoteControl()->setConsoleOutput([](const QString &reply) { writeLine(stdout, reply); });

    m_finisher = new QTimer(this);
    m_finisher->setInterval(20);
    connect(m_finisher, &QTimer::timeout, this, &ConsoleSession::finishIfDone);
}

ConsoleSession::~ConsoleSession()
{
    m_core->remoteControl()->setConsoleOutput(nullptr);
}

void ConsoleSession::start(int fd, bool quitAtEnd)
{
    m_fd = fd;
    m_quitAtEnd = quitAtEnd;
    if (m_core->tipsLoaded()) {
        beginReading();
        return;
    }
    // Commands wait for the partition sums, so that a first CALC can run; the
    // check ends with this signal whether or not the tables could be loaded.
    connect(m_core->downloader(), &HitranOnlineDownloader::tipsDownloadComplete, this,
            &ConsoleSession::beginReading, Qt::QueuedConnection);
}

void ConsoleSession::beginReading()
{
    if (m_readingStarted)
        return;
    m_readingStarted = true;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ConsoleSession::readInput);
    m_finisher->start();
}

void ConsoleSession::readInput()
{
    char chunk[65536];
    const ssize_t count = ::read(m_fd, chunk, sizeof chunk);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (count <= 0) {
        m_notifier->setEnabled(false);
        m_inputEnded = true;
        if (!m_partialLine.isEmpty() && !m_discardingLine)
            m_lines.append(QString::fromUtf8(m_partialLine));
        m_partialLine.clear();
    } else {
        for (ssize_t i = 0; i < count; ++i) {
            const char c = chunk[i];
            if (c == '\n') {
                if (!m_discardingLine) {
                    if (m_partialLine.endsWith('\r'))
                        m_partialLine.chop(1);
                    m_lines.append(QString::fromUtf8(m_partialLine));
                }
                m_partialLine.clear();
                m_discardingLine = false;
            } else if (!m_discardingLine) {
                m_partialLine.append(c);
                if (m_partialLine.size() > maxLineLength) {
                    writeLine(stderr, QStringLiteral("An input line longer than %1 bytes was dropped.").arg(maxLineLength));
                    m_partialLine.clear();
                    m_discardingLine = true;
                }
            }
        }
    }
    drain();
}

// Hands the lines to the remote control one by one. Input is not read while a
// command runs (a calculation may take long), so lines queue in the pipe, not
// in memory, and keep their order.
void ConsoleSession::drain()
{
    if (m_draining)
        return;
    m_draining = true;
    if (m_notifier)
        m_notifier->setEnabled(false);
    RemoteControl *remote = m_core->remoteControl();
    while (!m_lines.isEmpty())
        remote->bufferAndProcessCommands(m_lines.takeFirst());
    m_draining = false;
    if (m_notifier && !m_inputEnded)
        m_notifier->setEnabled(true);
}

void ConsoleSession::finishIfDone()
{
    if (!m_inputEnded || !m_quitAtEnd || m_draining || m_core->remoteControl()->busy()
        || m_core->calculationIsRunning())
        return;
    m_finisher->stop();
    QCoreApplication::exit(0);
}
