#pragma once

#include "core/setting.h"
#include "remote/commandtargets.h"
#include "remote/readywait.h"
#include "remote/transport.h"

#include <QByteArray>
#include <QHash>
#include <QLocale>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QString>

#include <deque>
#include <functional>

struct Command;

// The command processor of the remote protocol: another device drives the
// program through "#NAME;field;..." commands that set every calculation
// parameter, start a calculation and wait for it, and read back parameters and
// spectra as text or, for some values, as raw bytes. It cuts the received text
// into commands, finds each in the command table (CommandTable), checks, sets,
// queries and replies, and waits where a command waits. The text arrives from
// the transport of the communication mode, and the replies go back the same
// way; the processor knows no transport beyond its interface.
//
// Commands run in the order they arrive. A command that waits (CALC for the
// end of its calculation, TOTAL for the redrawn plot) does not hold the
// program up: the event loop goes on, and what arrives meanwhile waits behind
// it, as do set commands and CALC while any calculation runs. A message of
// queries about settings alone, from a peer with nothing waiting, is answered
// at once instead. What a peer sent and is not yet running goes when the peer
// goes, and no peer has more than maxWaitingCommands commands waiting.
class RemoteControl : public QObject
{
    Q_OBJECT

public:
    enum CommunicationMode { NoCommunication = 0, BluetoothMode = 1, SerialPortMode = 2, WebSocketMode = 3 };

    // Text waiting to be processed never grows beyond this many characters; a
    // message that would overflow it is refused with a reply.
    static constexpr int maxBufferLength = 4 * 1024 * 1024;
    // The most commands one peer may have waiting; a message that would pass
    // it is refused (with one reply until the peer's queue has room again).
    static constexpr int maxWaitingCommands = 1000;
    explicit RemoteControl(QObject *parent = nullptr);
    ~RemoteControl() override;

    // The objects the commands read and write.
    void setTargets(const CommandTargets &targets) { m_targets = targets; }
    const CommandTargets &targets() const { return m_targets; }

    // The transport that carries the protocol in `mode` (not owned); the
    // transport of the current mode is enabled, every other one disabled.
    void setTransport(CommunicationMode mode, Transport *transport);
    Transport *transport(CommunicationMode mode) const { return m_transports.value(mode); }
    // A transport that carries the protocol whatever the mode and always counts
    // as connected (the console program's standard input and output); it gets
    // every reply too. Null removes it.
    void setConsole(Transport *console);

    int communicationMode() const { return m_communicationMode; }
    void setCommunicationMode(int mode);
    bool broadcastManualInput() const { return m_broadcastManualInput; }
    void setBroadcastManualInput(bool broadcast) { m_broadcastManualInput = broadcast; }

    // Tells whether a calculation is under way, so that a wait for its end can
    // stop when the calculation was refused or ended without a redraw.
    void setCalculationProbe(std::function<bool()> running) { m_readyWait->setCalculationProbe(std::move(running)); }
    // Tells whether the results are about to be renewed by themselves (live
    // mode follows a change): RESULT queries wait for the new ones, set
    // commands do not wait (they are changes like any other). resume() goes
    // on once they are renewed.
    void setRenewalProbe(std::function<bool()> renewing) { m_renewing = std::move(renewing); }
    // How long a wait for the redrawn plot lasts once nothing is being
    // calculated any more, milliseconds.
    void setReadyGrace(int milliseconds) { m_readyWait->setGrace(milliseconds); }

    // While held, received text only waits in the buffer (up to its bound);
    // it runs once released. The core holds the commands during start-up.
    void setHeld(bool held);
    bool held() const { return m_held; }

    bool isConnected() const;
    void sendReply(const QString &text);
    // Sends a value changed by hand on this device as the set command a peer applies.
    void broadcastValue(const QString &command, int index);
    // A setting changed on this device's screens: the peers hear of it as the
    // command that sets it (when broadcasting manual input is on).
    void announceChange(Setting setting, int index);

    void applySetting(const QString &name, const QString &parameter, int index);
    QString queryValue(const QString &name, int index, bool broadcast);
    void applyBinarySetting(const QString &name, const QByteArray &payload, int index);
    QByteArray queryBinaryValue(const QString &name, int index) const;

    // The text received and not yet run.
    QString bufferedText() const;
    bool waiting() const { return m_readyWait->waiting(); }
    // True while commands are being run or wait to be run (a wait included).
    bool busy() const { return m_processing || m_readyWait->waiting() || !m_queue.empty(); }

signals:
    void calculate();
    void valuesUpdated();
    void applyCurrentAtmModel();
    void updateSpectra(bool updateScale, bool updateTotal);
    void showTotalChanged(bool newShowTotal);
    void showPlainTotalChanged(bool newShowPlainTotal);
    void showInstrTotalChanged(bool newShowInstrTotal);
    void ready();

public slots:
    // Text from no particular peer (a test, a benchmark).
    void bufferAndProcessCommands(const QString &message);
    void processCommandString(const QString &message);
    // A calculation has ended: READY to the peers, and the waiting commands go on.
    void emitReadyMessage();
    void setReady();
    // Goes on with the commands that wait.
    void resume() { scheduleProcessing(); }

private:
    // Who sent a piece of text: a transport and its peer.
    using PeerKey = QPair<const Transport *, quint64>;
    // A message received and not yet run to its end.
    struct Pending
    {
        PeerKey peer;
        QString text;
        int position = 0;   // start of the text not yet run
        int commands = 0;   // commands left in it
    };

    void receive(const Transport *transport, quint64 peer, const QString &message);
    void forgetPeer(const Transport *transport, quint64 peer);
    void processQueue();
    void scheduleProcessing();
    // A query about a setting (not a result, not the query form of CALC).
    bool isSettingQuery(const QString &command) const;
    // Whether the command waits while a calculation runs: every command but a
    // query about a setting and CALC.
    bool waitsForCalculation(const QString &command) const;
    // Whether the command asks for results, which wait while they are renewed.
    bool isResultQuery(const QString &command) const;
    bool peerHasWaiting(const PeerKey &peer) const;
    void listenTo(Transport *transport);
    void refuse(const QString &name, const QString &problem);
    // Checks one value against the command's rules and applies it; replyName is
    // the command as the peer wrote it, for the refusal.
    void applyValue(const Command *command, const QString &replyName, double value, int index);
    void runEffect(const Command &command, double value);
    void applyCalc();
    // Fits the calculation to the measured spectrum and replies with the result.
    void applyFit();
    void applyTotal(bool show);
    int moleculeCount() const;

    CommandTargets m_targets;
    QMap<int, QPointer<Transport>> m_transports;
    QPointer<Transport> m_console;
    ReadyWait *m_readyWait;
    std::function<bool()> m_renewing;

    int m_communicationMode = NoCommunication;
    bool m_broadcastManualInput = false;
    std::deque<Pending> m_queue;
    qint64 m_queuedCharacters = 0;
    QHash<PeerKey, int> m_waitingCommands;
    QSet<PeerKey> m_refusedPeers;   // told that their queue was full
    bool m_processingScheduled = false;
    bool m_processing = false;
    bool m_held = false;
    QLocale m_locale;
};
