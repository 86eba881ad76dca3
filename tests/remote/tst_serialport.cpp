#include "app/kolvexcore.h"
#include "offlinesettings.h"
#include "remote/remotecontrol.h"
#include "remote/serialport.h"
#include "ui/serialportqml.h"
#include "ui/serialportslistmodel.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// The serial transport on pseudo-terminal pairs, which are real serial devices
// to QSerialPort: commands in and replies out through a core's protocol, the
// settings as the device's own terminal settings show them, refused settings,
// a port that does not exist and one that vanishes.
class TestSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void defaultsAndViews();
    void commandsInRepliesOut();
    void nulBytesEndNoLine();
    void settingsReachTheDevice();
    void badSettingsAreRefused();
    void missingPort();
    void vanishedPortIsServedAgain();

private:
    QByteArray readFromPeer(int lines);
    void writeFromPeer(const QByteArray &bytes);

    QTemporaryDir m_folder;
    KolvexCore *m_core = nullptr;
    SerialPort *m_port = nullptr;
    RemoteControl *m_remote = nullptr;
    int m_master = -1;          // the peer's end
    int m_slave = -1;           // held open so that the peer's end never sees a hang-up
    QString m_slavePath;
};

void TestSerialPort::initTestCase()
{
    m_core = new KolvexCore(offlineSettings(m_folder.path()));
    m_port = m_core->serialPort();
    m_remote = m_core->remoteControl();
}

void TestSerialPort::cleanupTestCase()
{
    delete m_core;
}

void TestSerialPort::init()
{
    char name[256] = {};
    QVERIFY(::openpty(&m_master, &m_slave, name, nullptr, nullptr) == 0);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slavePath = QString::fromLocal8Bit(name);
}

void TestSerialPort::cleanup()
{
    m_remote->setCommunicationMode(RemoteControl::NoCommunication);
    QVERIFY(!m_port->isConnected());
    m_port->setSettings(SerialSettings());
    if (m_master >= 0)
        ::close(m_master);
    ::close(m_slave);
    m_master = m_slave = -1;
}

void TestSerialPort::writeFromPeer(const QByteArray &bytes)
{
    QCOMPARE(::write(m_master, bytes.constData(), std::size_t(bytes.size())), ssize_t(bytes.size()));
}

// What the program wrote, once `lines` line feeds have come (or after a while).
QByteArray TestSerialPort::readFromPeer(int lines)
{
    QByteArray bytes;
    QDeadlineTimer deadline(60000);
    while (bytes.count('\n') < lines && !deadline.hasExpired()) {
        char chunk[65536];
        const ssize_t count = ::read(m_master, chunk, sizeof chunk);
        if (count > 0)
            bytes.append(chunk, int(count));
        else
            QTest::qWait(5);
    }
    return bytes;
}

void TestSerialPort::defaultsAndViews()
{
    // (The defaults a user expects, 115200 baud, 8N1, are read off the device
    // in settingsReachTheDevice.)
    SerialPortQml view(nullptr, m_core);
    QCOMPARE(view.baudRate(), 115200);
    QCOMPARE(view.dataBits(), 8);
    SerialPortsListModel ports(nullptr, m_core);
    QCOMPARE(ports.roleNames().value(257), QByteArray("portName"));
    QVERIFY(ports.rowCount() >= 1);

    // The view follows the transport, and a value the transport refuses is
    // announced again so that the screen shows the one in force.
    QSignalSpy baud(&view, &SerialPortQml::baudRateChanged);
    m_port->setBaudRate(9600);
    QCOMPARE(view.baudRate(), 9600);
    view.setBaudRate(-1);
    QCOMPARE(view.baudRate(), 9600);
    QCOMPARE(baud.count(), 2);
}

void TestSerialPort::commandsInRepliesOut()
{
    m_port->setPortName(m_slavePath);
    QSignalSpy connectedState(m_port, &Transport::connectedStateChanged);
    m_remote->setCommunicationMode(RemoteControl::SerialPortMode);
    QVERIFY2(m_port->isConnected(), qPrintable(m_port->statusText()));
    QVERIFY(m_remote->isConnected());
    QCOMPARE(connectedState.count(), 1);

    // A command split over two writes runs whole once its line ends; a
    // carriage return ends a line as a line feed does, and CR LF makes no
    // empty command. Replies end in one line feed.
    writeFromPeer("  #SWAVE;2100\r#SWA");
    QTest::qWait(50);
    writeFromPeer("VE;?\r\n#PATH;-5\n");
    QCOMPARE(readFromPeer(2), QByteArray("2100\nPATH : Parameter out of range. Parameter values have to be >= 0.\n"));
    QTest::qWait(50);
    QCOMPARE(readFromPeer(0), QByteArray());
}

// A NUL byte on the line cuts nothing: the binary form's value (260.0 as a
// little-endian double, 00 00 00 00 00 40 70 40) arrives whole, and the log
// says that the line held a NUL byte.
void TestSerialPort::nulBytesEndNoLine()
{
    m_port->setPortName(m_slavePath);
    m_remote->setCommunicationMode(RemoteControl::SerialPortMode);
    QVERIFY2(m_port->isConnected(), qPrintable(m_port->statusText()));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^A line from .* holds a NUL byte")));
    writeFromPeer(QByteArrayLiteral("#SWAVE;2000\n#SWAV_BIN;\x00\x00\x00\x00\x00\x40\x70\x40\n#SWAVE;?\n"));
    QCOMPARE(readFromPeer(1), QByteArray("260\n"));
}

void TestSerialPort::settingsReachTheDevice()
{
    m_port->setPortName(m_slavePath);
    m_remote->setCommunicationMode(RemoteControl::SerialPortMode);
    QVERIFY2(m_port->isConnected(), qPrintable(m_port->statusText()));
    termios tio {};
    QCOMPARE(::tcgetattr(m_slave, &tio), 0);
    QCOMPARE(::cfgetospeed(&tio), speed_t(B115200));
    QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(tio.c_cflag & (PARENB | CSTOPB), tcflag_t(0));

    // Changed while open: 9600 baud (a pseudo-terminal takes parity and stop
    // bits without keeping them, so only the speed can be seen on it).
    QVERIFY(m_port->setBaudRate(9600));
    QVERIFY(m_port->setParity(3));
    QVERIFY(m_port->setStopBits(2));
    QCOMPARE(::tcgetattr(m_slave, &tio), 0);
    QCOMPARE(::cfgetospeed(&tio), speed_t(B9600));
    QCOMPARE(m_port->statusText(),
             m_slavePath + QStringLiteral(" open: 9600 baud, 8 data bits, odd parity, 2 stop bits."));

    // A pseudo-terminal keeps 8 data bits: the setting is refused, the port
    // stays open with the one in force, and the text says so.
    QVERIFY(!m_port->setDataBits(7));
    QCOMPARE(m_port->dataBits(), 8);
    QCOMPARE(::tcgetattr(m_slave, &tio), 0);
    QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(m_port->statusText(),
             m_slavePath + QStringLiteral(" does not take this setting (Invalid argument); the previous one stays."));
    QVERIFY(m_port->isConnected());
}

void TestSerialPort::badSettingsAreRefused()
{
    m_port->setPortName(m_slavePath);
    m_remote->setCommunicationMode(RemoteControl::SerialPortMode);
    QVERIFY(m_port->isConnected());
    QVERIFY(!m_port->setDataBits(9));
    QCOMPARE(m_port->dataBits(), 8);
    QCOMPARE(m_port->statusText(), QStringLiteral("Data bits must be 5, 6, 7 or 8."));
    QVERIFY(!m_port->setParity(1));
    QVERIFY(!m_port->setBaudRate(0));
    QCOMPARE(m_port->baudRate(), 115200);
    // A stored file may hold anything: what is out of range is not taken.
    SerialSettings stored;
    stored.portName = m_slavePath;
    stored.dataBits = 4;
    stored.stopBits = 7;
    stored.baudRate = 57600;
    m_port->setSettings(stored);
    QCOMPARE(m_port->dataBits(), 8);
    QCOMPARE(m_port->stopBits(), 1);
    QCOMPARE(m_port->baudRate(), 57600);
    QVERIFY(m_port->isConnected());
}

void TestSerialPort::missingPort()
{
    const QString missing = m_folder.filePath(QStringLiteral("no-such-port"));
    m_port->setPortName(missing);
    m_remote->setCommunicationMode(RemoteControl::SerialPortMode);
    QVERIFY(!m_port->isConnected());
    QCOMPARE(m_port->statusText(),
             QStringLiteral("The serial port %1 does not exist. Trying again every 3 s.").arg(missing));
    QVERIFY(m_port->isRetrying());
    QSignalSpy updated(m_remote, &RemoteControl::valuesUpdated);
    emit m_port->commandReceived(QStringLiteral("#PATH;2"), 0);
    QCOMPARE(updated.count(), 0);
}

// An adapter unplugged and plugged in again: the port (named by a link, as
// udev names adapters) is tried again every few seconds, the screen says so,
// and once the port is back the commands are served again. Switching the
// serial mode off ends the tries.
void TestSerialPort::vanishedPortIsServedAgain()
{
    const QString port = m_folder.filePath(QStringLiteral("ttyKolvex"));
    QFile::remove(port);
    QVERIFY(QFile::link(m_slavePath, port));
    m_port->setRetryInterval(50);
    m_port->setPortName(port);
    m_remote->setCommunicationMode(RemoteControl::SerialPortMode);
    QVERIFY2(m_port->isConnected(), qPrintable(m_port->statusText()));

    // Unplugged: the old device is gone for good and the link leads nowhere.
    QSignalSpy connectedState(m_port, &Transport::connectedStateChanged);
    ::close(m_master);
    m_master = -1;
    QVERIFY(QFile::remove(port));
    QTRY_VERIFY(!m_port->isConnected());
    QCOMPARE(connectedState.count(), 1);
    QVERIFY(!m_remote->isConnected());
    QVERIFY2(m_port->statusText().startsWith(QStringLiteral("The serial port %1 is gone").arg(port)),
             qPrintable(m_port->statusText()));
    QTRY_VERIFY2(m_port->statusText().endsWith(QStringLiteral(" Trying again every 0.05 s.")),
                 qPrintable(m_port->statusText()));
    QVERIFY(m_port->isRetrying());

    // Plugged in again, as another device behind the same name.
    int master = -1;
    int slave = -1;
    char name[256] = {};
    QVERIFY(::openpty(&master, &slave, name, nullptr, nullptr) == 0);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::close(m_slave);
    m_master = master;
    m_slave = slave;
    QVERIFY(QFile::link(QString::fromLocal8Bit(name), port));
    QTRY_VERIFY(m_port->isConnected());
    QCOMPARE(m_port->statusText(), port + QStringLiteral(" open: 115200 baud, 8 data bits, no parity, 1 stop bit."));
    QVERIFY(m_remote->isConnected());
    writeFromPeer("#PATH;?\n");
    QCOMPARE(readFromPeer(1), QByteArray("1000\n"));

    // The serial mode off: no more tries.
    m_remote->setCommunicationMode(RemoteControl::NoCommunication);
    QVERIFY(!m_port->isRetrying());
    m_port->setRetryInterval(SerialPort::defaultRetryInterval);
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
