#include "remote/serialport.h"

SerialPort::SerialPort(QObject *parent)
    : Transport(parent)
{
}
