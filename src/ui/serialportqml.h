#pragma once

#include <QObject>
#include <QString>

class KolvexCore;
class SerialPort;

// The serial settings of the connection screen: port, baud rate, parity, data
// and stop bits (as the serial transport numbers them), passed on to the
// serial transport, and what the port is doing or its last problem.
class SerialPortQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int portIndex READ portIndex WRITE setPortIndex NOTIFY portIndexChanged)
    Q_PROPERTY(int baudRate READ baudRate WRITE setBaudRate NOTIFY baudRateChanged)
    Q_PROPERTY(int parity READ parity WRITE setParity NOTIFY parityChanged)
    Q_PROPERTY(int dataBits READ dataBits WRITE setDataBits NOTIFY dataBitsChanged)
    Q_PROPERTY(int stopBits READ stopBits WRITE setStopBits NOTIFY stopBitsChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusTextChanged)

public:
    explicit SerialPortQml(QObject *parent = nullptr, KolvexCore *core = nullptr);

    int portIndex() const { return m_portIndex; }
    void setPortIndex(int index);
    int baudRate() const { return m_baudRate; }
    void setBaudRate(int rate);
    int parity() const { return m_parity; }
    void setParity(int parity);
    int dataBits() const { return m_dataBits; }
    void setDataBits(int bits);
    int stopBits() const { return m_stopBits; }
    void setStopBits(int bits);
    QString statusText() const;

signals:
    void portIndexChanged();
    void baudRateChanged();
    void parityChanged();
    void dataBitsChanged();
    void stopBitsChanged();
    void statusTextChanged();

public slots:
    // Re-reads the transport's settings (the port list may have changed too).
    void setUpdatedValues();

private:
    SerialPort *m_port = nullptr;
    int m_portIndex = -1;
    int m_baudRate = 0;
    int m_parity = 0;
    int m_dataBits = 0;
    int m_stopBits = 0;
};
