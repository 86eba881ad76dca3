#include "remote/consoletransport.h"

#include <QSocketNotifier>

#include <cerrno>
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

void ConsoleTransport::send(const QString &text)
{
    writeLine(m_output, text);
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
    deliver();
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
        emit commandReceived(m_lines.takeFirst());
    m_delivering = false;
    if (!m_inputEnded)
        m_notifier->setEnabled(true);
}
