#pragma once

#include "remote/transport.h"

#include <QString>
#include <QStringList>

// The serial-line carrier of the command protocol. This platform has no serial
// facility, so the transport keeps its settings, lists no port, never connects
// and sends nothing.
class SerialPort : public Transport
{
    Q_OBJECT

public:
    explicit SerialPort(QObject *parent = nullptr);

    QString name() const override { return QStringLiteral("serial port"); }
    bool isConnected() const override { return false; }
    void send(const QString &text) override { Q_UNUSED(text) }
    // The port is opened by its settings, not by the communication mode.
    void setEnabled(bool enabled) override { Q_UNUSED(enabled) }
    QStringList availablePortNames() const { return {}; }

    int portIndex() const { return 0; }
    int baudRate() const { return 0; }
    int parity() const { return 0; }
    int dataBits() const { return 0; }
    int stopBits() const { return 0; }
    void setPortIndex(int index) { Q_UNUSED(index) }
    void setBaudRate(int rate) { Q_UNUSED(rate) }
    void setParity(int parity) { Q_UNUSED(parity) }
    void setDataBits(int bits) { Q_UNUSED(bits) }
    void setStopBits(int bits) { Q_UNUSED(bits) }
};
