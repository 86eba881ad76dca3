#include "calc/instrumentfunction.h"
#include "core/atmospheremodelset.h"
#include "core/calculationresults.h"
#include "core/params.h"
#include "core/sensorsettings.h"
#include "core/xaxis.h"
#include "core/yaxissettings.h"
#include "download/hitranonlinedownloader.h"
#include "faketransport.h"
#include "remote/commandtable.h"
#include "remote/remotecontrol.h"
#include "spectrumqueries.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <memory>
#include <random>

// The command processor on plain objects and a fake transport: each command
// sets the object it names and queries it back, the binary forms carry the
// value's own bytes, results come from the results table, replies go to the
// transport of the communication mode, and waits end. Every reply text and
// byte is also held against the recording of the protocol
// (tst_protocolrecording); calculations through the protocol are tested with
// a core (tst_remotecalculation).
// The sensor hub as the commands see it: switches that stick while a source
// is there, and the refusals when none is.
class FakeSensorSettings : public SensorSettings
{
public:
    bool enabled[3] = {false, false, false};
    bool present = true;
    bool tagConnected = true;
    bool tag = false;
    int period = 200;
    int samples = 5;

    bool sensorEnabled(Quantity q) const override { return enabled[int(q)]; }
    void setSensorEnabled(Quantity q, bool on) override { enabled[int(q)] = on && present; }
    bool sensorPresent(Quantity) const override { return present; }
    double manualValue(Quantity) const override { return 0.0; }
    bool useSensorTag() const override { return tag; }
    void setUseSensorTag(bool on) override { tag = on && tagConnected; }
    bool sensorTagConnected() const override { return tagConnected; }
    int samplingPeriod() const override { return period; }
    void setSamplingPeriod(int milliseconds) override { period = milliseconds; }
    int numSamplesToAverage() const override { return samples; }
    void setNumSamplesToAverage(int n) override { samples = n; }
};

class TestRemoteControl : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void setAndQuery_data();
    void setAndQuery();
    void everyBinaryCode_data();
    void everyBinaryCode();
    void binarySets();
    void sensorSwitchesNeedASource();
    void resultsComeFromTheTable();
    void repliesGoToTheTransportOfTheMode();
    void broadcastSendsSetCommands();
    void receiveBufferIsBounded();
    void tablesAreCheckedWhenBuilt();
    void eachEndIsJudgedAlone();
    void waitsEndWithoutRedrawAndKeepOrder();

private:
    QStringList send(const QString &message);
    QVariant storedValue(const QString &command, int index);

    std::unique_ptr<Params> m_params;
    std::unique_ptr<XAxis> m_xAxis;
    std::unique_ptr<YAxisSettings> m_yAxis;
    std::unique_ptr<FakeSensorSettings> m_sensors;
    std::unique_ptr<InstrumentFunction> m_instrument;
    std::unique_ptr<AtmosphereModelSet> m_atmospheres;
    std::unique_ptr<HitranOnlineDownloader> m_downloader;
    std::unique_ptr<CalculationResults> m_results;
    std::unique_ptr<RemoteControl> m_remote;
    std::unique_ptr<FakeTransport> m_transport;
};

void TestRemoteControl::init()
{
    m_params = std::make_unique<Params>();
    m_xAxis = std::make_unique<XAxis>(XAxis::Wavenumber, 2000.0, 2300.0, 1001);
    m_yAxis = std::make_unique<YAxisSettings>();
    m_sensors = std::make_unique<FakeSensorSettings>();
    m_instrument = std::make_unique<InstrumentFunction>();
    m_atmospheres = std::make_unique<AtmosphereModelSet>();
    m_atmospheres->setMoleculeCount(m_params->moleculeCount());
    QVERIFY(m_atmospheres->buildModels());
    m_downloader = std::make_unique<HitranOnlineDownloader>();
    m_results = std::make_unique<CalculationResults>();
    m_remote = std::make_unique<RemoteControl>();
    CommandTargets targets;
    targets.params = m_params.get();
    targets.xAxis = m_xAxis.get();
    targets.yAxis = m_yAxis.get();
    targets.sensors = m_sensors.get();
    targets.instrumentFunction = m_instrument.get();
    targets.atmosphereModels = m_atmospheres.get();
    targets.downloader = m_downloader.get();
    targets.results = m_results.get();
    m_remote->setTargets(targets);
    m_remote->setReadyGrace(50);
    m_transport = std::make_unique<FakeTransport>();
    m_remote->setTransport(RemoteControl::WebSocketMode, m_transport.get());
    m_remote->setCommunicationMode(RemoteControl::WebSocketMode);
}

void TestRemoteControl::cleanup()
{
    m_remote.reset();
    m_transport.reset();
}

QStringList TestRemoteControl::send(const QString &message)
{
    m_transport->takeReplies();
    m_transport->receive(message);
    // A wait (TOTAL for the redrawn plot) goes on in the event loop.
    if (!QTest::qWaitFor([this] { return !m_remote->busy(); }, 20000))
        qWarning("The commands did not end within 20 s.");
    return m_transport->takeReplies();
}

// A setting read straight from the object that holds it, not through the
// command processor, so that a command writing and reading the same wrong
// field fails.
QVariant TestRemoteControl::storedValue(const QString &command, int index)
{
    const Params *p = m_params.get();
    const PathConditions &c = p->pathConditions();
    const FakeSensorSettings *sensors = m_sensors.get();
    const InstrumentFunction *f = m_instrument.get();
    const YAxisSettings *y = m_yAxis.get();
    const std::size_t molecule = std::size_t(qBound(1, index, p->moleculeCount()) - 1);
    const QHash<QString, QVariant> values = {
        {"SWAVE", m_xAxis->minWavenumber()}, {"EWAVE", m_xAxis->maxWavenumber()},
        {"NUMWNPTS", m_xAxis->numPoints()}, {"PATH", c.pathLength}, {"TPRES", c.totalPressure},
        {"TEMP", c.temperature}, {"USEBAROM", sensors->enabled[0]}, {"USETHERM", sensors->enabled[1]},
        {"USEHUMID", sensors->enabled[2]}, {"USESENSTAG", sensors->tag},
        {"SMPLPERIOD", sensors->period}, {"SMPLSTOAVG", sensors->samples},
        {"HITOPT", m_downloader->usage()}, {"LSHAPE", p->lineShapeProfile()},
        {"LTHRESH", p->intensityThreshold()}, {"LWINGSAT", p->lineWingHalfwidths()},
        {"LWINGABS", p->lineWingAbsolute()}, {"LBROAD", p->broadeningType()}, {"LSHIFTUSE", p->lineShiftUsage()},
        {"INSTRFUNCT", f->type()}, {"INSTRRES", f->resolution()}, {"INSTRWING", f->wing()},
        {"ATMMODEL", m_atmospheres->currentIndex()}, {"ALLCALC", p->calcNotSelected()},
        {"PREC", p->replyPrecision()}, {"YPARAM", y->displayedValue}, {"YUNITS", y->yUnits},
        {"TOTAL", y->showTotal},
        {"MCONC", c.concentrations.at(molecule)}, {"MSEL", p->molecule(int(molecule)).selected},
        {"FORMAT", QString(QLatin1Char(p->replyFormat()))}, {"DELIMITER", p->replySeparator()}};
    return values.value(command);
}

void TestRemoteControl::setAndQuery_data()
{
    QTest::addColumn<QString>("set");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("expected");
    QTest::newRow("SWAVE") << "#SWAVE;2050.5" << "#SWAVE;?" << "2050.5";
    QTest::newRow("EWAVE") << "#EWAVE;2250" << "#EWAVE;?" << "2250";
    QTest::newRow("NUMWNPTS") << "#NUMWNPTS;501" << "#NUMWNPTS;?" << "501";
    QTest::newRow("PATH") << "#PATH;12.5" << "#PATH;?" << "12.5";
    QTest::newRow("TPRES") << "#TPRES;0.5" << "#TPRES;?" << "0.5";
    QTest::newRow("TEMP") << "#TEMP;250" << "#TEMP;?" << "250";
    QTest::newRow("USEBAROM") << "#USEBAROM;1" << "#USEBAROM;?" << "1";
    QTest::newRow("USETHERM") << "#USETHERM;5" << "#USETHERM;?" << "1";
    QTest::newRow("USEHUMID") << "#USEHUMID;1" << "#USEHUMID;?" << "1";
    QTest::newRow("USESENSTAG") << "#USESENSTAG;1" << "#USESENSTAG;?" << "1";
    QTest::newRow("SMPLPERIOD") << "#SMPLPERIOD;300" << "#SMPLPERIOD;?" << "300";
    QTest::newRow("SMPLSTOAVG") << "#SMPLSTOAVG;7" << "#SMPLSTOAVG;?" << "7";
    QTest::newRow("HITOPT") << "#HITOPT;2" << "#HITOPT;?" << "2";
    QTest::newRow("LSHAPE") << "#LSHAPE;3" << "#LSHAPE;?" << "3";
    QTest::newRow("LSHAPE not a number reads 0") << "#LSHAPE;x" << "#LSHAPE;?" << "0";
    QTest::newRow("LTHRESH") << "#LTHRESH;1e-23" << "#LTHRESH;?" << "1e-23";
    QTest::newRow("LWINGSAT") << "#LWINGSAT;25" << "#LWINGSAT;?" << "25";
    QTest::newRow("LWINGABS") << "#LWINGABS;2.5" << "#LWINGABS;?" << "2.5";
    QTest::newRow("LBROAD") << "#LBROAD;1" << "#LBROAD;?" << "1";
    QTest::newRow("LSHIFTUSE") << "#LSHIFTUSE;0" << "#LSHIFTUSE;?" << "0";
    QTest::newRow("INSTRFUNCT") << "#INSTRFUNCT;4" << "#INSTRFUNCT;?" << "4";
    QTest::newRow("INSTRRES") << "#INSTRRES;0.5" << "#INSTRRES;?" << "0.5";
    QTest::newRow("INSTRWING") << "#INSTRWING;7" << "#INSTRWING;?" << "7";
    QTest::newRow("ATMMODEL") << "#ATMMODEL;2" << "#ATMMODEL;?" << "2";
    QTest::newRow("ALLCALC") << "#ALLCALC;0" << "#ALLCALC;?" << "0";
    QTest::newRow("PREC") << "#PREC;4" << "#PREC;?" << "4";
    QTest::newRow("YPARAM") << "#YPARAM;1" << "#YPARAM;?" << "1";
    QTest::newRow("YUNITS") << "#YUNITS;1" << "#YUNITS;?" << "1";
    QTest::newRow("TOTAL") << "#TOTAL;1" << "#TOTAL;?" << "1";
    QTest::newRow("MCONC") << "#MCONC;2;400" << "#MCONC;2;?" << "400";
    QTest::newRow("MSEL") << "#MSEL;3;0" << "#MSEL;3;?" << "0";
    QTest::newRow("FORMAT") << "#FORMAT;E" << "#FORMAT;?" << "E";
    QTest::newRow("DELIMITER") << "#DELIMITER;\t" << "#DELIMITER;?" << "\t";
}

void TestRemoteControl::setAndQuery()
{
    QFETCH(QString, set);
    QFETCH(QString, query);
    QFETCH(QString, expected);
    QSignalSpy updated(m_remote.get(), &RemoteControl::valuesUpdated);
    QCOMPARE(send(set), QStringList());
    QCOMPARE(updated.count(), 1);
    const QVariant stored = storedValue(set.section(QLatin1Char(';'), 0, 0).mid(1), set.section(QLatin1Char(';'), 1, 1).toInt());
    QVERIFY(stored.isValid());
    if (stored.type() == QVariant::String)
        QCOMPARE(stored.toString(), expected);
    else
        QCOMPARE(stored.toDouble(), expected.toDouble());
    QCOMPARE(send(query), QStringList{expected});
}

static QByteArray doubleBytes(double value)
{
    QByteArray bytes(8, Qt::Uninitialized);
    qToLittleEndian<double>(value, bytes.data());
    return bytes;
}

static QByteArray int32Bytes(qint32 value)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToLittleEndian<qint32>(value, bytes.data());
    return bytes;
}

void TestRemoteControl::everyBinaryCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("setting");      // the text command of the same value
    QTest::addColumn<QByteArray>("payload");   // empty: the code has no set form
    QTest::addColumn<double>("stored");
    QTest::addColumn<QByteArray>("reply");
    // Values whose little-endian bytes are all ASCII and hold no ';' or '#', so
    // that they cross the text channel unchanged: 260 is 0x4070400000000000,
    // 336 0x4075000000000000, 272 0x4071000000000000, 5.5 0x4016000000000000,
    // 2.5 0x4004..., 3 0x4008..., 12 0x4028..., 17 0x4031..., 400 0x4079...,
    // 2^-90 0x3A50000000000000; int32 336 is 50 01 00 00, 513 01 02 00 00.
    const QByteArray off(1, '\0');
    const QByteArray on(1, '\1');
    QTest::newRow("SWAV") << "SWAV" << "SWAVE" << doubleBytes(260.0) << 260.0 << doubleBytes(260.0);
    QTest::newRow("EWAV") << "EWAV" << "EWAVE" << int32Bytes(336) << 336.0 << doubleBytes(336.0);
    QTest::newRow("NWPO") << "NWPO" << "NUMWNPTS" << int32Bytes(513) << 513.0 << int32Bytes(513);
    QTest::newRow("PATH") << "PATH" << "PATH" << doubleBytes(5.5) << 5.5 << doubleBytes(5.5);
    QTest::newRow("TPRE") << "TPRE" << "TPRES" << doubleBytes(2.5) << 2.5 << doubleBytes(2.5);
    QTest::newRow("TEMP") << "TEMP" << "TEMP" << doubleBytes(272.0) << 272.0 << doubleBytes(272.0);
    QTest::newRow("UBSE") << "UBSE" << "USEBAROM" << on << 1.0 << on;
    QTest::newRow("UTSE") << "UTSE" << "USETHERM" << on << 1.0 << on;
    QTest::newRow("UHSE") << "UHSE" << "USEHUMID" << on << 1.0 << on;
    QTest::newRow("HDOP") << "HDOP" << "HITOPT" << QByteArray(1, '\2') << 2.0 << int32Bytes(2);
    QTest::newRow("LPRO") << "LPRO" << "LSHAPE" << QByteArray(1, '\3') << 3.0 << int32Bytes(3);
    QTest::newRow("LITH") << "LITH" << "LTHRESH" << doubleBytes(std::ldexp(1.0, -90)) << std::ldexp(1.0, -90)
                          << doubleBytes(std::ldexp(1.0, -90));
    QTest::newRow("LWCS") << "LWCS" << "LWINGSAT" << int32Bytes(48) << 48.0 << int32Bytes(48);
    QTest::newRow("LWCA") << "LWCA" << "LWINGABS" << doubleBytes(3.0) << 3.0 << doubleBytes(3.0);
    QTest::newRow("LBRO") << "LBRO" << "LBROAD" << on << 1.0 << int32Bytes(1);
    QTest::newRow("LSUS") << "LSUS" << "LSHIFTUSE" << off << 0.0 << off;
    QTest::newRow("IFTY") << "IFTY" << "INSTRFUNCT" << QByteArray(1, '\6') << 6.0 << int32Bytes(6);
    QTest::newRow("IRES") << "IRES" << "INSTRRES" << doubleBytes(12.0) << 12.0 << doubleBytes(12.0);
    QTest::newRow("IFWI") << "IFWI" << "INSTRWING" << doubleBytes(17.0) << 17.0 << doubleBytes(17.0);
    QTest::newRow("AAMO, query only") << "AAMO" << "ATMMODEL" << QByteArray() << 5.0 << int32Bytes(5);
    QTest::newRow("MCON, first molecule") << "MCON" << "MCONC" << doubleBytes(400.0) << 400.0 << doubleBytes(400.0);
    QTest::newRow("MSEL, first molecule") << "MSEL" << "MSEL" << int32Bytes(0) << 0.0 << off;
    QTest::newRow("CFAM") << "CFAM" << "ALLCALC" << off << 0.0 << off;
    QTest::newRow("GWGR: no effect, no bytes") << "GWGR" << "" << QByteArray("x") << 0.0 << QByteArray();
    QTest::newRow("DATA: no bytes") << "DATA" << "" << QByteArray() << 0.0 << QByteArray();
}

// Each code set through the command text and checked on the object it sets,
// then queried: the reply holds the value's own bytes.
void TestRemoteControl::everyBinaryCode()
{
    QFETCH(QString, code);
    QFETCH(QString, setting);
    QFETCH(QByteArray, payload);
    QFETCH(double, stored);
    QFETCH(QByteArray, reply);
    // Every value before the set differs from the one the row sends.
    m_xAxis->setMinWavenumber(250.0);
    m_params->setLineShiftUsage(1);
    m_params->setLineWingHalfwidths(50);
    m_params->setLineWingAbsolute(1.0);
    m_params->setCalcNotSelected(true);
    m_params->molecules()[0].selected = true;
    m_params->pathConditions().concentrations[0] = 1.0;
    m_instrument->setType(InstrumentFunction::Gaussian);
    m_instrument->setResolution(3.0);
    m_instrument->setWing(10.0);

    if (!payload.isEmpty()) {
        for (char byte : payload)
            QVERIFY(uchar(byte) < 0x80 && byte != ';' && byte != '#');
        QCOMPARE(send("#" + code + "_BIN;" + QString::fromLatin1(payload.constData(), payload.size())), QStringList());
    }
    if (!setting.isEmpty())
        QCOMPARE(storedValue(setting, 1).toDouble(), stored);
    QCOMPARE(send("#" + code + "_BIN;?"), QStringList{QString::fromLatin1(reply.constData(), reply.size())});
}

void TestRemoteControl::sensorSwitchesNeedASource()
{
    // Without a source a quantity cannot follow the sensors: the peer hears
    // why (in the sensor screen's words), and the query keeps saying 0.
    m_sensors->present = false;
    m_sensors->tagConnected = false;
    QCOMPARE(send("#USEBAROM;1#USEBAROM;?"),
             (QStringList{"USEBAROM : Parameter out of range. No barometer detected (manual value used).", "0"}));
    QCOMPARE(send("#USETHERM;1"),
             QStringList{"USETHERM : Parameter out of range. No thermometer found (manual value used)."});
    QCOMPARE(send("#UHSE_BIN;\x01#USEHUMID;?"),
             (QStringList{"UHSE_BIN : Parameter out of range. No humidity sensors (manual value used).", "0"}));
    QCOMPARE(send("#USESENSTAG;1#USESENSTAG;?"),
             (QStringList{"USESENSTAG : Parameter out of range. The SensorTag is not connected.", "0"}));
    // Switching off needs no source.
    QCOMPARE(send("#USEBAROM;0#USESENSTAG;0"), QStringList());
    m_sensors->present = true;
    QCOMPARE(send("#USEHUMID;1#USEHUMID;?"), QStringList{"1"});
    QCOMPARE(m_sensors->enabled[int(SensorSettings::Quantity::Humidity)], true);
}

void TestRemoteControl::binarySets()
{
    // The end of the range comes as int32, or as double when long enough.
    m_remote->applyBinarySetting(QStringLiteral("EWAV_BIN"), int32Bytes(2200), 0);
    QCOMPARE(m_xAxis->maxWavenumber(), 2200.0);
    m_remote->applyBinarySetting(QStringLiteral("EWAV_BIN"), doubleBytes(2210.5), 0);
    QCOMPARE(m_xAxis->maxWavenumber(), 2210.5);
    // Wavelength units turn the range round: the start shown is the wavelength
    // of the highest wavenumber.
    m_xAxis->setUnits(XAxis::WavelengthMicron);
    QCOMPARE(m_remote->queryBinaryValue(QStringLiteral("SWAV_BIN"), 0), doubleBytes(10000.0 / 2210.5));
    m_xAxis->setUnits(XAxis::FrequencyHz);
    QCOMPARE(m_remote->queryBinaryValue(QStringLiteral("SWAV_BIN"), 0), doubleBytes(2000.0 * 29979245800.0));
    // A payload of the wrong length is refused like any bad value, instead of
    // reading as 0 (a start of 0 cm-1 from one stray byte).
    const double start = m_xAxis->minWavenumber();
    QCOMPARE(send(QStringLiteral("#SWAV_BIN;x")),
             QStringList{"SWAV_BIN : Parameter out of range. The value must be 8 bytes long."});
    QCOMPARE(m_xAxis->minWavenumber(), start);
    const int wing = m_params->lineWingHalfwidths();
    m_remote->applyBinarySetting(QStringLiteral("LWCS_BIN"), QByteArray("\x07\x01", 2), 0);
    m_remote->applyBinarySetting(QStringLiteral("LWCS_BIN"), QByteArray("\x07\x01\x00\x00\x00", 5), 0);
    QCOMPARE(m_params->lineWingHalfwidths(), wing);
    const QString wrongLength = QStringLiteral("LWCS_BIN : Parameter out of range. The value must be 4 bytes long.");
    QCOMPARE(m_transport->takeReplies(), (QStringList{wrongLength, wrongLength}));
    // Binary sets are checked like text ones.
    m_remote->applyBinarySetting(QStringLiteral("LPRO_BIN"), QByteArray(1, '\x09'), 0);
    QCOMPARE(m_params->lineShapeProfile(), 1);
    QCOMPARE(m_transport->takeReplies(), QStringList{"LPRO_BIN : Parameter out of range. Allowed values: 0 to 3."});
    m_remote->applyBinarySetting(QStringLiteral("PATH_BIN"), QByteArray("ab"), 0);
    QCOMPARE(m_params->pathConditions().pathLength, 1000.0);
    QCOMPARE(m_transport->takeReplies().size(), 1);
    // A payload byte that looks like a line end is a value like any other.
    QCOMPARE(send(QStringLiteral("#LWCS_BIN;\x0a\x0d\x00\x0a")), QStringList());
    QCOMPARE(m_params->lineWingHalfwidths(), 0x0a000d0a);
    // The binary CALC starts a calculation without waiting for it.
    QSignalSpy calculate(m_remote.get(), &RemoteControl::calculate);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(send("#CALC_BIN;x#PATH;?"), QStringList{"1000"});
    QCOMPARE(calculate.count(), 1);
    QVERIFY(timer.elapsed() < 5000);
}

// The RESULT commands read the results table, not the live settings; a total
// needs the total display, which the command switches on and waits for.
void TestRemoteControl::resultsComeFromTheTable()
{
    // Before any calculation there is nothing to answer with.
    const QString none = QStringLiteral(" : There is no result yet: no calculation has been performed.");
    QCOMPARE(send("#RESULT;NUMWNPTS#RESULT;TEMP" + spectrumQuery(QStringLiteral("CO2"))),
             (QStringList{"RESULT;NUMWNPTS" + none, "", "RESULT;TEMP" + none, "", spectrumErrorReply(none.mid(3)),
                          ""}));
    m_results->setCalculationConditions(280.0, 0.9, 12.5, {"H2O", "CO2"}, {7750.0, 412.5}, nullptr,
                                        XAxis(XAxis::Wavenumber, 2100.0, 2101.0, 3));
    m_results->addColumn({2100.0, 2100.5, 2101.0}, QStringLiteral("Wavenumber, cm-1"));
    m_results->addColumn({0.5, 0.25, 0.125}, QStringLiteral("CO2"));
    m_params->pathConditions().pathLength = 99.0;
    QCOMPARE(send("#RESULT;SWAVE#RESULT;EWAVE#RESULT;NUMWNPTS#RESULT;PATH#RESULT;TEMP#RESULT;TPRES#RESULT;MCONC;2"),
             (QStringList{"2100", "2101", "3", "12.5", "280", "0.9", "412.5"}));
    QCOMPARE(send("#DELIMITER;, #RESULT;WNGRID" + spectrumQuery(QStringLiteral("co2"))),
             (QStringList{"2100, 2100.5, 2101", "0.5, 0.25, 0.125"}));

    QSignalSpy shown(m_remote.get(), &RemoteControl::showTotalChanged);
    connect(m_remote.get(), &RemoteControl::showTotalChanged, this, [this](bool show) {
        // What the results model does when the display changes, then the redrawn plot.
        if (show)
            m_results->addColumn({1.0, 2.0, 3.0}, QStringLiteral("Total"));
        m_remote->setReady();
    });
    QCOMPARE(send(spectrumQuery(QStringLiteral("TOTAL"))), QStringList{"1, 2, 3"});
    QCOMPARE(shown.count(), 1);
    QVERIFY(m_yAxis->showTotal);
    // A molecule's spectrum switches the display back to the molecules.
    QCOMPARE(send(spectrumQuery(QStringLiteral("2"))), QStringList{"0.5, 0.25, 0.125"});
    QVERIFY(!m_yAxis->showTotal);
    QCOMPARE(shown.count(), 2);
    const QStringList missing = send(spectrumQuery(QStringLiteral("H2O")));
    QCOMPARE(missing.size(), 2);
    QVERIFY(missing.first().startsWith(QStringLiteral("H2O : The requested molecular spectrum")));
}

// Replies go to the transport of the communication mode, and text is run only
// while it is connected; the console gets every reply, whatever the mode.
void TestRemoteControl::repliesGoToTheTransportOfTheMode()
{
    FakeTransport serial;
    m_remote->setTransport(RemoteControl::SerialPortMode, &serial);
    QVERIFY(m_transport->enabled());
    QVERIFY(!serial.enabled());
    QCOMPARE(send("#PATH;?"), QStringList{"1000"});
    QCOMPARE(serial.takeReplies(), QStringList());

    m_remote->setCommunicationMode(RemoteControl::SerialPortMode);
    QVERIFY(!m_transport->enabled());
    QVERIFY(serial.enabled());
    serial.receive(QStringLiteral("#PATH;3#PATH;?"));
    QCOMPARE(serial.takeReplies(), QStringList{"3"});
    QCOMPARE(m_transport->takeReplies(), QStringList());

    // Without a connected peer nothing is run and nothing replied.
    serial.setConnected(false);
    QSignalSpy updated(m_remote.get(), &RemoteControl::valuesUpdated);
    serial.receive(QStringLiteral("#PATH;4"));
    QCOMPARE(updated.count(), 0);
    QCOMPARE(m_params->pathConditions().pathLength, 3.0);
    m_remote->setCommunicationMode(RemoteControl::NoCommunication);
    QVERIFY(!m_remote->isConnected());

    FakeTransport console;
    m_remote->setConsole(&console);
    QVERIFY(m_remote->isConnected());
    console.receive(QStringLiteral("#PATH;?"));
    QCOMPARE(console.takeReplies(), QStringList{"3"});
    m_remote->setCommunicationMode(RemoteControl::WebSocketMode);
    m_transport->receive(QStringLiteral("#TEMP;?"));
    QCOMPARE(console.takeReplies(), QStringList{"296"});
    QCOMPARE(m_transport->takeReplies(), QStringList{"296"});
    m_remote->setConsole(nullptr);
}

void TestRemoteControl::broadcastSendsSetCommands()
{
    m_remote->setBroadcastManualInput(false);
    m_remote->broadcastValue(QStringLiteral("PATH"), 0);
    QCOMPARE(m_transport->takeReplies(), QStringList());
    m_remote->setBroadcastManualInput(true);
    m_params->pathConditions().concentrations[1] = 415.0;
    m_remote->broadcastValue(QStringLiteral("PATH"), 0);
    m_remote->broadcastValue(QStringLiteral("MCONC"), 2);
    m_remote->broadcastValue(QStringLiteral("MSEL"), 3);
    m_remote->broadcastValue(QStringLiteral("RESULT;PATH"), 0);
    QCOMPARE(m_transport->takeReplies(), (QStringList{"#PATH;1000", "#MCONC;2;415", "#MSEL;3;1"}));
}

// The program's table is sound; the faults a new row could bring are found
// when a table is built, before any peer meets them.
void TestRemoteControl::tablesAreCheckedWhenBuilt()
{
    QCOMPARE(CommandTable::problems(CommandTable::rows()), QStringList());
    const auto getter = [](const CommandTargets &, int) { return 1.0; };
    const auto setter = [](CommandTargets &, int, double) {};
    Command sound;
    sound.name = "SOUND";
    sound.get = getter;
    sound.set = setter;
    Command twice = sound;
    Command noSetter;
    noSetter.name = "NOSET";
    noSetter.get = getter;
    Command askedOnly = noSetter;
    askedOnly.name = "ASKED";
    askedOnly.onlyAsked();
    Command textWithoutRule;
    textWithoutRule.name = "TEXT";
    textWithoutRule.readAs(Command::Kind::Text);
    textWithoutRule.getText = [](const CommandTargets &) { return QString(); };
    textWithoutRule.setText = [](CommandTargets &, const QString &) {};
    Command sameSetting = askedOnly;
    sameSetting.name = "OTHER";
    askedOnly.sets(Setting::PathLength);
    sameSetting.sets(Setting::PathLength);
    const QStringList found = CommandTable::problems({sound, twice, noSetter, askedOnly, textWithoutRule, sameSetting});
    QCOMPARE(found, (QStringList{QStringLiteral("SOUND: named twice"),
                                 QStringLiteral("NOSET: a value that can be set without a setter"),
                                 QStringLiteral("TEXT: a text that can be set without a setter and a rule"),
                                 QStringLiteral("OTHER: its setting is set by another command too")}));
}

void TestRemoteControl::receiveBufferIsBounded()
{
    const QString huge(RemoteControl::maxBufferLength + 1, QLatin1Char('x'));
    QCOMPARE(send(huge), QStringList{"The receive buffer is full; the message was dropped."});
    QVERIFY(m_remote->bufferedText().isEmpty());
    // Text that never forms a command is not kept.
    for (int i = 0; i < 100; ++i)
        m_transport->receive(QString(1000, QLatin1Char('y')) + QStringLiteral("#NOSUCH;1"));
    QVERIFY(m_remote->bufferedText().isEmpty());
    QCOMPARE(send("#SWAVE;?"), QStringList{"2000"});
}

// Thousands of random range commands: every end within 0-50000 cm-1 and every
// count of points within the limits is stored as sent, whatever came before;
// every other value is refused and changes nothing.
void TestRemoteControl::eachEndIsJudgedAlone()
{
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> wavenumber(-1000.0, 60000.0);
    std::uniform_int_distribution<int> points(-5, 1200000);
    const char *commands[] = {"SWAVE", "EWAVE", "NUMWNPTS"};
    for (int i = 0; i < 3000; ++i) {
        const int which = int(random() % 3);
        const QString command = QLatin1String(commands[which]);
        const QString before = send(QStringLiteral("#%1;?").arg(command)).value(0);
        const double value = which == 2 ? double(points(random)) : std::round(wavenumber(random) * 100.0) / 100.0;
        const QStringList replies = send(QStringLiteral("#%1;%2").arg(command).arg(value, 0, 'f', 2));
        const QString after = send(QStringLiteral("#%1;?").arg(command)).value(0);
        const bool storable = which == 2 ? value >= 2 && value <= 1000000 : value >= 0.0 && value <= 50000.0;
        if (storable) {
            QVERIFY2(replies.isEmpty(), qPrintable(command + QLatin1Char(' ') + replies.join(QLatin1Char('|'))));
            QCOMPARE(after.toDouble(), value);
        } else {
            QCOMPARE(replies.size(), 1);
            QVERIFY(replies.first().startsWith(command + QStringLiteral(" : Parameter out of range. ")));
            QCOMPARE(after, before);
        }
    }
    QCOMPARE(send("#SWAVE;2000#SWAVE;?"), QStringList{"2000"});
    QCOMPARE(send("#EWAVE;0#EWAVE;?"), QStringList{"0"});
}

// Nothing redraws here and no READY comes: the waits still end, and text
// received during a wait runs after it, in order, while the event loop goes
// on. A query about a setting from a peer with nothing waiting is answered at
// once; what a peer that leaves had waiting is never run; no peer has more
// than a bounded number of commands waiting.
void TestRemoteControl::waitsEndWithoutRedrawAndKeepOrder()
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

QTEST_GUILESS_MAIN(TestRemoteControl)
#include "tst_remotecontrol.moc"
