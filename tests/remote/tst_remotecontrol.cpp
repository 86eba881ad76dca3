#include "calc/instrumentfunction.h"
#include "core/atmospheremodelset.h"
#include "core/params.h"
#include "core/sensorsettings.h"
#include "core/xaxis.h"
#include "core/yaxissettings.h"
#include "download/hitranonlinedownloader.h"
#include "remote/commandtable.h"
#include "remote/remotecontrol.h"
#include "remotecontrolundertest.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <memory>
#include <random>

// The command processor on plain objects and a fake transport: each command
// sets the object it names and queries it back, binary payloads of other
// lengths and in other units, sensor switches need a source, each end of the
// range is judged alone, and the command table is checked when it is built.
// Where the replies go and how waits end is tested in tst_remotereplies. Every
// reply text and byte, each binary code set and queried among them, is held
// against the recording of the protocol (tst_protocolrecording); calculations
// through the protocol are tested with a core (tst_remotecalculation).
class TestRemoteControl : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void setAndQuery_data();
    void setAndQuery();
    void binarySets();
    void sensorSwitchesNeedASource();
    void tablesAreCheckedWhenBuilt();
    void eachEndIsJudgedAlone();

private:
    QVariant storedValue(const QString &command, int index);

    std::unique_ptr<RemoteControlUnderTest> m_t;
};

void TestRemoteControl::init()
{
    m_t = std::make_unique<RemoteControlUnderTest>();
    QVERIFY(m_t->isValid());
}

void TestRemoteControl::cleanup()
{
    m_t.reset();
}

// A setting read straight from the object that holds it, not through the
// command processor, so that a command writing and reading the same wrong
// field fails.
QVariant TestRemoteControl::storedValue(const QString &command, int index)
{
    const Params *p = m_t->params();
    const PathConditions &c = p->pathConditions();
    const FakeSensorSettings *sensors = m_t->sensors();
    const InstrumentFunction *f = m_t->instrument();
    const YAxisSettings *y = m_t->yAxis();
    const std::size_t molecule = std::size_t(qBound(1, index, p->moleculeCount()) - 1);
    const QHash<QString, QVariant> values = {
        {"SWAVE", m_t->xAxis()->minWavenumber()}, {"EWAVE", m_t->xAxis()->maxWavenumber()},
        {"NUMWNPTS", m_t->xAxis()->numPoints()}, {"PATH", c.pathLength}, {"TPRES", c.totalPressure},
        {"TEMP", c.temperature}, {"USEBAROM", sensors->enabled[0]}, {"USETHERM", sensors->enabled[1]},
        {"USEHUMID", sensors->enabled[2]}, {"USESENSTAG", sensors->tag},
        {"SMPLPERIOD", sensors->period}, {"SMPLSTOAVG", sensors->samples},
        {"HITOPT", m_t->downloader()->usage()}, {"LSHAPE", p->lineShapeProfile()},
        {"LTHRESH", p->intensityThreshold()}, {"LWINGSAT", p->lineWingHalfwidths()},
        {"LWINGABS", p->lineWingAbsolute()}, {"LBROAD", p->broadeningType()}, {"LSHIFTUSE", p->lineShiftUsage()},
        {"INSTRFUNCT", f->type()}, {"INSTRRES", f->resolution()}, {"INSTRWING", f->wing()},
        {"ATMMODEL", m_t->atmospheres()->currentIndex()}, {"ALLCALC", p->calcNotSelected()},
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
    QSignalSpy updated(m_t->remote(), &RemoteControl::valuesUpdated);
    QCOMPARE(m_t->send(set), QStringList());
    QCOMPARE(updated.count(), 1);
    const QVariant stored = storedValue(set.section(QLatin1Char(';'), 0, 0).mid(1), set.section(QLatin1Char(';'), 1, 1).toInt());
    QVERIFY(stored.isValid());
    if (stored.type() == QVariant::String)
        QCOMPARE(stored.toString(), expected);
    else
        QCOMPARE(stored.toDouble(), expected.toDouble());
    QCOMPARE(m_t->send(query), QStringList{expected});
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

void TestRemoteControl::binarySets()
{
    // The end of the range comes as int32, or as double when long enough.
    m_t->remote()->applyBinarySetting(QStringLiteral("EWAV_BIN"), int32Bytes(2200), 0);
    QCOMPARE(m_t->xAxis()->maxWavenumber(), 2200.0);
    m_t->remote()->applyBinarySetting(QStringLiteral("EWAV_BIN"), doubleBytes(2210.5), 0);
    QCOMPARE(m_t->xAxis()->maxWavenumber(), 2210.5);
    // Wavelength units turn the range round: the start shown is the wavelength
    // of the highest wavenumber.
    m_t->xAxis()->setUnits(XAxis::WavelengthMicron);
    QCOMPARE(m_t->remote()->queryBinaryValue(QStringLiteral("SWAV_BIN"), 0), doubleBytes(10000.0 / 2210.5));
    m_t->xAxis()->setUnits(XAxis::FrequencyHz);
    QCOMPARE(m_t->remote()->queryBinaryValue(QStringLiteral("SWAV_BIN"), 0), doubleBytes(2000.0 * 29979245800.0));
    // A payload of the wrong length is refused like any bad value, instead of
    // reading as 0 (a start of 0 cm-1 from one stray byte).
    const double start = m_t->xAxis()->minWavenumber();
    QCOMPARE(m_t->send(QStringLiteral("#SWAV_BIN;x")),
             QStringList{"SWAV_BIN : Parameter out of range. The value must be 8 bytes long."});
    QCOMPARE(m_t->xAxis()->minWavenumber(), start);
    const int wing = m_t->params()->lineWingHalfwidths();
    m_t->remote()->applyBinarySetting(QStringLiteral("LWCS_BIN"), QByteArray("\x07\x01", 2), 0);
    m_t->remote()->applyBinarySetting(QStringLiteral("LWCS_BIN"), QByteArray("\x07\x01\x00\x00\x00", 5), 0);
    QCOMPARE(m_t->params()->lineWingHalfwidths(), wing);
    const QString wrongLength = QStringLiteral("LWCS_BIN : Parameter out of range. The value must be 4 bytes long.");
    QCOMPARE(m_t->transport()->takeReplies(), (QStringList{wrongLength, wrongLength}));
    m_t->remote()->applyBinarySetting(QStringLiteral("PATH_BIN"), QByteArray("ab"), 0);
    QCOMPARE(m_t->params()->pathConditions().pathLength, 1000.0);
    QCOMPARE(m_t->transport()->takeReplies().size(), 1);
    // A payload byte that looks like a line end is a value like any other.
    QCOMPARE(m_t->send(QStringLiteral("#LWCS_BIN;\x0a\x0d\x00\x0a")), QStringList());
    QCOMPARE(m_t->params()->lineWingHalfwidths(), 0x0a000d0a);
    // The binary CALC starts a calculation without waiting for it.
    QSignalSpy calculate(m_t->remote(), &RemoteControl::calculate);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(m_t->send("#CALC_BIN;x#PATH;?"), QStringList{"1000"});
    QCOMPARE(calculate.count(), 1);
    QVERIFY(timer.elapsed() < 5000);
}

void TestRemoteControl::sensorSwitchesNeedASource()
{
    // Without a source a quantity cannot follow the sensors: the peer hears
    // why (in the sensor screen's words), and the query keeps saying 0.
    m_t->sensors()->present = false;
    m_t->sensors()->tagConnected = false;
    QCOMPARE(m_t->send("#USEBAROM;1#USEBAROM;?"),
             (QStringList{"USEBAROM : Parameter out of range. No barometer detected (manual value used).", "0"}));
    QCOMPARE(m_t->send("#USETHERM;1"),
             QStringList{"USETHERM : Parameter out of range. No thermometer found (manual value used)."});
    QCOMPARE(m_t->send("#UHSE_BIN;\x01#USEHUMID;?"),
             (QStringList{"UHSE_BIN : Parameter out of range. No humidity sensors (manual value used).", "0"}));
    QCOMPARE(m_t->send("#USESENSTAG;1#USESENSTAG;?"),
             (QStringList{"USESENSTAG : Parameter out of range. The SensorTag is not connected.", "0"}));
    // Switching off needs no source.
    QCOMPARE(m_t->send("#USEBAROM;0#USESENSTAG;0"), QStringList());
    m_t->sensors()->present = true;
    QCOMPARE(m_t->send("#USEHUMID;1#USEHUMID;?"), QStringList{"1"});
    QCOMPARE(m_t->sensors()->enabled[int(SensorSettings::Quantity::Humidity)], true);
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
        const QString before = m_t->send(QStringLiteral("#%1;?").arg(command)).value(0);
        const double value = which == 2 ? double(points(random)) : std::round(wavenumber(random) * 100.0) / 100.0;
        const QStringList replies = m_t->send(QStringLiteral("#%1;%2").arg(command).arg(value, 0, 'f', 2));
        const QString after = m_t->send(QStringLiteral("#%1;?").arg(command)).value(0);
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
    QCOMPARE(m_t->send("#SWAVE;2000#SWAVE;?"), QStringList{"2000"});
    QCOMPARE(m_t->send("#EWAVE;0#EWAVE;?"), QStringList{"0"});
}

QTEST_GUILESS_MAIN(TestRemoteControl)
#include "tst_remotecontrol.moc"
