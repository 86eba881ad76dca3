#pragma once

#include "remote/serialsettings.h"
#include "remote/transport.h"

#include <QString>
#include <QStringList>
#include <QTimer>

class LineChannel;
class QSerialPort;

// The serial-line carrier of the command protocol (RS-232, a USB serial
// adapter, a pseudo-terminal). While the communication mode is serial the
// chosen port is open with its settings: text received is handed on line by
// line (a line feed or a carriage return ends a line, so a terminal program's
// Enter does) and every reply goes out as one line ending in a line feed. The
// line counts as connected while the port is open. Problems (no such port, no
// permission, the port gone, a setting the port refuses) are logged and
// kept in statusText() for the screen. While the mode is serial, a port that
// is missing or has gone (an adapter unplugged) is tried again every few
// seconds, and is served again as soon as it is back.
class SerialPort : public Transport
{
    Q_OBJECT

public:
    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    QString name() const override { return QStringLiteral("serial port"); }
    bool isConnected() const override;
    void send(const QString &text) override;
    // Opens (true) or closes (false) the chosen port.
    void setEnabled(bool enabled) override;
    bool isEnabled() const { return m_enabled; }

    // The names of the serial ports of this device.
    QStringList availablePortNames() const;
    // The row of the chosen port among availablePortNames(), -1 when it is
    // not among them.
    int portIndex() const;
    void setPortIndex(int index);
    QString portName() const { return m_settings.portName; }
    void setPortName(const QString &name);

    // Each setter refuses a value out of its range, or one the open port does
    // not take, keeps the previous one and says why in statusText().
    int baudRate() const { return m_settings.baudRate; }
    bool setBaudRate(int rate);
    int parity() const { return m_settings.parity; }
    bool setParity(int parity);
    int dataBits() const { return m_settings.dataBits; }
    bool setDataBits(int bits);
    int stopBits() const { return m_settings.stopBits; }
    bool setStopBits(int bits);

    SerialSettings settings() const { return m_settings; }
    // Takes every setting that is in its range (a stored file may hold any).
    void setSettings(const SerialSettings &settings);

    QString statusText() const { return m_statusText; }

    static constexpr int defaultRetryInterval = 3000;
    // How long to wait before trying a missing port again, milliseconds.
    void setRetryInterval(int milliseconds) { m_retryIntervalMs = milliseconds; }
    bool isRetrying() const { return m_retry.isActive(); }

signals:
    void settingsChanged();
    void statusTextChanged();

private:
    enum class Setting { BaudRate, DataBits, Parity, StopBits };
    bool changeSetting(Setting setting, int value);
    static QString rangeProblem(Setting setting, int value);
    bool applyToPort(Setting setting, int value);
    void open();
    void close();
    void portError();
    void linkClosed();
    void scheduleRetry();
    void retry();
    QString retryText() const;
    QString description() const;
    void setStatusText(const QString &text);

    SerialSettings m_settings;
    bool m_enabled = false;
    QSerialPort *m_port = nullptr;      // owned by the channel
    LineChannel *m_channel = nullptr;
    QString m_statusText;
    bool m_applying = false;   // a setting is being applied; its own error is handled there
    QTimer m_retry;
    int m_retryIntervalMs = defaultRetryInterval;
    bool m_lost = false;       // the port failed while it was to be served
};
