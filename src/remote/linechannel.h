#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QIODevice;

// One peer's end of a text link framed in lines, on any QIODevice: an RFCOMM
// socket, a serial port, a local socket in the tests. Every line received is
// handed on as UTF-8 text without its line end (NUL bytes included, with a
// log line); every text sent goes out as
// UTF-8 followed by one line feed. The device's bytes are taken as they come,
// so a peer that sends no line end cannot make the program hold more than
// maxLineLength bytes of it: the rest of such a line is dropped, with a log
// line, and the link stays up. The channel owns its device.
class LineChannel : public QObject
{
    Q_OBJECT

public:
    enum Option {
        NoOption = 0,
        TrimLines = 1,               // leading and trailing white space removed
        CarriageReturnEndsLine = 2,  // CR ends a line as LF does; empty lines are skipped
    };
    Q_DECLARE_FLAGS(Options, Option)

    // The longest line kept, bytes.
    static constexpr int maxLineLength = 1024 * 1024;

    LineChannel(QIODevice *device, const QString &peerName, Options options, QObject *parent = nullptr);
    ~LineChannel() override;

    QIODevice *device() const { return m_device; }
    QString peerName() const { return m_peerName; }
    bool isOpen() const;
    void send(const QString &text);
    // Closes the device; closed() follows once.
    void close();

signals:
    void lineReceived(const QString &line);
    // The device was closed, by this end or the peer's.
    void closed();

public slots:
    // Takes every byte the device has.
    void readAvailable();

private slots:
    void deviceClosed();

private:
    void takeBytes(const char *data, int size);
    void endLine();

    QPointer<QIODevice> m_device;
    QString m_peerName;
    Options m_options;
    QByteArray m_line;
    bool m_droppingLine = false;
    bool m_closed = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(LineChannel::Options)
