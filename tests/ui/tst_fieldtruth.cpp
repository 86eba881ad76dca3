#include "app/kolvexcore.h"
#include "core/params.h"
#include "core/xaxis.h"
#include "mainwindowundertest.h"
#include "sensors/sensors.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QPointer>
#include <QQmlContext>
#include <QQuickItem>
#include <QtTest>

#include <algorithm>

// What the screens show is what is in use: a check box follows the selection
// it controls across a restart, a unit switch never leaves a number of the old
// unit in a field, a number field refuses what it cannot store instead of
// changing it, and the notes name this device's folder and say why a plot
// stays empty.
class TestFieldTruth : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void selectAllFollowsTheSelectionAfterARestart();
    void unitSwitchDropsARefusedText();
    void wholeNumberFieldsRefuseWhatTheyCannotStore_data();
    void wholeNumberFieldsRefuseWhatTheyCannotStore();
    void databaseNoteNamesTheDataFolder();
    void calcWithoutAMoleculeSaysSo();
    void sampleNoteNamesTheLastRange();
    void resultsSayHowLongTheyTookAndWhichVersion();

private:
    QQuickItem *control(QObject *screen, const QString &path)
    {
        return MainWindowUnderTest::findControl(screen, path);
    }
    void closeScreen(QPointer<QObject> screen)
    {
        QMetaObject::invokeMethod(screen, "close");
        QTRY_VERIFY(screen.isNull());
    }
    int selectedCount()
    {
        const auto &molecules = m_t->core()->params()->molecules();
        return int(std::count_if(molecules.begin(), molecules.end(), [](const Molecule &m) { return m.selected; }));
    }
    std::unique_ptr<MainWindowUnderTest> m_t;
};

// A fresh data folder and window for each test.
void TestFieldTruth::init()
{
    m_t = std::make_unique<MainWindowUnderTest>();
    m_t->createCore();
    m_t->openWindow();
}

void TestFieldTruth::cleanup()
{
    m_t->checkNoProblems();
    m_t.reset();
}

// Select All shows whether every molecule is selected when the selection is
// one the program started with (the settings of the last run restore it
// before the window is made). With two molecules left out it is unticked, and
// a tap selects every molecule (it used to show ticked after a restart, and a
// tap cleared them all). A row box ticked off on the screen is
// tst_accessibleactions::selectAllActsOnItsToggle.
void TestFieldTruth::selectAllFollowsTheSelectionAfterARestart()
{
    m_t->close();
    m_t->createCore();
    const int all = m_t->core()->params()->moleculeCount();
    m_t->core()->params()->molecule(1).selected = false;
    m_t->core()->params()->molecule(4).selected = false;
    m_t->openWindow();
    QPointer<QObject> screen = m_t->openScreen(QStringLiteral("Molecules.qml"));
    QQuickItem *selectAll = control(screen, QStringLiteral("selectAllBox"));
    QVERIFY(!selectAll->property("checked").toBool());
    m_t->click(selectAll);
    QTRY_COMPARE(selectedCount(), all);
    QVERIFY(selectAll->property("checked").toBool());
    m_t->click(selectAll);
    QTRY_COMPARE(selectedCount(), 0);
    closeScreen(screen);
}

// 2000-2300 cm-1 shown in nm, 150 nm typed into Start and refused (the grid
// ends at 50000 cm-1, 200 nm), then cm-1 chosen: the fields show the range in
// use in cm-1, with no reason beside them, and the range is unchanged.
void TestFieldTruth::unitSwitchDropsARefusedText()
{
    XAxis *axis = m_t->core()->xAxis();
    QPointer<QObject> screen = m_t->openScreen(QStringLiteral("Wavelengths.qml"));
    QQuickItem *start = control(screen, QStringLiteral("startField/numberInput"));
    QQuickItem *end = control(screen, QStringLiteral("endField/numberInput"));
    m_t->click(control(screen, QStringLiteral("unitList/option2")));
    QTRY_COMPARE(int(axis->units()), int(XAxis::Wavenumber));
    m_t->typeInto(start, QStringLiteral("2000"));
    m_t->typeInto(end, QStringLiteral("2300"));
    QCOMPARE(axis->minWavenumber(), 2000.0);
    QCOMPARE(axis->maxWavenumber(), 2300.0);
    m_t->click(control(screen, QStringLiteral("unitList/option0")));
    QTRY_COMPARE(int(axis->units()), int(XAxis::WavelengthNm));
    // 1e7 / 2300 = 4347.83 nm, 1e7 / 2000 = 5000 nm: the range runs from the shorter wavelength.
    QCOMPARE(start->property("text").toString(), QStringLiteral("4347.83"));
    QCOMPARE(end->property("text").toString(), QStringLiteral("5000"));

    m_t->typeInto(start, QStringLiteral("150"));
    QQuickItem *startProblem = control(screen, QStringLiteral("startField/numberProblem"));
    QVERIFY(!startProblem->property("text").toString().isEmpty());
    QCOMPARE(start->property("text").toString(), QStringLiteral("150"));
    // A text that no unit could use, refused when the click on the unit takes
    // the focus away, is dropped as well.
    end->forceActiveFocus();
    QTest::keyClick(m_t->window(), Qt::Key_X);
    m_t->click(control(screen, QStringLiteral("unitList/option2")));
    QTRY_COMPARE(int(axis->units()), int(XAxis::Wavenumber));
    QCOMPARE(start->property("text").toString(), QStringLiteral("2000"));
    QCOMPARE(end->property("text").toString(), QStringLiteral("2300"));
    QVERIFY(!startProblem->isVisible());
    QCOMPARE(axis->minWavenumber(), 2000.0);
    QCOMPARE(axis->maxWavenumber(), 2300.0);
    // Nothing refused is left over: the screen closes at once.
    closeScreen(screen);
}

void TestFieldTruth::wholeNumberFieldsRefuseWhatTheyCannotStore_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");   // -1: refused, the value in use stays
    for (const char *field : {"samplingPeriodField", "samplesToAverageField"}) {
        const QByteArray name(field);
        const QString fieldName = QString::fromLatin1(field);
        QTest::newRow(name + " 2.5") << "Sensors.qml" << fieldName << "2.5" << -1;
        QTest::newRow(name + " abc-5") << "Sensors.qml" << fieldName << "abc-5" << -1;
        QTest::newRow(name + " 0") << "Sensors.qml" << fieldName << "0" << -1;
        QTest::newRow(name + " -5") << "Sensors.qml" << fieldName << "-5" << -1;
        QTest::newRow(name + " 1e12") << "Sensors.qml" << fieldName << "1e12" << -1;
        QTest::newRow(name + " 250") << "Sensors.qml" << fieldName << "250" << 250;
    }
    QTest::newRow("line wing 2.7") << "LineOptions.qml" << "wingSatField" << "2.7" << -1;
    QTest::newRow("line wing 27") << "LineOptions.qml" << "wingSatField" << "27" << 27;
}

// A text that is no whole number in range is refused with the reason beside
// the field and stays there; the value in use does not change. A good one is
// stored as typed.
void TestFieldTruth::wholeNumberFieldsRefuseWhatTheyCannotStore()
{
    QFETCH(QString, file);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(int, stored);
    Sensors *sensors = m_t->core()->sensors();
    const auto inUse = [&] {
        if (field == QLatin1String("samplingPeriodField"))
            return sensors->samplingPeriod();
        if (field == QLatin1String("samplesToAverageField"))
            return sensors->numSamplesToAverage();
        return m_t->core()->params()->lineWingHalfwidths();
    };
    const int before = inUse();
    QVERIFY(before != stored);
    QPointer<QObject> screen = m_t->openScreen(file);
    QQuickItem *input = control(screen, field + QStringLiteral("/numberInput"));
    m_t->typeInto(input, typed);
    const QString reason = control(screen, field + QStringLiteral("/numberProblem"))->property("text").toString();
    if (stored < 0) {
        QVERIFY2(!reason.isEmpty(), qPrintable(typed));
        QCOMPARE(input->property("text").toString(), typed);
        QCOMPARE(inUse(), before);
    } else {
        QVERIFY2(reason.isEmpty(), qPrintable(reason));
        QCOMPARE(inUse(), stored);
        QCOMPARE(input->property("text").toString(), QString::number(stored));
    }
    // A refused text is left unapplied by a second close.
    QMetaObject::invokeMethod(screen, "close");
    if (screen)
        closeScreen(screen);
    QCOMPARE(inUse(), stored < 0 ? before : stored);
}

// The offline database is placed in the data folder of this device, and the
// note says which folder that is.
void TestFieldTruth::databaseNoteNamesTheDataFolder()
{
    QPointer<QObject> screen = m_t->openScreen(QStringLiteral("HitranDownloadOptions.qml"));
    const QString note = control(screen, QStringLiteral("databaseNote"))->property("text").toString();
    QVERIFY2(note.contains(QDir::toNativeSeparators(m_t->folder())), qPrintable(note));
    QVERIFY(!note.contains(QLatin1String("Downloads/kolvex")));
    closeScreen(screen);
}

// Calc with every molecule left out draws nothing; the note says why.
void TestFieldTruth::calcWithoutAMoleculeSaysSo()
{
    for (Molecule &molecule : m_t->core()->params()->molecules())
        molecule.selected = false;
    m_t->core()->dismissNote();
    m_t->click(control(m_t->window(), QStringLiteral("calcButton")));
    QTRY_VERIFY_WITH_TIMEOUT(!m_t->core()->calculationIsRunning(), 60000);
    QVERIFY2(m_t->core()->note().contains(QLatin1String("No molecule is selected")), qPrintable(m_t->core()->note()));
    QTRY_VERIFY(control(m_t->window(), QStringLiteral("noteText"))->isVisible());
}

// Offline, the sample lines serve: the note names the range of the calculation
// it belongs to, also when a later one replaces it while it is shown. Once
// dismissed, it stays away for the rest of the run.
void TestFieldTruth::sampleNoteNamesTheLastRange()
{
    XAxis *axis = m_t->core()->xAxis();
    const auto calc = [this] {
        m_t->click(control(m_t->window(), QStringLiteral("calcButton")));
        QTRY_VERIFY_WITH_TIMEOUT(m_t->core()->calculationIsRunning(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_t->core()->calculationIsRunning(), 60000);
    };
    axis->setMinWavenumber(2000.0);
    axis->setMaxWavenumber(2300.0);
    calc();
    QVERIFY2(m_t->core()->note().contains(QLatin1String("(2000 - 2300 cm-1)")), qPrintable(m_t->core()->note()));
    axis->setMinWavenumber(2100.0);
    axis->setMaxWavenumber(2200.0);
    calc();
    QVERIFY2(m_t->core()->note().contains(QLatin1String("(2100 - 2200 cm-1)")), qPrintable(m_t->core()->note()));
    QVERIFY(!m_t->core()->note().contains(QLatin1String("2000 - 2300")));
    m_t->click(control(m_t->window(), QStringLiteral("dismissNoteButton")));
    QTRY_VERIFY(m_t->core()->note().isEmpty());
    calc();
    QVERIFY(m_t->core()->note().isEmpty());
}

// The main screen and the saved data file say how long the last calculation
// took and which version of the program made it (the project's version in the
// build description).
void TestFieldTruth::resultsSayHowLongTheyTookAndWhichVersion()
{
    QFile build(QStringLiteral(KOLVEX_SOURCE_DIR "/CMakeLists.txt"));
    QVERIFY(build.open(QIODevice::ReadOnly));
    const QRegularExpression declared(QStringLiteral("project\\(\\s*kolvex\\s+VERSION\\s+([0-9.]+)"),
                                      QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch version = declared.match(QString::fromUtf8(build.readAll()));
    QVERIFY(version.hasMatch());
    QQuickItem *shown = control(m_t->window(), QStringLiteral("calculationTime"));
    QVERIFY(!shown->isVisible());
    m_t->click(control(m_t->window(), QStringLiteral("calcButton")));
    QTRY_VERIFY_WITH_TIMEOUT(m_t->core()->calculationIsRunning(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_t->core()->calculationIsRunning(), 60000);
    QTRY_VERIFY(shown->isVisible());
    const QRegularExpression seconds(QStringLiteral("^Calc: [0-9]+\\.[0-9]+ s$"));
    QVERIFY2(seconds.match(shown->property("text").toString()).hasMatch(), qPrintable(shown->property("text").toString()));
    const QString header = m_t->core()->results()->dataFileText().section(QLatin1Char('\n'), 0, 20);
    const QRegularExpression line(QStringLiteral("\n# Kolvex %1; the calculation took [0-9]+\\.[0-9]+ s\n")
                                      .arg(QRegularExpression::escape(version.captured(1))));
    QVERIFY2(line.match(header).hasMatch(), qPrintable(header));
}

QTEST_MAIN(TestFieldTruth)
#include "tst_fieldtruth.moc"
