#include "app/kolvexcore.h"
#include "calc/instrumentfunction.h"
#include "core/atmospheremodelset.h"
#include "core/calculationresults.h"
#include "core/params.h"
#include "core/sensorsettings.h"
#include "core/spectraset.h"
#include "download/hitranonlinedownloader.h"
#include "offlinesettings.h"
#include "remote/remotecontrol.h"
#include "spectrumqueries.h"
#include "ui/spectraresultsqml.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>

// The command protocol against a real core: framing, every setting and its
// query, the error replies, reply formats, the binary forms and the RESULT
// commands after a calculation on the shipped HITRAN sample lines.
class TestRemoteControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void framing_data();
    void framing();
    void setAndQuery_data();
    void setAndQuery();
    void errorReplies_data();
    void errorReplies();
    void formatAndPrecision();
    void binaryQueries_data();
    void binaryQueries();
    void everyBinaryCode_data();
    void everyBinaryCode();
    void binarySets();
    void binaryCalcReturnsAtOnce();
    void broadcastSendsSetCommands();
    void noRepliesWithoutConnection();
    void receiveBufferIsBounded();
    void calcWaitsAndResultsFollow();
    void calcThatCannotStartDoesNotWait();
    void rangeEndsInEitherOrder();
    void eachEndIsJudgedAlone();
    void waitsEndWithoutRedrawAndKeepOrder();

private:
    QStringList send(const QString &message);
    QVariant storedValue(const QString &command, int index);

    QTemporaryDir m_folder;
    KolvexCore *m_core = nullptr;
    SpectraResultsQml *m_results = nullptr;
    RemoteControl *m_remote = nullptr;
    QStringList m_replies;
};

void TestRemoteControl::initTestCase()
{
    QVERIFY(m_folder.isValid());
    m_core = new KolvexCore(offlineSettings(m_folder.path()));
    QTRY_VERIFY_WITH_TIMEOUT(m_core->tipsLoaded(), 30000);
    m_results = new SpectraResultsQml(nullptr, m_core);
    // Nothing draws in this test: the assembled curves count as the redrawn plot.
    connect(m_core, &KolvexCore::updateSpectra, m_core, [this] { m_core->updatePlotInProgress(false); });
    m_remote = m_core->remoteControl();
    m_remote->setConsoleOutput([this](const QString &reply) { m_replies.append(reply); });
}

void TestRemoteControl::cleanupTestCase()
{
    delete m_results;
    delete m_core;
}

void TestRemoteControl::init()
{
    XAxis *axis = m_core->xAxis();
    axis->setUnits(XAxis::Wavenumber);
    axis->setMinWavenumber(2000.0);
    axis->setMaxWavenumber(2300.0);
    axis->setNumPoints(1001);
    Params *params = m_core->params();
    params->setReplyFormat('g');
    params->setReplyPrecision(8);
    params->setReplySeparator(QStringLiteral(";"));
    params->pathConditions().pathLength = 1000.0;
    params->pathConditions().temperature = 296.0;
    params->pathConditions().totalPressure = 1.0;
    params->setLineShapeProfile(1);
    params->setBroadeningType(2);
    params->setIntensityThreshold(1e-25);
    params->setCalcNotSelected(true);
    m_core->downloader()->setUsage(0);
    m_core->atmosphereModels()->setCurrentIndex(5);
    m_core->yAxis()->showTotal = false;
    m_core->yAxis()->displayedValue = YAxisSettings::AbsorptionQuantities;
    m_core->yAxis()->yUnits = YAxisSettings::Absorption;
    m_replies.clear();
}

QStringList TestRemoteControl::send(const QString &message)
{
    m_replies.clear();
    m_remote->bufferAndProcessCommands(message);
    return m_replies;
}

// A setting read straight from the object that holds it, not through the
// command processor, so that a command writing and reading the same wrong
// field fails.
QVariant TestRemoteControl::storedValue(const QString &command, int index)
{
    Params *p = m_core->params();
    const PathConditions &c = p->pathConditions();
    const SensorSettings *sensors = m_remote->sensorSettings();
    const InstrumentFunction *f = m_core->instrumentFunction();
    const YAxisSettings *y = m_core->yAxis();
    const std::size_t molecule = std::size_t(qBound(1, index, p->moleculeCount()) - 1);
    const QHash<QString, QVariant> values = {
        {"SWAVE", m_core->xAxis()->minWavenumber()}, {"EWAVE", m_core->xAxis()->maxWavenumber()},
        {"NUMWNPTS", m_core->xAxis()->numPoints()}, {"PATH", c.pathLength}, {"TPRES", c.totalPressure},
        {"TEMP", c.temperature}, {"USEBAROM", sensors->useBarometer}, {"USETHERM", sensors->useThermometer},
        {"USEHUMID", sensors->useHygrometer}, {"USESENSTAG", sensors->useSensorTag},
        {"SMPLPERIOD", sensors->samplingPeriod}, {"SMPLSTOAVG", sensors->samplesToAverage},
        {"HITOPT", m_core->downloader()->usage()}, {"LSHAPE", p->lineShapeProfile()},
        {"LTHRESH", p->intensityThreshold()}, {"LWINGSAT", p->lineWingHalfwidths()},
        {"LWINGABS", p->lineWingAbsolute()}, {"LBROAD", p->broadeningType()}, {"LSHIFTUSE", p->lineShiftUsage()},
        {"INSTRFUNCT", f->type()}, {"INSTRRES", f->resolution()}, {"INSTRWING", f->wing()},
        {"ATMMODEL", m_core->atmosphereModels()->currentIndex()}, {"ALLCALC", p->calcNotSelected()},
        {"PREC", p->replyPrecision()}, {"YPARAM", y->displayedValue}, {"YUNITS", y->yUnits},
        {"MCONC", c.concentrations.at(molecule)}, {"MSEL", p->molecule(int(molecule)).selected},
        {"FORMAT", QString(QLatin1Char(p->replyFormat()))}, {"DELIMITER", p->replySeparator()}};
    return values.value(command);
}

void TestRemoteControl::framing_data()
{
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("replies");
    QTest::newRow("set then query") << QStringList{"#SWAVE;2100", "#SWAVE;?"} << QStringList{"2100"};
    QTest::newRow("two commands in one message")
        << QStringList{"#SWAVE;1000#EWAVE;3000", "#SWAVE;?#EWAVE;?"} << QStringList{"1000", "3000"};
    QTest::newRow("text before the first # never runs")
        << QStringList{"EWAVE;9#SWAVE;?"} << QStringList{"2000"};
    QTest::newRow("text without # is dropped") << QStringList{"SWAVE;?", "#EWAVE;?"} << QStringList{"2300"};
    QTest::newRow("split command runs cut short")
        << QStringList{"#SWAVE;21", "50", "#SWAVE;?"} << QStringList{"21"};
    QTest::newRow("names ignore case") << QStringList{"#swave;?"} << QStringList{"2000"};
    QTest::newRow("empty fields are skipped") << QStringList{"#SWAVE;;?"} << QStringList{"2000"};
    QTest::newRow("line end after the query mark") << QStringList{"#SWAVE;?\r\n"} << QStringList{"2000"};
    QTest::newRow("delimiter query with a line end") << QStringList{"#DELIMITER;?\n"} << QStringList{";"};
    QTest::newRow("delimiter keeps its semicolons")
        << QStringList{"#DELIMITER;,;", "#DELIMITER;?"} << QStringList{",;"};
    QTest::newRow("unknown query answers empty") << QStringList{"#NOSUCH;?"} << QStringList{""};
    QTest::newRow("unknown set answers nothing") << QStringList{"#NOSUCH;1"} << QStringList{};
    QTest::newRow("molecule by formula") << QStringList{"#MCONC;CO2;412.5", "#MCONC;2;?"} << QStringList{"412.5"};
    QTest::newRow("formula with lower-case letters")
        << QStringList{"#MCONC;hocl;0.25", "#MCONC;HOCL;?"} << QStringList{"0.25"};
}

void TestRemoteControl::framing()
{
    QFETCH(QStringList, messages);
    QFETCH(QStringList, replies);
    m_replies.clear();
    for (const QString &message : messages)
        m_remote->bufferAndProcessCommands(message);
    QCOMPARE(m_replies, replies);
    QVERIFY(m_remote->bufferedText().isEmpty());
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
    QSignalSpy updated(m_remote, &RemoteControl::valuesUpdated);
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

void TestRemoteControl::errorReplies_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("state");   // a query whose answer must not change
    QTest::addColumn<QStringList>("replies");
    const QString range = QStringLiteral(" : Parameter out of range. ");
    QTest::newRow("FORMAT") << "#FORMAT;x" << "#FORMAT;?"
                            << QStringList{"FORMAT : Parameter out of range. Allowed values:  e, E, f, g, G."};
    QTest::newRow("LSHAPE 4") << "#LSHAPE;4" << "#LSHAPE;?" << QStringList{"LSHAPE" + range + "Allowed values: 0 to 3."};
    QTest::newRow("LSHAPE 260") << "#LSHAPE;260" << "#LSHAPE;?"
                                << QStringList{"LSHAPE" + range + "Allowed values: 0 to 3."};
    QTest::newRow("LSHAPE 257 is not profile 1")
        << "#LSHAPE;257" << "#LSHAPE;?" << QStringList{"LSHAPE" + range + "Allowed values: 0 to 3."};
    QTest::newRow("HITOPT") << "#HITOPT;3" << "#HITOPT;?" << QStringList{"HITOPT" + range + "Allowed values: 0 to 2."};
    QTest::newRow("LBROAD") << "#LBROAD;3" << "#LBROAD;?" << QStringList{"LBROAD" + range + "Allowed values: 0 to 2."};
    QTest::newRow("INSTRFUNCT") << "#INSTRFUNCT;8" << "#INSTRFUNCT;?"
                                << QStringList{"INSTRFUNCT" + range + "Allowed values: 0 to 7."};
    QTest::newRow("ATMMODEL") << "#ATMMODEL;6" << "#ATMMODEL;?" << QStringList{"ATMMODEL" + range + "Allowed values: 0 to 5."};
    QTest::newRow("YPARAM") << "#YPARAM;2" << "#YPARAM;?" << QStringList{"YPARAM" + range + "Allowed values: 0 and 1."};
    QTest::newRow("YUNITS") << "#YUNITS;4" << "#YUNITS;?" << QStringList{"YUNITS" + range + "Allowed values: 0 to 3."};
    QTest::newRow("negative PATH") << "#PATH;-5" << "#PATH;?"
                                   << QStringList{"PATH" + range + "Parameter values have to be >= 0."};
    QTest::newRow("zero PATH") << "#PATH;0" << "#PATH;?"
                               << QStringList{"PATH" + range + "The path length must be a positive number."};
    QTest::newRow("zero TPRES") << "#TPRES;0" << "#TPRES;?"
                                << QStringList{"TPRES" + range + "The total pressure must be a positive number."};
    QTest::newRow("TEMP beyond the partition sums") << "#TEMP;9000" << "#TEMP;?"
                                                    << QStringList{"TEMP" + range + "The temperature 9000 K"};
    QTest::newRow("EWAVE beyond 50000") << "#EWAVE;60000" << "#EWAVE;?"
                                        << QStringList{"EWAVE" + range + "The spectral range must lie within 0 to 50000 cm-1."};
    QTest::newRow("negative SWAVE") << "#SWAVE;-0.5" << "#SWAVE;?"
                                    << QStringList{"SWAVE" + range + "Parameter values have to be >= 0."};
    QTest::newRow("SWAVE not finite") << "#SWAVE;inf" << "#SWAVE;?"
                                      << QStringList{"SWAVE" + range + "The value must be a finite number."};
    QTest::newRow("one grid point") << "#NUMWNPTS;1" << "#NUMWNPTS;?"
                                    << QStringList{"NUMWNPTS" + range + "The number of points must be from 2 to 1000000."};
    QTest::newRow("too many grid points") << "#NUMWNPTS;99999999999" << "#NUMWNPTS;?"
                                          << QStringList{"NUMWNPTS" + range + "The number of points must be from 2 to 1000000."};
    QTest::newRow("infinite threshold") << "#LTHRESH;inf" << "#LTHRESH;?"
                                        << QStringList{"LTHRESH" + range + "The value must be a finite number."};
    QTest::newRow("molecule 0") << "#MCONC;0;10" << "#MCONC;1;?"
                                << QStringList{"MCONC" + range + "The molecule index has to be >= 1."};
    QTest::newRow("molecule beyond the list") << "#MSEL;500;0" << "#MSEL;1;?"
                                              << QStringList{"MSEL" + range + "The molecule index has to be <= "};
    QTest::newRow("unknown molecule") << "#MCONC;XYZ;10" << "#MCONC;1;?"
                                      << QStringList{"MCONC" + range + "The molecule index has to be >= 1."};
    QTest::newRow("negative concentration") << "#MCONC;2;-1" << "#MCONC;2;?"
                                            << QStringList{"MCONC" + range + "A concentration must be zero or a positive number."};
    QTest::newRow("empty delimiter") << "#DELIMITER" << "#DELIMITER;?"
                                     << QStringList{"DELIMITER" + range + "The delimiter must not be empty."};
    QTest::newRow("zero sampling period") << "#SMPLPERIOD;0" << "#SMPLPERIOD;?"
                                          << QStringList{"SMPLPERIOD" + range + "Allowed values: 1 and above."};
    QTest::newRow("spectrum of an unknown name")
        << spectrumQuery(QStringLiteral("XYZ")) << "#PATH;?"
        << QStringList{spectrumErrorReply(QStringLiteral("String parameter unknown. Allowed values: TOTAL, INSTR or "
                                                         "the molecule chemical formula.")),
                       QString()};
    QTest::newRow("spectrum index -2") << spectrumQuery(QStringLiteral("-2")) << "#PATH;?"
                                       << QStringList{spectrumErrorReply(QStringLiteral("Index out of range. Allowed values: -1 to ")),
                                                      QString()};
    QTest::newRow("molecule query beyond the list") << "#MCONC;77;?" << "#PATH;?"
                                                    << QStringList{QStringLiteral("MCONC : Index out of range. Allowed values: 1 to "), QString()};
}

void TestRemoteControl::errorReplies()
{
    QFETCH(QString, message);
    QFETCH(QString, state);
    QFETCH(QStringList, replies);
    const QStringList before = send(state);
    const QStringList got = send(message);
    QCOMPARE(got.size(), replies.size());
    for (int i = 0; i < replies.size(); ++i)
        QVERIFY2(got.at(i).startsWith(replies.at(i)), qPrintable(got.join(QLatin1Char('|'))));
    // A complete message ends where the expected text ends, or in the count of
    // molecules where the expectation stops short.
    for (int i = 0; i < replies.size(); ++i) {
        if (!replies.at(i).endsWith(QLatin1Char(' ')) && !replies.at(i).endsWith(QLatin1String(" K")))
            QCOMPARE(got.at(i), replies.at(i));
    }
    QCOMPARE(send(state), before);
}

void TestRemoteControl::formatAndPrecision()
{
    m_core->params()->pathConditions().totalPressure = 0.123456789;
    QCOMPARE(send("#TPRES;?"), QStringList{"0.12345679"});
    QCOMPARE(send("#FORMAT;f#PREC;2#SWAVE;?#TPRES;?"), (QStringList{"2000.00", "0.12"}));
    QCOMPARE(send("#FORMAT;e#PREC;3#SWAVE;?"), QStringList{"2.000e+03"});
    QCOMPARE(send("#FORMAT;G#PREC;300"), QStringList{"PREC : Parameter out of range. Allowed values: 0 to 255."});
    QCOMPARE(send("#PREC;?#FORMAT;?"), (QStringList{"3", "G"}));
    // Integers keep their plain form whatever the format.
    QCOMPARE(send("#NUMWNPTS;?#LSHAPE;?"), (QStringList{"1001", "1"}));
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

void TestRemoteControl::binaryQueries_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("start in cm-1") << int(XAxis::Wavenumber) << "SWAV_BIN" << doubleBytes(2000.0);
    QTest::newRow("end in cm-1") << int(XAxis::Wavenumber) << "EWAV_BIN" << doubleBytes(2300.0);
    QTest::newRow("start in micron is the end") << int(XAxis::WavelengthMicron) << "SWAV_BIN" << doubleBytes(10000.0 / 2300.0);
    QTest::newRow("end in micron is the start") << int(XAxis::WavelengthMicron) << "EWAV_BIN" << doubleBytes(10000.0 / 2000.0);
    QTest::newRow("start in nm") << int(XAxis::WavelengthNm) << "SWAV_BIN" << doubleBytes(1e7 / 2300.0);
    QTest::newRow("start in Hz") << int(XAxis::FrequencyHz) << "SWAV_BIN" << doubleBytes(2000.0 * 29979245800.0);
    QTest::newRow("unknown code") << int(XAxis::Wavenumber) << "XXXX_BIN" << QByteArray();
}

void TestRemoteControl::binaryQueries()
{
    QFETCH(int, unit);
    QFETCH(QString, name);
    QFETCH(QByteArray, expected);
    m_core->xAxis()->setUnits(quint8(unit));
    QCOMPARE(m_remote->queryBinaryValue(name, 0), expected);
    // On the text channel the bytes travel as far as they survive as UTF-8.
    QCOMPARE(send("#" + name + ";?"), QStringList{QString::fromUtf8(expected.constData(), expected.size())});
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
    Params *params = m_core->params();
    m_core->xAxis()->setMinWavenumber(250.0);
    *m_remote->sensorSettings() = SensorSettings();
    params->setLineShiftUsage(1);
    params->setLineWingHalfwidths(50);
    params->setLineWingAbsolute(1.0);
    params->molecules()[0].selected = true;
    params->pathConditions().concentrations[0] = 1.0;
    m_core->instrumentFunction()->setType(InstrumentFunction::Gaussian);
    m_core->instrumentFunction()->setResolution(3.0);
    m_core->instrumentFunction()->setWing(10.0);

    if (!payload.isEmpty()) {
        for (char byte : payload)
            QVERIFY(uchar(byte) < 0x80 && byte != ';' && byte != '#');
        QCOMPARE(send("#" + code + "_BIN;" + QString::fromLatin1(payload.constData(), payload.size())), QStringList());
    }
    if (!setting.isEmpty())
        QCOMPARE(storedValue(setting, 1).toDouble(), stored);
    QCOMPARE(send("#" + code + "_BIN;?"), QStringList{QString::fromLatin1(reply.constData(), reply.size())});
}

void TestRemoteControl::binarySets()
{
    Params *params = m_core->params();
    // The end of the range comes as int32, or as double when long enough.
    m_remote->applyBinarySetting(QStringLiteral("EWAV_BIN"), int32Bytes(2200), 0);
    QCOMPARE(m_core->xAxis()->maxWavenumber(), 2200.0);
    m_remote->applyBinarySetting(QStringLiteral("EWAV_BIN"), doubleBytes(2210.5), 0);
    QCOMPARE(m_core->xAxis()->maxWavenumber(), 2210.5);
    // A payload shorter than its type reads as 0.
    m_remote->applyBinarySetting(QStringLiteral("LWCS_BIN"), QByteArray("\x07\x01", 2), 0);
    QCOMPARE(params->lineWingHalfwidths(), 0);
    // Binary sets are checked like text ones.
    m_replies.clear();
    m_remote->applyBinarySetting(QStringLiteral("LPRO_BIN"), QByteArray(1, '\x09'), 0);
    QCOMPARE(params->lineShapeProfile(), 1);
    QCOMPARE(m_replies, QStringList{"LPRO_BIN : Parameter out of range. Allowed values: 0 to 3."});
    m_replies.clear();
    m_remote->applyBinarySetting(QStringLiteral("PATH_BIN"), QByteArray("ab"), 0);
    QCOMPARE(params->pathConditions().pathLength, 1000.0);
    QCOMPARE(m_replies.size(), 1);
    // A payload byte that looks like a line end is a value like any other.
    QCOMPARE(send(QStringLiteral("#LWCS_BIN;\x0a\x0d\x00\x0a")), QStringList());
    QCOMPARE(params->lineWingHalfwidths(), 0x0a000d0a);
}

// CALC_BIN starts a calculation and returns at once: the query behind it is
// answered before the calculation ends with READY.
void TestRemoteControl::binaryCalcReturnsAtOnce()
{
    QCOMPARE(send("#CALC_BIN;x#PATH;?"), QStringList{"1000"});
    QVERIFY(m_core->calculationIsRunning());
    QTRY_VERIFY_WITH_TIMEOUT(m_replies.contains(QStringLiteral("READY")), 60000);
    QTRY_VERIFY(!m_core->calculationIsRunning() && !m_remote->busy());
    QCOMPARE(send("#CALC_BIN;?"), QStringList{QString()});
    QVERIFY(!m_core->calculationIsRunning());
}

void TestRemoteControl::broadcastSendsSetCommands()
{
    m_remote->setBroadcastManualInput(false);
    m_remote->broadcastValue(QStringLiteral("PATH"), 0);
    QCOMPARE(m_replies, QStringList());
    m_remote->setBroadcastManualInput(true);
    m_core->params()->pathConditions().concentrations[1] = 415.0;
    m_remote->broadcastValue(QStringLiteral("PATH"), 0);
    m_remote->broadcastValue(QStringLiteral("MCONC"), 2);
    m_remote->broadcastValue(QStringLiteral("RESULT;PATH"), 0);
    m_remote->setBroadcastManualInput(false);
    QCOMPARE(m_replies, (QStringList{"#PATH;1000", "#MCONC;2;415"}));
}

void TestRemoteControl::noRepliesWithoutConnection()
{
    RemoteControl remote(nullptr, 0);
    remote.setParams(m_core->params());
    QSignalSpy updated(&remote, &RemoteControl::valuesUpdated);
    remote.bufferAndProcessCommands(QStringLiteral("#PATH;3"));
    QCOMPARE(updated.count(), 0);
    QCOMPARE(m_core->params()->pathConditions().pathLength, 1000.0);
    QVERIFY(!remote.isConnected());
}

void TestRemoteControl::receiveBufferIsBounded()
{
    const QString huge(RemoteControl::maxBufferLength + 1, QLatin1Char('x'));
    QCOMPARE(send(huge), QStringList{"The receive buffer is full; the message was dropped."});
    QVERIFY(m_remote->bufferedText().isEmpty());
    // Text that never forms a command is not kept.
    for (int i = 0; i < 100; ++i)
        m_remote->bufferAndProcessCommands(QString(1000, QLatin1Char('y')) + QStringLiteral("#NOSUCH;1"));
    QVERIFY(m_remote->bufferedText().isEmpty());
    QCOMPARE(send("#SWAVE;?"), QStringList{"2000"});
}

void TestRemoteControl::calcWaitsAndResultsFollow()
{
    QCOMPARE(send("#SWAVE;2100#EWAVE;2300#NUMWNPTS;501#PATH;1000#TEMP;280#TPRES;0.9#MCONC;5;0.25#YUNITS;1"
                  "#INSTRFUNCT;3"),
             QStringList());
    // The calculation, READY and a result in one message, in this order.
    QCOMPARE(send("#CALC#RESULT;NUMWNPTS"), (QStringList{"READY", "501"}));
    QVERIFY(!m_core->calculationIsRunning());
    // The results report the calculation's conditions, not the live settings.
    QCOMPARE(send("#SWAVE;2150#EWAVE;2250#NUMWNPTS;301#PATH;7#TEMP;250#TPRES;0.5#MCONC;5;9"), QStringList());
    QCOMPARE(send("#RESULT;NUMWNPTS#RESULT;SWAVE#RESULT;EWAVE#RESULT;PATH#RESULT;TEMP#RESULT;TPRES#RESULT;MCONC;5"),
             (QStringList{"501", "2100", "2300", "1000", "280", "0.9", "0.25"}));

    const QStringList grid = send("#RESULT;WNGRID").value(0).split(QLatin1Char(';'));
    QCOMPARE(grid.size(), 501);
    QCOMPARE(grid.first(), QStringLiteral("2100"));
    QCOMPARE(grid.at(250), QStringLiteral("2200"));

    // CO's spectrum is CO's optical depth, not CO2's, which follows it in the table.
    const QStringList co = send(spectrumQuery(QStringLiteral("CO"))).value(0).split(QLatin1Char(';'));
    QCOMPARE(co.size(), 501);
    const MoleculeSpectra &coSpectra = m_core->spectra()->molecules[4];
    double largest = 0.0;
    for (int i = 0; i < 501; ++i) {
        const double tau = coSpectra.opticalDepth(std::size_t(i));
        QCOMPARE(co.at(i).toDouble(), QString::number(tau, 'g', 8).toDouble());
        largest = std::max(largest, tau);
    }
    QVERIFY(largest > 1e-6);
    const QStringList co2 = send(spectrumQuery(QStringLiteral("2"))).value(0).split(QLatin1Char(';'));
    QCOMPARE(co2.size(), 501);
    QVERIFY(co2 != co);

    // The total needs the total display: the command switches it on and waits.
    QCOMPARE(send("#TOTAL;?"), QStringList{"0"});
    const QStringList total = send(spectrumQuery(QStringLiteral("TOTAL"))).value(0).split(QLatin1Char(';'));
    QCOMPARE(total.size(), 501);
    QCOMPARE(send("#TOTAL;?"), QStringList{"1"});
    const SpectrumValues &totalTau = m_core->spectra()->opticalDepthTotal.values;
    QCOMPARE(total.at(100).toDouble(), QString::number(totalTau[100], 'g', 8).toDouble());
    const QStringList instr = send(spectrumQuery(QStringLiteral("INSTR"))).value(0).split(QLatin1Char(';'));
    QCOMPARE(instr.size(), 501);
    QVERIFY(instr != total);
    // Back to a molecule: the display returns to molecules.
    QCOMPARE(send(spectrumQuery(QStringLiteral("CO"))).value(0).split(QLatin1Char(';')), co);
    QCOMPARE(send("#TOTAL;?"), QStringList{"0"});

    // The cross-section total is found under its own title.
    send("#YUNITS;0");
    const QStringList xsect = send(spectrumQuery(QStringLiteral("0")));
    QCOMPARE(xsect.size(), 1);
    QCOMPARE(xsect.first().split(QLatin1Char(';')).size(), 501);
    // A molecule that was not calculated has no column.
    send("#TOTAL;0#YUNITS;1");
    const QStringList missing = send(spectrumQuery(QStringLiteral("HOCL")));
    QCOMPARE(missing.size(), 2);
    QVERIFY(missing.first().startsWith(QStringLiteral("HOCl : The requested molecular spectrum")));
    QCOMPARE(missing.last(), QString());
}

// A range that cannot be calculated is explained by CALC with both of its
// ends; no calculation starts, and the last results, their grid and the
// engine's spectra stay as they were.
void TestRemoteControl::calcThatCannotStartDoesNotWait()
{
    QCOMPARE(send("#SWAVE;2100#EWAVE;2150#NUMWNPTS;201#CALC#RESULT;SWAVE#RESULT;EWAVE"),
             (QStringList{"READY", "2100", "2150"}));
    const SpectrumValues grid = m_core->xAxis()->grid();
    const SpectrumValues co = m_core->spectra()->molecules[4].crossSection.values;
    const QString gridText = send("#RESULT;WNGRID").value(0);
    QVERIFY(*std::max_element(co.begin(), co.end()) > 0.0);

    m_core->xAxis()->setMaxWavenumber(1000.0);   // below the start: no grid
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(send("#CALC"),
             QStringList{"CALC : The spectral range from 2100 to 1000 cm-1 cannot be calculated: its end must be "
                         "above its start."});
    QVERIFY(timer.elapsed() < 2000);
    QVERIFY(!m_core->calculationIsRunning());
    QCOMPARE(send("#EWAVE;2100#CALC").value(0),
             QStringLiteral("CALC : The spectral range from 2100 to 2100 cm-1 cannot be calculated: its end must "
                            "be above its start."));
    QCOMPARE(send("#EWAVE;3000#NUMWNPTS;1#NUMWNPTS;?").value(1), QStringLiteral("201"));

    QVERIFY(m_core->xAxis()->grid() == grid);
    QVERIFY(m_core->spectra()->molecules[4].crossSection.values == co);
    QCOMPARE(send("#RESULT;SWAVE#RESULT;EWAVE#RESULT;NUMWNPTS"), (QStringList{"2100", "2150", "201"}));
    QCOMPARE(send("#RESULT;WNGRID").value(0), gridText);
}

// The natural script: a start above the old end, then the end, then CALC
// calculates exactly the range sent.
void TestRemoteControl::rangeEndsInEitherOrder()
{
    QCOMPARE(send("#NUMWNPTS;201"), QStringList());
    QCOMPARE(send("#SWAVE;2380"), QStringList());
    QCOMPARE(send("#EWAVE;2400"), QStringList());
    QCOMPARE(send("#CALC"), QStringList{"READY"});
    QCOMPARE(send("#RESULT;SWAVE#RESULT;EWAVE"), (QStringList{"2380", "2400"}));
    QCOMPARE(m_core->xAxis()->grid().front(), 2380.0);
    QCOMPARE(m_core->xAxis()->grid().back(), 2400.0);
    // And the other way round: an end below the old start first.
    QCOMPARE(send("#EWAVE;2050#SWAVE;2010#CALC#RESULT;SWAVE#RESULT;EWAVE"), (QStringList{"READY", "2010", "2050"}));
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
// received during a wait runs after it, in order.
void TestRemoteControl::waitsEndWithoutRedrawAndKeepOrder()
{
    RemoteControl remote(nullptr, 0);
    YAxisSettings axis;
    remote.setYAxis(&axis);
    QStringList replies;
    remote.setConsoleOutput([&replies](const QString &reply) { replies.append(reply); });
    remote.setReadyGrace(100);
    QSignalSpy shown(&remote, &RemoteControl::showTotalChanged);
    QElapsedTimer timer;
    timer.start();
    remote.bufferAndProcessCommands(QStringLiteral("#TOTAL;1#TOTAL;?"));
    QVERIFY(timer.elapsed() >= 100);
    QVERIFY(timer.elapsed() < 5000);
    QCOMPARE(replies, QStringList{"1"});
    QCOMPARE(shown.count(), 1);

    bool running = false;
    remote.setCalculationProbe([&running] { return running; });
    connect(&remote, &RemoteControl::calculate, this, [&running] {
        running = true;
        QTimer::singleShot(300, [&running] { running = false; });
    });
    bool queuedDuringWait = false;
    QTimer::singleShot(50, this, [&] {
        queuedDuringWait = remote.waiting();
        remote.bufferAndProcessCommands(QStringLiteral("#TOTAL;0#TOTAL;?"));
        queuedDuringWait = queuedDuringWait && replies.isEmpty();
    });
    replies.clear();
    timer.restart();
    remote.bufferAndProcessCommands(QStringLiteral("#CALC#TOTAL;?"));
    QVERIFY(timer.elapsed() >= 300);
    QVERIFY(timer.elapsed() < 5000);
    QVERIFY(queuedDuringWait);
    QCOMPARE(replies, (QStringList{"1", "0"}));
    QVERIFY(!remote.busy());
}

QTEST_GUILESS_MAIN(TestRemoteControl)
#include "tst_remotecontrol.moc"
