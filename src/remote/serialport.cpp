#include "remote/serialport.h"

#include "remote/linechannel.h"

#include <QDebug>
#include <QSerialPort>
#include <QSerialPortInfo>

SerialPort::SerialPort(QObject *parent)
    : Transport(parent)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &SerialPort::retry);
}

SerialPort::~SerialPort()
{
    if (m_channel)
        disconnect(m_channel, nullptr, this, nullptr);
}

bool SerialPort::isConnected() const
{
    return m_port && m_port->isOpen();
}

void SerialPort::send(const QString &text)
{
    if (m_channel)
        m_channel->send(text);
}

void SerialPort::setEnabled(bool enabled)
{
    m_enabled = enabled;
    m_retry.stop();
    m_lost = false;
    if (enabled)
        open();
    else
        close();
}

QStringList SerialPort::availablePortNames() const
{
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports)
        names.append(port.systemLocation());
    return names;
}

int SerialPort::portIndex() const
{
    return availablePortNames().indexOf(m_settings.portName);
}

void SerialPort::setPortIndex(int index)
{
    const QStringList names = availablePortNames();
    if (index >= 0 && index < names.size())
        setPortName(names.at(index));
}

void SerialPort::setPortName(const QString &name)
{
    if (name == m_settings.portName)
        return;
    m_settings.portName = name;
    emit settingsChanged();
    if (m_enabled)
        open();
}

bool SerialPort::setBaudRate(int rate)
{
    return changeSetting(Setting::BaudRate, rate);
}

bool SerialPort::setParity(int parity)
{
    return changeSetting(Setting::Parity, parity);
}

bool SerialPort::setDataBits(int bits)
{
    return changeSetting(Setting::DataBits, bits);
}

bool SerialPort::setStopBits(int bits)
{
    return changeSetting(Setting::StopBits, bits);
}

void SerialPort::setSettings(const SerialSettings &settings)
{
    const SerialSettings before = m_settings;
    m_settings.portName = settings.portName;
    if (rangeProblem(Setting::BaudRate, settings.baudRate).isEmpty())
        m_settings.baudRate = settings.baudRate;
    if (rangeProblem(Setting::DataBits, settings.dataBits).isEmpty())
        m_settings.dataBits = settings.dataBits;
    if (rangeProblem(Setting::Parity, settings.parity).isEmpty())
        m_settings.parity = settings.parity;
    if (rangeProblem(Setting::StopBits, settings.stopBits).isEmpty())
        m_settings.stopBits = settings.stopBits;
    if (m_settings == before)
        return;
    emit settingsChanged();
    if (m_enabled)
        open();
}

QString SerialPort::rangeProblem(Setting setting, int value)
{
    switch (setting) {
    case Setting::BaudRate:
        return value > 0 ? QString() : QStringLiteral("The baud rate must be a positive number.");
    case Setting::DataBits:
        return value >= 5 && value <= 8 ? QString() : QStringLiteral("Data bits must be 5, 6, 7 or 8.");
    case Setting::Parity:
        return value == QSerialPort::NoParity || (value >= QSerialPort::EvenParity && value <= QSerialPort::MarkParity)
            ? QString()
            : QStringLiteral("Unknown parity.");
    case Setting::StopBits:
        return value >= QSerialPort::OneStop && value <= QSerialPort::OneAndHalfStop
            ? QString()
            : QStringLiteral("Stop bits must be 1, 1.5 or 2.");
    }
    return QString();
}

bool SerialPort::changeSetting(Setting setting, int value)
{
    int *stored = nullptr;
    switch (setting) {
    case Setting::BaudRate: stored = &m_settings.baudRate; break;
    case Setting::DataBits: stored = &m_settings.dataBits; break;
    case Setting::Parity: stored = &m_settings.parity; break;
    case Setting::StopBits: stored = &m_settings.stopBits; break;
    }
    if (*stored == value)
        return true;
    const QString problem = rangeProblem(setting, value);
    if (!problem.isEmpty()) {
        qWarning().noquote() << problem;
        setStatusText(problem);
        return false;
    }
    const int previous = *stored;
    *stored = value;
    m_applying = true;
    const bool refused = m_port && m_port->isOpen() && !applyToPort(setting, value);
    m_applying = false;
    if (refused) {
        const QString problem = QStringLiteral("%1 does not take this setting (%2); the previous one stays.")
                                    .arg(m_settings.portName, m_port->errorString());
        *stored = previous;
        m_applying = true;
        applyToPort(setting, previous);
        m_port->clearError();
        m_applying = false;
        qWarning().noquote() << problem;
        setStatusText(problem);
        return false;
    }
    emit settingsChanged();
    if (m_port && m_port->isOpen())
        setStatusText(description());
    return true;
}

bool SerialPort::applyToPort(Setting setting, int value)
{
    switch (setting) {
    case Setting::BaudRate: return m_port->setBaudRate(value);
    case Setting::DataBits: return m_port->setDataBits(QSerialPort::DataBits(value));
    case Setting::Parity: return m_port->setParity(QSerialPort::Parity(value));
    case Setting::StopBits: return m_port->setStopBits(QSerialPort::StopBits(value));
    }
    return false;
}

void SerialPort::open()
{
    close();
    if (m_settings.portName.isEmpty()) {
        setStatusText(QStringLiteral("No serial port chosen."));
        return;
    }
    auto *port = new QSerialPort(m_settings.portName);
    port->setBaudRate(m_settings.baudRate);
    port->setDataBits(QSerialPort::DataBits(m_settings.dataBits));
    port->setParity(QSerialPort::Parity(m_settings.parity));
    port->setStopBits(QSerialPort::StopBits(m_settings.stopBits));
    port->setFlowControl(QSerialPort::NoFlowControl);
    m_port = port;
    m_channel = new LineChannel(port, m_settings.portName,
                                LineChannel::TrimLines | LineChannel::CarriageReturnEndsLine, this);
    if (!port->open(QIODevice::ReadWrite)) {
        portError();
        return;
    }
    connect(port, &QSerialPort::errorOccurred, this, &SerialPort::portError);
    // A command may run a whole calculation with its own event loop; it runs
    // from the event loop, after the port's own signal has returned.
    connect(m_channel, &LineChannel::lineReceived, this,
            [this](const QString &line) {
                QMetaObject::invokeMethod(this, [this, line] { emit commandReceived(line, 0); }, Qt::QueuedConnection);
            });
    connect(m_channel, &LineChannel::closed, this, &SerialPort::linkClosed, Qt::QueuedConnection);
    if (m_lost)
        qWarning().noquote() << "The serial port" << m_settings.portName << "is back:" << description();
    else
        qDebug().noquote() << "Serial port open:" << description();
    m_lost = false;
    m_retry.stop();
    setStatusText(description());
    emit connectedStateChanged();
}

void SerialPort::close()
{
    if (!m_channel)
        return;
    LineChannel *channel = m_channel;
    const bool wasOpen = m_port && m_port->isOpen();
    m_channel = nullptr;
    m_port = nullptr;
    disconnect(channel, nullptr, this, nullptr);
    channel->close();
    channel->deleteLater();
    setStatusText(QString());
    if (wasOpen)
        emit connectedStateChanged();
}

void SerialPort::portError()
{
    if (!m_port || m_port->error() == QSerialPort::NoError || m_applying)
        return;
    const QString name = m_settings.portName;
    QString message;
    switch (m_port->error()) {
    case QSerialPort::DeviceNotFoundError:
        message = QStringLiteral("The serial port %1 does not exist.").arg(name);
        break;
    case QSerialPort::PermissionError:
        message = QStringLiteral("No permission to open the serial port %1 (%2).").arg(name, m_port->errorString());
        break;
    case QSerialPort::OpenError:
        message = QStringLiteral("The serial port %1 is already open.").arg(name);
        break;
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
        message = QStringLiteral("The serial port %1 is gone (%2).").arg(name, m_port->errorString());
        break;
    default:
        message = QStringLiteral("Serial port %1: %2").arg(name, m_port->errorString());
        break;
    }
    // A port that stops reading or writing is as good as gone; a refused
    // setting or a framing error leaves it usable.
    const QSerialPort::SerialPortError error = m_port->error();
    const bool fatal = !m_port->isOpen() || error == QSerialPort::ResourceError || error == QSerialPort::ReadError
        || error == QSerialPort::WriteError || error == QSerialPort::UnknownError;
    if (!fatal) {
        qWarning().noquote() << message;
        m_port->clearError();
        setStatusText(message);
        return;
    }
    const QString previous = m_statusText;
    close();
    // A port that is missing or gone may come back (an adapter plugged in
    // again): it is tried again while the line is to be served. Each try
    // that fails the same way is not logged again.
    if (m_enabled && !m_settings.portName.isEmpty())
        message += retryText();
    if (message != previous)
        qWarning().noquote() << message;
    m_lost = true;
    setStatusText(message);
    scheduleRetry();
}

void SerialPort::linkClosed()
{
    // The port closed under the channel (a vanished device reports an error first).
    if (m_channel && !(m_port && m_port->isOpen())) {
        close();
        if (m_enabled && !m_settings.portName.isEmpty()) {
            const QString message = QStringLiteral("The serial port %1 was closed.").arg(m_settings.portName) + retryText();
            qWarning().noquote() << message;
            m_lost = true;
            setStatusText(message);
            scheduleRetry();
        }
    }
}

QString SerialPort::retryText() const
{
    return QStringLiteral(" Trying again every %1 s.").arg(m_retryIntervalMs / 1000.0, 0, 'g', 3);
}

void SerialPort::scheduleRetry()
{
    if (m_enabled && !m_settings.portName.isEmpty() && !isConnected())
        m_retry.start(m_retryIntervalMs);
}

void SerialPort::retry()
{
    if (m_enabled && !isConnected())
        open();
}

QString SerialPort::description() const
{
    static const char *const parities[] = {"no parity", "", "even parity", "odd parity", "space parity", "mark parity"};
    const QString stop = m_settings.stopBits == QSerialPort::OneAndHalfStop ? QStringLiteral("1.5")
                                                                           : QString::number(m_settings.stopBits);
    return QStringLiteral("%1 open: %2 baud, %3 data bits, %4, %5 stop bit%6.")
        .arg(m_settings.portName)
        .arg(m_settings.baudRate)
        .arg(m_settings.dataBits)
        .arg(QLatin1String(parities[qBound(0, m_settings.parity, 5)]), stop,
             m_settings.stopBits == QSerialPort::OneStop ? QString() : QStringLiteral("s"));
}

void SerialPort::setStatusText(const QString &text)
{
    if (text == m_statusText)
        return;
    m_statusText = text;
    emit statusTextChanged();
}
