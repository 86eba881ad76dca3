#pragma once

#include <QBluetoothServiceInfo>
#include <QObject>
#include <QString>

class LineChannel;
class QIODevice;

// One outgoing RFCOMM link to the serial-port service of another device: the
// lines it sends are handed on as they are (not trimmed), texts sent go out
// as lines. A link that fails or is lost ends with disconnected(), after
// errorOccurred() says why.
class ChatClient : public QObject
{
    Q_OBJECT

public:
    explicit ChatClient(QObject *parent = nullptr);
    ~ChatClient() override;

    // Connects to the service (an RFCOMM socket).
    void startClient(const QBluetoothServiceInfo &remoteService);
    // Uses a link that is already connected in place of the socket (the tests
    // hand in local sockets). The client owns it.
    void startClient(QIODevice *link, const QString &peerName);
    // Closes the link; disconnected() follows.
    void stopClient();
    QString peerName() const { return m_peerName; }
    bool isConnected() const { return m_connected; }
    // The link was up at some time (a lost link, not one that never came up).
    bool wasConnected() const { return m_wasConnected; }

signals:
    void messageReceived(const QString &sender, const QString &message);
    void connected(const QString &name);
    void disconnected();
    void errorOccurred(const QString &message);

public slots:
    void sendMessage(const QString &message);

private slots:
    // The link is up.
    void connected();
    void linkClosed();

private:
    void attach(QIODevice *link);

    LineChannel *m_channel = nullptr;
    QString m_peerName;
    bool m_connected = false;
    bool m_wasConnected = false;
    bool m_ended = false;
};
