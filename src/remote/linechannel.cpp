#include "remote/linechannel.h"

#include <QDebug>
#include <QIODevice>

LineChannel::LineChannel(QIODevice *device, const QString &peerName, Options options, QObject *parent)
    : QObject(parent)
    , m_device(device)
    , m_peerName(peerName)
    , m_options(options)
{
    device->setParent(this);
    connect(device, &QIODevice::readyRead, this, &LineChannel::readAvailable);
    connect(device, &QIODevice::aboutToClose, this, &LineChannel::deviceClosed);
    connect(device, &QIODevice::readChannelFinished, this, &LineChannel::deviceClosed);
    // Sockets say so when the peer hangs up (RFCOMM, local and network sockets
    // alike), which a plain QIODevice has no signal for.
    if (device->metaObject()->indexOfSignal("disconnected()") >= 0)
        connect(device, SIGNAL(disconnected()), this, SLOT(deviceClosed()));
}

LineChannel::~LineChannel()
{
    if (m_device)
        disconnect(m_device, nullptr, this, nullptr);
}

bool LineChannel::isOpen() const
{
    return !m_closed && m_device && m_device->isOpen();
}

void LineChannel::send(const QString &text)
{
    if (!isOpen())
        return;
    QByteArray bytes = text.toUtf8();
    bytes.append('\n');
    m_device->write(bytes);
}

void LineChannel::close()
{
    if (m_device && m_device->isOpen())
        m_device->close();
    deviceClosed();
}

void LineChannel::readAvailable()
{
    QPointer<LineChannel> alive(this);
    while (alive && m_device && m_device->bytesAvailable() > 0) {
        char chunk[16384];
        const qint64 count = m_device->read(chunk, sizeof chunk);
        if (count <= 0)
            break;
        takeBytes(chunk, int(count));
    }
}

void LineChannel::takeBytes(const char *data, int size)
{
    const bool crEnds = m_options.testFlag(CarriageReturnEndsLine);
    int start = 0;
    for (int i = 0; i < size; ++i) {
        if (data[i] != '\n' && !(crEnds && data[i] == '\r'))
            continue;
        if (!m_droppingLine)
            m_line.append(data + start, i - start);
        start = i + 1;
        endLine();
    }
    if (m_droppingLine || start == size)
        return;
    m_line.append(data + start, size - start);
    if (m_line.size() > maxLineLength) {
        qWarning().noquote() << QStringLiteral("A line of more than %1 bytes from %2 was dropped.")
                                    .arg(maxLineLength)
                                    .arg(m_peerName);
        m_line.clear();
        m_line.squeeze();
        m_droppingLine = true;
    }
}

void LineChannel::endLine()
{
    const bool dropped = m_droppingLine;
    m_droppingLine = false;
    QByteArray line;
    line.swap(m_line);
    if (dropped)
        return;
    if (m_options.testFlag(TrimLines))
        line = line.trimmed();
    if (line.isEmpty() && m_options.testFlag(CarriageReturnEndsLine))
        return;
    // A NUL byte ends no line: the line goes on whole, as a WebSocket message
    // does (the binary forms carry NUL bytes in their values), with a word in
    // the log, since text commands hold none.
    if (line.contains('\0'))
        qWarning().noquote() << QStringLiteral("A line from %1 holds a NUL byte; the whole line is run, NUL bytes "
                                               "included.")
                                    .arg(m_peerName);
    emit lineReceived(QString::fromUtf8(line.constData(), line.size()));
}

void LineChannel::deviceClosed()
{
    if (m_closed)
        return;
    m_closed = true;
    emit closed();
}
