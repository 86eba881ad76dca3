#include "remote/consoletransport.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <poll.h>
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

ConsoleTransport::ConsoleTransport(int inputFd, FILE *output, QObject *parent)
    : Transport(parent)
    , m_fd(inputFd)
    , m_output(output)
{
}

ConsoleTransport::~ConsoleTransport()
{
    // Replies still waiting go out before the program ends, waiting for the
    // reader as a blocking write would.
    const int fd = fileno(m_output);
    while (!m_pending.isEmpty() && !m_outputStopped) {
        const ssize_t written = ::write(fd, m_pending.constData(), std::size_t(m_pending.size()));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        m_pending.remove(0, int(written));
    }
}

void ConsoleTransport::send(const QString &text)
{
    if (m_outputStopped)
        return;
    m_pending += text.toUtf8();
    m_pending += '\n';
    writePending();
    if (m_pending.size() > m_maxQueuedBytes / 2)
        waitForReader();
}

bool ConsoleTransport::writePending()
{
    const int fd = fileno(m_output);
    bool wrote = false;
    while (!m_pending.isEmpty()) {
        pollfd ready{fd, POLLOUT, 0};
        if (::poll(&ready, 1, 0) <= 0 || !(ready.revents & POLLOUT))
            break;
        // A pipe that polls writable takes this much without blocking.
        const ssize_t written = ::write(fd, m_pending.constData(), std::min<std::size_t>(4096, std::size_t(m_pending.size())));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            // The reader is gone: nothing can be delivered any more.
            m_pending.clear();
            m_outputStopped = true;
            break;
        }
        m_pending.remove(0, int(written));
        wrote = true;
    }
    if (!m_pending.isEmpty() && !m_outputNotifier) {
        m_outputNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
        connect(m_outputNotifier, &QSocketNotifier::activated, this, [this] { writePending(); });
    }
    if (m_outputNotifier)
        m_outputNotifier->setEnabled(!m_pending.isEmpty());
    return wrote;
}

void ConsoleTransport::waitForReader()
{
    QTimer stall;
    stall.setSingleShot(true);
    while (m_pending.size() > m_maxQueuedBytes / 2 && !m_outputStopped) {
        QEventLoop loop;
        bool stalled = false;
        connect(&stall, &QTimer::timeout, &loop, [&] {
            stalled = true;
            loop.quit();
        });
        const QMetaObject::Connection progress = connect(m_outputNotifier, &QSocketNotifier::activated, &loop,
                                                         &QEventLoop::quit, Qt::QueuedConnection);
        const qint64 before = m_pending.size();
        stall.start(m_stallTimeoutMs);
        loop.exec();
        disconnect(progress);
        disconnect(&stall, nullptr, &loop, nullptr);
        if (stalled && m_pending.size() >= before && m_outputIsCopy) {
            writeLine(stderr, QStringLiteral("Standard output is not being read; %1 bytes of replies are waiting. "
                                             "Replies are no longer copied to it.")
                                  .arg(m_pending.size()));
            m_pending.clear();
            m_outputStopped = true;
            m_outputNotifier->setEnabled(false);
        }
    }
}

void ConsoleTransport::setEnabled(bool enabled)
{
    if (enabled && !m_notifier && !m_inputEnded) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &ConsoleTransport::readInput);
    }
    if (m_notifier)
        m_notifier->setEnabled(enabled && !m_inputEnded && !m_delivering);
}

void ConsoleTransport::readInput()
{
    char chunk[65536];
    const ssize_t count = ::read(m_fd, chunk, sizeof chunk);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (count <= 0) {
        m_notifier->setEnabled(false);
        m_inputEnded = true;
        if (!m_partialLine.isEmpty() && !m_discardingLine)
            takeLine(m_partialLine);
        m_partialLine.clear();
    } else {
        for (ssize_t i = 0; i < count; ++i) {
            const char c = chunk[i];
            if (c == '\n') {
                ++m_lineNumber;
                if (!m_discardingLine) {
                    if (m_partialLine.endsWith('\r'))
                        m_partialLine.chop(1);
                    takeLine(m_partialLine);
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
    deliver();
}

void ConsoleTransport::takeLine(const QByteArray &line)
{
    // A NUL byte ends no line: the line goes on whole, as a WebSocket message
    // does (the binary forms carry NUL bytes in their values), and the user
    // learns of it, since text commands hold none.
    if (line.contains('\0'))
        writeLine(stderr, QStringLiteral("Input line %1 holds a NUL byte; the whole line is run, NUL bytes included.")
                              .arg(m_lineNumber + (m_inputEnded ? 1 : 0)));
    m_lines.append(QString::fromUtf8(line.constData(), line.size()));
}

// Hands the lines on one by one. A line may run a whole calculation with its
// own event loop; no input is read meanwhile.
void ConsoleTransport::deliver()
{
    if (m_delivering)
        return;
    m_delivering = true;
    m_notifier->setEnabled(false);
    while (!m_lines.isEmpty())
        emit commandReceived(m_lines.takeFirst(), 0);
    m_delivering = false;
    if (!m_inputEnded)
        m_notifier->setEnabled(true);
    else
        emit inputEnded();
}
