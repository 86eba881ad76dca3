#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The serial-line carrier of the command protocol. This platform has no serial
// facility, so the transport keeps its settings, lists no port, never connects
// and sends nothing; the rest of the program only needs its signal, its send
// operation and its connected test.
class SerialPort : public QObject
{
    Q_OBJECT

public:
    explicit SerialPort(QObject *parent = nullptr);

    bool isConnected() const { return false; }
    void send(const QString &message) { Q_UNUSED(message) }
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

signals:
    void commandReceived(const QString &message);
};
