#include "ui/serialportqml.h"

#include "app/kolvexcore.h"
#include "remote/serialport.h"

SerialPortQml::SerialPortQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_port(core ? core->serialPort() : nullptr)
{
    if (m_port) {
        m_portIndex = m_port->portIndex();
        m_baudRate = m_port->baudRate();
        m_parity = m_port->parity();
        m_dataBits = m_port->dataBits();
        m_stopBits = m_port->stopBits();
    }
}

void SerialPortQml::setPortIndex(int index)
{
    if (index == m_portIndex)
        return;
    m_portIndex = index;
    if (m_port)
        m_port->setPortIndex(index);
    emit portIndexChanged();
}

void SerialPortQml::setBaudRate(int rate)
{
    if (rate == m_baudRate)
        return;
    m_baudRate = rate;
    if (m_port)
        m_port->setBaudRate(rate);
    emit baudRateChanged();
}

void SerialPortQml::setParity(int parity)
{
    if (parity == m_parity)
        return;
    m_parity = parity;
    if (m_port)
        m_port->setParity(parity);
    emit parityChanged();
}

void SerialPortQml::setDataBits(int bits)
{
    if (bits == m_dataBits)
        return;
    m_dataBits = bits;
    if (m_port)
        m_port->setDataBits(bits);
    emit dataBitsChanged();
}

void SerialPortQml::setStopBits(int bits)
{
    if (bits == m_stopBits)
        return;
    m_stopBits = bits;
    if (m_port)
        m_port->setStopBits(bits);
    emit stopBitsChanged();
}
