#include "ui/serialportqml.h"

#include "app/kolvexcore.h"
#include "remote/serialport.h"

SerialPortQml::SerialPortQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_port(core ? core->serialPort() : nullptr)
{
    if (!m_port)
        return;
    connect(m_port, &SerialPort::settingsChanged, this, &SerialPortQml::setUpdatedValues);
    connect(m_port, &SerialPort::statusTextChanged, this, &SerialPortQml::statusTextChanged);
    setUpdatedValues();
}

QString SerialPortQml::statusText() const
{
    return m_port ? m_port->statusText() : QString();
}

void SerialPortQml::setUpdatedValues()
{
    if (!m_port)
        return;
    const auto update = [this](int &mirror, int value, void (SerialPortQml::*changed)()) {
        if (mirror == value)
            return;
        mirror = value;
        emit(this->*changed)();
    };
    update(m_portIndex, m_port->portIndex(), &SerialPortQml::portIndexChanged);
    update(m_baudRate, m_port->baudRate(), &SerialPortQml::baudRateChanged);
    update(m_parity, m_port->parity(), &SerialPortQml::parityChanged);
    update(m_dataBits, m_port->dataBits(), &SerialPortQml::dataBitsChanged);
    update(m_stopBits, m_port->stopBits(), &SerialPortQml::stopBitsChanged);
}

// Each setter passes the value on; a value the transport refuses leaves the
// mirror at the setting in force, and the change signal makes the screen show
// that again.
void SerialPortQml::setPortIndex(int index)
{
    if (index == m_portIndex || !m_port)
        return;
    m_port->setPortIndex(index);
    setUpdatedValues();
    if (m_portIndex != index)
        emit portIndexChanged();
}

void SerialPortQml::setBaudRate(int rate)
{
    if (rate == m_baudRate || !m_port)
        return;
    m_port->setBaudRate(rate);
    setUpdatedValues();
    if (m_baudRate != rate)
        emit baudRateChanged();
}

void SerialPortQml::setParity(int parity)
{
    if (parity == m_parity || !m_port)
        return;
    m_port->setParity(parity);
    setUpdatedValues();
    if (m_parity != parity)
        emit parityChanged();
}

void SerialPortQml::setDataBits(int bits)
{
    if (bits == m_dataBits || !m_port)
        return;
    m_port->setDataBits(bits);
    setUpdatedValues();
    if (m_dataBits != bits)
        emit dataBitsChanged();
}

void SerialPortQml::setStopBits(int bits)
{
    if (bits == m_stopBits || !m_port)
        return;
    m_port->setStopBits(bits);
    setUpdatedValues();
    if (m_stopBits != bits)
        emit stopBitsChanged();
}
