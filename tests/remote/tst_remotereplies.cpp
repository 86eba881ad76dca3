#include "core/calculationresults.h"
#include "core/params.h"
#include "core/yaxissettings.h"
#include "faketransport.h"
#include "remote/commandtargets.h"
#include "remote/remotecontrol.h"
#include "remotecontrolundertest.h"
#include "spectrumqueries.h"

#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

// The command processor's replies: the RESULT commands answer from the
// results table, replies go to the transport of the communication mode,
// manual changes are broadcast as set commands, the receive buffer is bounded,
// and waits end without a redraw and keep the order of what came meanwhile.
class TestRemoteReplies : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void resultsComeFromTheTable();
    void repliesGoToTheTransportOfTheMode();
    void broadcastSendsSetCommands();
    void receiveBufferIsBounded();
    void waitsEndWithoutRedrawAndKeepOrder();

private:
    std::unique_ptr<RemoteControlUnderTest> m_t;
};

void TestRemoteReplies::init()
{
    m_t = std::make_unique<RemoteControlUnderTest>();
    QVERIFY(m_t->isValid());
}

void TestRemoteReplies::cleanup()
{
    m_t.reset();
}

// The RESULT commands read the results table, not the live settings; a total
// needs the total display, which the command switches on and waits for.
void TestRemoteReplies::resultsComeFromTheTable()
{
    // Before any calculation there is nothing to answer with.
    const QString none = QStringLiteral(" : There is no result yet: no calculation has been performed.");
    QCOMPARE(m_t->send("#RESULT;NUMWNPTS#RESULT;TEMP" + spectrumQuery(QStringLiteral("CO2"))),
             (QStringList{"RESULT;NUMWNPTS" + none, "", "RESULT;TEMP" + none, "", spectrumErrorReply(none.mid(3)),
                          ""}));
    m_t->results()->setCalculationConditions(280.0, 0.9, 12.5, {"H2O", "CO2"}, {7750.0, 412.5}, nullptr,
                                        XAxis(XAxis::Wavenumber, 2100.0, 2101.0, 3));
    m_t->results()->addColumn({2100.0, 2100.5, 2101.0}, QStringLiteral("Wavenumber, cm-1"));
    m_t->results()->addColumn({0.5, 0.25, 0.125}, QStringLiteral("CO2"));
    m_t->params()->pathConditions().pathLength = 99.0;
    QCOMPARE(m_t->send("#RESULT;SWAVE#RESULT;EWAVE#RESULT;NUMWNPTS#RESULT;PATH#RESULT;TEMP#RESULT;TPRES#RESULT;MCONC;2"),
             (QStringList{"2100", "2101", "3", "12.5", "280", "0.9", "412.5"}));
    QCOMPARE(m_t->send("#DELIMITER;, #RESULT;WNGRID" + spectrumQuery(QStringLiteral("co2"))),
             (QStringList{"2100, 2100.5, 2101", "0.5, 0.25, 0.125"}));

    QSignalSpy shown(m_t->remote(), &RemoteControl::showTotalChanged);
    connect(m_t->remote(), &RemoteControl::showTotalChanged, this, [this](bool show) {
        // What the results model does when the display changes, then the redrawn plot.
        if (show)
            m_t->results()->addColumn({1.0, 2.0, 3.0}, QStringLiteral("Total"));
        m_t->remote()->setReady();
    });
    QCOMPARE(m_t->send(spectrumQuery(QStringLiteral("TOTAL"))), QStringList{"1, 2, 3"});
    QCOMPARE(shown.count(), 1);
    QVERIFY(m_t->yAxis()->showTotal);
    // A molecule's spectrum switches the display back to the molecules.
    QCOMPARE(m_t->send(spectrumQuery(QStringLiteral("2"))), QStringList{"0.5, 0.25, 0.125"});
    QVERIFY(!m_t->yAxis()->showTotal);
    QCOMPARE(shown.count(), 2);
    const QStringList missing = m_t->send(spectrumQuery(QStringLiteral("H2O")));
    QCOMPARE(missing.size(), 2);
    QVERIFY(missing.first().startsWith(QStringLiteral("H2O : The requested molecular spectrum")));
}

// Replies go to the transport of the communication mode, and text is run only
// while it is connected; the console gets every reply, whatever the mode.
void TestRemoteReplies::repliesGoToTheTransportOfTheMode()
{
    FakeTransport serial;
    m_t->remote()->setTransport(RemoteControl::SerialPortMode, &serial);
    QVERIFY(m_t->transport()->enabled());
    QVERIFY(!serial.enabled());
    QCOMPARE(m_t->send("#PATH;?"), QStringList{"1000"});
    QCOMPARE(serial.takeReplies(), QStringList());

    m_t->remote()->setCommunicationMode(RemoteControl::SerialPortMode);
    QVERIFY(!m_t->transport()->enabled());
    QVERIFY(serial.enabled());
    serial.receive(QStringLiteral("#PATH;3#PATH;?"));
    QCOMPARE(serial.takeReplies(), QStringList{"3"});
    QCOMPARE(m_t->transport()->takeReplies(), QStringList());

    // Without a connected peer nothing is run and nothing replied.
    serial.setConnected(false);
    QSignalSpy updated(m_t->remote(), &RemoteControl::valuesUpdated);
    serial.receive(QStringLiteral("#PATH;4"));
    QCOMPARE(updated.count(), 0);
    QCOMPARE(m_t->params()->pathConditions().pathLength, 3.0);
    m_t->remote()->setCommunicationMode(RemoteControl::NoCommunication);
    QVERIFY(!m_t->remote()->isConnected());

    FakeTransport console;
    m_t->remote()->setConsole(&console);
    QVERIFY(m_t->remote()->isConnected());
    console.receive(QStringLiteral("#PATH;?"));
    QCOMPARE(console.takeReplies(), QStringList{"3"});
    m_t->remote()->setCommunicationMode(RemoteControl::WebSocketMode);
    m_t->transport()->receive(QStringLiteral("#TEMP;?"));
    QCOMPARE(console.takeReplies(), QStringList{"296"});
    QCOMPARE(m_t->transport()->takeReplies(), QStringList{"296"});
    m_t->remote()->setConsole(nullptr);
}

void TestRemoteReplies::broadcastSendsSetCommands()
{
    m_t->remote()->setBroadcastManualInput(false);
    m_t->remote()->broadcastValue(QStringLiteral("PATH"), 0);
    QCOMPARE(m_t->transport()->takeReplies(), QStringList());
    m_t->remote()->setBroadcastManualInput(true);
    m_t->params()->pathConditions().concentrations[1] = 415.0;
    m_t->remote()->broadcastValue(QStringLiteral("PATH"), 0);
    m_t->remote()->broadcastValue(QStringLiteral("MCONC"), 2);
    m_t->remote()->broadcastValue(QStringLiteral("MSEL"), 3);
    m_t->remote()->broadcastValue(QStringLiteral("RESULT;PATH"), 0);
    QCOMPARE(m_t->transport()->takeReplies(), (QStringList{"#PATH;1000", "#MCONC;2;415", "#MSEL;3;1"}));
}

void TestRemoteReplies::receiveBufferIsBounded()
{
    const QString huge(RemoteControl::maxBufferLength + 1, QLatin1Char('x'));
    QCOMPARE(m_t->send(huge), QStringList{"The receive buffer is full; the message was dropped."});
    QVERIFY(m_t->remote()->bufferedText().isEmpty());
    // Text that never forms a command is not kept.
    for (int i = 0; i < 100; ++i)
        m_t->transport()->receive(QString(1000, QLatin1Char('y')) + QStringLiteral("#NOSUCH;1"));
    QVERIFY(m_t->remote()->bufferedText().isEmpty());
    QCOMPARE(m_t->send("#SWAVE;?"), QStringList{"2000"});
}

// Nothing redraws here and no READY comes: the waits still end, and text
// received during a wait runs after it, in order, while the event loop goes
// on. A query about a setting from a peer with nothing waiting is answered at
// once; what a peer that leaves had waiting is never run; no peer has more
// than a bounded number of commands waiting.
void TestRemoteReplies::waitsEndWithoutRedrawAndKeepOrder()
{
    RemoteControl remote;
    YAxisSettings axis;
    CommandTargets targets;
    targets.yAxis = &axis;
    remote.setTargets(targets);
    FakeTransport console;
    remote.setConsole(&console);
    remote.setReadyGrace(100);
    QSignalSpy shown(&remote, &RemoteControl::showTotalChanged);
    console.receive(QStringLiteral("#TOTAL;1#TOTAL;?"));
    // The redraw is awaited without holding the caller, and the query behind
    // TOTAL waits with it.
    QVERIFY(remote.waiting());
    QCOMPARE(console.takeReplies(), QStringList());
    QTRY_VERIFY_WITH_TIMEOUT(!remote.busy(), 5000);
    QCOMPARE(console.takeReplies(), QStringList{"1"});
    QCOMPARE(shown.count(), 1);

    bool running = false;
    remote.setCalculationProbe([&running] { return running; });
    connect(&remote, &RemoteControl::calculate, this, [&running] {
        running = true;
        QTimer::singleShot(300, [&running] { running = false; });
    });
    console.receive(QStringLiteral("#CALC#TOTAL;?"));
    QVERIFY(remote.waiting());
    console.receive(QStringLiteral("#TOTAL;0#TOTAL;?"));
    QCOMPARE(console.takeReplies(), QStringList());
    // Another peer's query about a setting is answered now, from the settings
    // as they are; its set command waits.
    console.receive(QStringLiteral("#TOTAL;?#YUNITS;?"), 7);
    QCOMPARE(console.takeReplies(), (QStringList{"1", QString::number(axis.yUnits)}));
    console.receive(QStringLiteral("#YUNITS;0#YUNITS;?"), 7);
    QCOMPARE(console.takeReplies(), QStringList());
    // A peer that leaves takes what it had waiting with it.
    console.receive(QStringLiteral("#YUNITS;1#YUNITS;?"), 8);
    console.leave(8);
    // Too much waiting for one peer is refused, once.
    const QString many = QStringLiteral("#TOTAL;?").repeated(RemoteControl::maxWaitingCommands);
    console.receive(QStringLiteral("#YUNITS;2") + many, 9);
    console.receive(QStringLiteral("#YUNITS;2") + many, 9);
    QCOMPARE(console.takeReplies(),
             QStringList{QStringLiteral("The message was dropped: at most %1 commands of one peer can wait while a "
                                        "calculation runs.")
                             .arg(RemoteControl::maxWaitingCommands)});
    QTRY_VERIFY_WITH_TIMEOUT(!remote.busy(), 5000);
    QCOMPARE(console.takeReplies(), (QStringList{"1", "0", "0"}));
    QCOMPARE(axis.yUnits, quint8(0));
}

QTEST_GUILESS_MAIN(TestRemoteReplies)
#include "tst_remotereplies.moc"
