#include "remote/serialport.h"

SerialPort::SerialPort(QObject *parent)
    : QObject(parent)
{
}
