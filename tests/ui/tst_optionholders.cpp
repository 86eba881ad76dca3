#include "app/kolvexcore.h"
#include "calc/instrumentfunction.h"
#include "core/params.h"
#include "offlinesettings.h"
#include "ui/instrumentfunctionqml.h"
#include "ui/lineoptionsqml.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestOptionHolders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void thresholdTypedCharacterByCharacter();
    void textsNotYetNumbers_data();
    void textsNotYetNumbers();
    void byteWritesEmitOnce();
    void commaLocale();
    void instrumentFunctionTexts();
    void valuesUpdatedReannounces();

private:
    QTemporaryDir m_folder;
    std::unique_ptr<KolvexCore> m_core;
};

void TestOptionHolders::initTestCase()
{
    QVERIFY(m_folder.isValid());
}

void TestOptionHolders::init()
{
    QLocale::setDefault(QLocale::c());
    KolvexCore::Settings settings = offlineSettings(m_folder.path());
    settings.useBundledData = false;
    m_core = std::make_unique<KolvexCore>(settings);
}

void TestOptionHolders::cleanup()
{
    m_core.reset();
    QLocale::setDefault(QLocale::c());
}

// Typing 1e-2: "1" applies, "1e" and "1e-" wait, "1e-2" applies.
void TestOptionHolders::thresholdTypedCharacterByCharacter()
{
    LineOptionsQml options(nullptr, m_core.get());
    QSignalSpy changes(&options, &LineOptionsQml::intensThreshChanged);
    QCOMPARE(options.intensThresh(), QStringLiteral("1"));   // 1e-25 shown in units of 1e-25
    options.setIntensThresh(QStringLiteral("1"));            // same as shown: nothing
    QCOMPARE(changes.count(), 0);
    options.setIntensThresh(QStringLiteral("1e"));
    options.setIntensThresh(QStringLiteral("1e-"));
    QCOMPARE(changes.count(), 0);
    options.setIntensThresh(QStringLiteral("1e-2"));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(m_core->params()->intensityThreshold(), 1e-2 * 1e-25);
    QCOMPARE(options.intensThresh(), QStringLiteral("0.01"));
}

void TestOptionHolders::textsNotYetNumbers_data()
{
    QTest::addColumn<QString>("text");
    for (const char *text : {"", "2.", "2,", "2e", "2E", "-", "2e+"})
        QTest::newRow(text) << QString::fromLatin1(text);
}

void TestOptionHolders::textsNotYetNumbers()
{
    QFETCH(QString, text);
    LineOptionsQml options(nullptr, m_core.get());
    InstrumentFunctionQml instrument(nullptr, m_core.get());
    options.setWingContribAbs(text);
    instrument.setInstrResol(text);
    QCOMPARE(m_core->params()->lineWingAbsolute(), 1.0);
    QCOMPARE(m_core->instrumentFunction()->resolution(), 3.0);
}

void TestOptionHolders::byteWritesEmitOnce()
{
    LineOptionsQml options(nullptr, m_core.get());
    QSignalSpy profile(&options, &LineOptionsQml::lineshapeProfileChanged);
    QSignalSpy broadening(&options, &LineOptionsQml::lineBroadeningChanged);
    QSignalSpy shift(&options, &LineOptionsQml::useLineShiftChanged);
    options.setLineshapeProfile(3);
    options.setLineshapeProfile(3);
    QCOMPARE(profile.count(), 1);
    QCOMPARE(m_core->params()->lineShapeProfile(), 3);
    options.setLineshapeProfile(4);   // no such profile
    QCOMPARE(m_core->params()->lineShapeProfile(), 3);
    options.setLineBroadening(0);
    options.setLineBroadening(5);
    QCOMPARE(broadening.count(), 1);
    QCOMPARE(m_core->params()->broadeningType(), 0);
    options.setUseLineShift(false);
    options.setUseLineShift(false);
    QCOMPARE(shift.count(), 1);
    QCOMPARE(m_core->params()->lineShiftUsage(), 0);
}

// With a decimal comma the texts show commas, and a point does not parse: the
// text is refused, where it used to store 0.
void TestOptionHolders::commaLocale()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    m_core->params()->setLineWingAbsolute(2.5);
    LineOptionsQml options(nullptr, m_core.get());
    QCOMPARE(options.wingContribAbs(), QStringLiteral("2,5"));
    options.setWingContribAbs(QStringLiteral("1,25"));
    QCOMPARE(m_core->params()->lineWingAbsolute(), 1.25);
    QCOMPARE(options.enterWingContribAbs(QStringLiteral("3.5")), QStringLiteral("\"3.5\" is not a number."));
    QCOMPARE(m_core->params()->lineWingAbsolute(), 1.25);
    m_core->params()->setIntensityThreshold(12345.0e-25);
    QCOMPARE(options.intensThresh(), QStringLiteral("12345"));   // no group separator
}

void TestOptionHolders::instrumentFunctionTexts()
{
    InstrumentFunctionQml instrument(nullptr, m_core.get());
    QCOMPARE(instrument.instrResol(), QStringLiteral("3"));
    QSignalSpy index(&instrument, &InstrumentFunctionQml::instrFunctIndexChanged);
    instrument.setInstrFunctIndex(6);
    instrument.setInstrFunctIndex(6);
    instrument.setInstrFunctIndex(8);   // no such kernel
    QCOMPARE(index.count(), 1);
    QCOMPARE(int(m_core->instrumentFunction()->type()), 6);
    instrument.setInstrFunctWing(QStringLiteral("1.5"));
    QCOMPARE(m_core->instrumentFunction()->wing(), 1.5);
}

// A change from elsewhere: valuesUpdated() re-announces every property in
// order, and the same text written afterwards is applied again.
void TestOptionHolders::valuesUpdatedReannounces()
{
    LineOptionsQml options(nullptr, m_core.get());
    InstrumentFunctionQml instrument(nullptr, m_core.get());
    options.setWingContribAbs(QStringLiteral("2"));
    m_core->params()->setLineWingAbsolute(7.0);

    QSignalSpy abs(&options, &LineOptionsQml::wingContribAbsChanged);
    QSignalSpy profile(&options, &LineOptionsQml::lineshapeProfileChanged);
    QSignalSpy wing(&instrument, &InstrumentFunctionQml::instrFunctWingChanged);
    emit m_core->valuesUpdated();
    QCOMPARE(abs.count(), 1);
    QCOMPARE(profile.count(), 1);
    QCOMPARE(wing.count(), 1);
    QCOMPARE(options.wingContribAbs(), QStringLiteral("7"));
    options.setWingContribAbs(QStringLiteral("2"));
    QCOMPARE(m_core->params()->lineWingAbsolute(), 2.0);
}

QTEST_GUILESS_MAIN(TestOptionHolders)
#include "tst_optionholders.moc"
