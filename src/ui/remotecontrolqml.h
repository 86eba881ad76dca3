#pragma once

#include <QLocale>
#include <QObject>
#include <QString>

class BluetoothSpp;
class RemoteControl;
class WebSockets;

// The connection screen's view of the remote control: the transport in use,
// the addresses and connection state, the WebSocket port, the Bluetooth device
// to connect to with the state of the Bluetooth link, and the broadcasting of
// values changed by hand to the peer.
class RemoteControlQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int communicationMode READ communicationMode WRITE setCommunicationMode NOTIFY communicationModeChanged)
    Q_PROPERTY(bool broadcastManualInput READ broadcastManualInput WRITE setBroadcastManualInput NOTIFY broadcastManualInputChanged)
    Q_PROPERTY(QString portNumber READ portNumber WRITE setPortNumber NOTIFY portNumberChanged)
    Q_PROPERTY(QString kolvexDeviceIpAddress READ kolvexDeviceIpAddress NOTIFY kolvexDeviceIpAddressChanged)
    Q_PROPERTY(QString remoteDeviceIpAddress READ remoteDeviceIpAddress NOTIFY remoteDeviceIpAddressChanged)
    Q_PROPERTY(int selectedBluetoothDeviceIndex READ selectedBluetoothDeviceIndex WRITE setSelectedBluetoothDeviceIndex NOTIFY selectedBluetoothDeviceIndexChanged)
    Q_PROPERTY(QString connectButtonText READ connectButtonText NOTIFY connectButtonTextChanged)
    Q_PROPERTY(QString connectedString READ connectedString NOTIFY connectedStringChanged)
    Q_PROPERTY(bool allowWebPages READ allowWebPages WRITE setAllowWebPages NOTIFY allowWebPagesChanged)
    Q_PROPERTY(QString bluetoothStatus READ bluetoothStatus NOTIFY bluetoothStatusChanged)

public:
    static QString serviceUuid() { return QStringLiteral("00001101-0000-1000-8000-00805f9b34fb"); }

    explicit RemoteControlQml(QObject *parent = nullptr, RemoteControl *remoteControl = nullptr,
                              WebSockets *webSockets = nullptr, BluetoothSpp *bluetooth = nullptr);

    int communicationMode() const { return m_communicationMode; }
    void setCommunicationMode(int mode);
    bool broadcastManualInput() const { return m_broadcastManualInput; }
    void setBroadcastManualInput(bool broadcast);
    QString portNumber() const;
    void setPortNumber(const QString &text);
    QString kolvexDeviceIpAddress() const;
    QString remoteDeviceIpAddress() const;
    int selectedBluetoothDeviceIndex() const;
    void setSelectedBluetoothDeviceIndex(int index);
    QString connectButtonText() const;
    QString connectedString() const { return m_connectedString; }
    // Whether web pages may connect over WebSocket; kept in the program's own
    // settings (key allowWebPagesKey()), off until the user switches it on.
    bool allowWebPages() const;
    void setAllowWebPages(bool allow);
    static QString allowWebPagesKey() { return QStringLiteral("remote/allowWebPages"); }
    // What the Bluetooth link is doing, or its last problem.
    QString bluetoothStatus() const;

    Q_INVOKABLE void openUrl(const QString &webAddress);
    Q_INVOKABLE void discoverDevices();
    Q_INVOKABLE void connectBluetooth();

    Q_INVOKABLE void sendMessage(const QString &message);
    // Sets the port of a committed text, or returns why it cannot be used.
    Q_INVOKABLE QString enterPortNumber(const QString &text);

signals:
    void communicationModeChanged();
    void broadcastManualInputChanged();
    void portNumberChanged();
    void kolvexDeviceIpAddressChanged();
    void remoteDeviceIpAddressChanged();
    void selectedBluetoothDeviceIndexChanged();
    void connectButtonTextChanged();
    void connectedStringChanged();
    void allowWebPagesChanged();
    void bluetoothStatusChanged();

public slots:
    void setConnectedState();
    void setConnectedToBluetoothServer(const QString &name);
    void setDisconnectedFromBluetoothServer(const QString &name);

private:
    RemoteControl *m_remoteControl;
    WebSockets *m_webSockets;
    BluetoothSpp *m_bluetooth;
    int m_communicationMode = 0;
    bool m_broadcastManualInput = false;
    QString m_portNumber;
    QString m_connectedString;
    QLocale m_locale;
};
