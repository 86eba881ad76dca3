#include "app/kolvexcore.h"
#include "app/livecalculation.h"
#include "core/params.h"
#include "core/settingrules.h"
#include "mainwindowundertest.h"
#include "remote/remotecontrol.h"
#include "standinlinesource.h"
#include "ui/livecontrolsqml.h"
#include "ui/mollistviewmodel.h"

#include <QQuickWindow>
#include <QtTest>

#include <cmath>

// The live bar of the main screen: the Live switch, the sliders (their spans,
// logarithmic where they span decades, in the user's units) and a drag that
// recalculates the spectrum by itself.
class TestLiveControls : public QObject
{
    Q_OBJECT

private slots:
    void positionsOnASpan_data();
    void positionsOnASpan();
    void spansLieWithinTheRules();
    void dragRecalculates();
    void valuesInTheUsersUnits();
    void markWhileUpdatingOrRefused();

private:
    static void waitUntilSettled(KolvexCore *core);
};

void TestLiveControls::waitUntilSettled(KolvexCore *core)
{
    LiveCalculation *live = core->liveCalculation();
    QTRY_VERIFY_WITH_TIMEOUT(!live->updating() && !live->pending() && !core->calculationIsRunning(), 30000);
}

// Worked by hand: 1e-3 to 1e5 spans eight decades, so the middle is 1e1 and
// 1 lies 3/8 of the way; a linear 70-3000 K has 1535 K in its middle.
void TestLiveControls::positionsOnASpan_data()
{
    QTest::addColumn<double>("lowest");
    QTest::addColumn<double>("highest");
    QTest::addColumn<bool>("logarithmic");
    QTest::addColumn<double>("position");
    QTest::addColumn<double>("value");
    QTest::newRow("log middle") << 1e-3 << 1e5 << true << 0.5 << 10.0;
    QTest::newRow("log 1") << 1e-3 << 1e5 << true << 0.375 << 1.0;
    QTest::newRow("log start") << 1e-3 << 1e5 << true << 0.0 << 1e-3;
    QTest::newRow("log end") << 1e-3 << 1e5 << true << 1.0 << 1e5;
    QTest::newRow("linear middle") << 70.0 << 3000.0 << false << 0.5 << 1535.0;
}

void TestLiveControls::positionsOnASpan()
{
    QFETCH(double, lowest);
    QFETCH(double, highest);
    QFETCH(bool, logarithmic);
    QFETCH(double, position);
    QFETCH(double, value);
    QVERIFY(std::fabs(LiveControlsQml::valueAt(position, lowest, highest, logarithmic) - value) <= 1e-12 * value);
    QVERIFY(std::fabs(LiveControlsQml::positionOf(value, lowest, highest, logarithmic) - position) <= 1e-12);
    // Outside the span a slider stands at its end; a position beyond the
    // ends gives the end's value.
    QCOMPARE(LiveControlsQml::positionOf(highest * 10.0, lowest, highest, logarithmic), 1.0);
    QCOMPARE(LiveControlsQml::positionOf(logarithmic ? 0.0 : lowest - 1.0, lowest, highest, logarithmic), 0.0);
    QCOMPARE(LiveControlsQml::valueAt(1.5, lowest, highest, logarithmic), highest);
}

// Every slider's ends pass the setting's own rule, and the temperature spans
// the shipped partition sums (70 K to 3000 K).
void TestLiveControls::spansLieWithinTheRules()
{
    MainWindowUnderTest t;
    t.createCore();
    QTRY_VERIFY_WITH_TIMEOUT(t.core()->tipsLoaded(), 30000);
    const Params &params = *t.core()->params();
    const SettingRules::SliderSpan temperature = SettingRules::sliderSpan(Setting::Temperature, params);
    QCOMPARE(temperature.lowest, 70.0);
    QCOMPARE(temperature.highest, 3000.0);
    QVERIFY(!temperature.logarithmic);
    for (double kelvin : {temperature.lowest, temperature.highest})
        QCOMPARE(SettingRules::temperatureProblem(kelvin, params), QString());
    const SettingRules::SliderSpan pressure = SettingRules::sliderSpan(Setting::TotalPressure, params);
    const SettingRules::SliderSpan path = SettingRules::sliderSpan(Setting::PathLength, params);
    const SettingRules::SliderSpan concentration = SettingRules::sliderSpan(Setting::Concentration, params);
    for (const SettingRules::SliderSpan &span : {pressure, path, concentration})
        QVERIFY(span.logarithmic && span.highest / span.lowest >= 1e5);
    for (double atm : {pressure.lowest, pressure.highest})
        QCOMPARE(SettingRules::totalPressureProblem(atm), QString());
    for (double metres : {path.lowest, path.highest})
        QCOMPARE(SettingRules::pathLengthProblem(metres), QString());
    for (double ppmv : {concentration.lowest, concentration.highest})
        QCOMPARE(SettingRules::concentrationProblem(ppmv), QString());
    // No slider of a setting that has none.
    QVERIFY(!(SettingRules::sliderSpan(Setting::Points, params).highest > 0.0));
}

void TestLiveControls::dragRecalculates()
{
    MainWindowUnderTest t;
    t.createCore();
    t.openWindow();
    KolvexCore *core = t.core();
    LiveCalculation *live = core->liveCalculation();
    QQuickItem *liveSwitch = MainWindowUnderTest::findItem(t.window()->contentItem(), QStringLiteral("liveSwitch"));
    QQuickItem *slider = MainWindowUnderTest::findItem(t.window()->contentItem(), QStringLiteral("liveSlider0"));
    QVERIFY(liveSwitch && slider);
    QVERIFY(!live->liveCalculation());
    QVERIFY(!slider->isVisible());   // the sliders belong to live mode

    t.click(liveSwitch);
    QTRY_VERIFY(live->liveCalculation());
    QTRY_VERIFY(slider->isVisible() && slider->width() > 100);
    waitUntilSettled(core);
    const double before = core->results()->temperature();
    QCOMPARE(before, core->params()->pathConditions().temperature);

    // Press, move in steps and release, as a finger does.
    const QPointF left = slider->mapToScene(QPointF(slider->width() * 0.3, slider->height() / 2));
    const QPointF right = slider->mapToScene(QPointF(slider->width() * 0.7, slider->height() / 2));
    QTest::mousePress(t.window(), Qt::LeftButton, Qt::NoModifier, left.toPoint());
    for (int step = 1; step <= 10; ++step) {
        const QPointF at = left + (right - left) * (step / 10.0);
        QTest::mouseMove(t.window(), at.toPoint());
        QCoreApplication::processEvents();
    }
    QTest::mouseRelease(t.window(), Qt::LeftButton, Qt::NoModifier, right.toPoint());
    waitUntilSettled(core);

    // The value at the slider's position, as six digits show it, is the one
    // in use and the one calculated last.
    const double position = slider->property("value").toDouble();
    QVERIFY2(position > 0.5 && position < 0.9, qPrintable(QString::number(position)));
    const double kelvin = LiveControlsQml::valueAt(position, 70.0, 3000.0, false);
    const double used = core->params()->pathConditions().temperature;
    QVERIFY(std::fabs(used - kelvin) <= 0.5e-5 * kelvin);
    QCOMPARE(core->results()->temperature(), used);
    QVERIFY(used != before);
    t.checkNoProblems();

    // Off, a drag only stores the value.
    t.click(liveSwitch);
    QTRY_VERIFY(!live->liveCalculation());
    QTRY_VERIFY(!slider->isVisible());
    t.close();
}

void TestLiveControls::valuesInTheUsersUnits()
{
    MainWindowUnderTest t;
    t.createCore();
    t.openWindow();
    KolvexCore *core = t.core();
    LiveControlsQml *controls = t.views()->liveControls();
    core->temperatureUnit()->unit = TemperatureUnit::Celsius;
    core->pathLengthUnit()->unit = PathLengthUnit::Kilometre;
    emit core->valuesUpdated();

    // 0.25 of 70-3000 K is 802.5 K, 529.35 degrees Celsius.
    QCOMPARE(controls->moveTo(LiveControlsQml::Temperature, 0.25), QString());
    QCOMPARE(core->params()->pathConditions().temperature, 529.35 + 273.15);
    QCOMPARE(controls->valueText(LiveControlsQml::Temperature), QStringLiteral("T 529.35 \u00b0C"));
    // The middle of 1 mm to 100 km is 10 m: 0.01 km.
    QCOMPARE(controls->moveTo(LiveControlsQml::PathLength, 0.5), QString());
    QCOMPARE(core->params()->pathConditions().pathLength, 10.0);
    QCOMPARE(controls->valueText(LiveControlsQml::PathLength), QStringLiteral("L 0.01 km"));
    // CO2's concentration: the middle of 1e-3 to 1e6 ppmv is 10^1.5 =
    // 31.6228 ppmv, shown (and so entered) with the screen's digits.
    controls->setMolecule(2);
    QCOMPARE(controls->moveTo(LiveControlsQml::Concentration, 0.5), QString());
    const double ppmv = core->params()->pathConditions().concentrations.at(1);
    QVERIFY(std::fabs(ppmv - 31.6228) <= 1e-3);
    QVERIFY(controls->valueText(LiveControlsQml::Concentration).startsWith(QStringLiteral("CO2 ")));
    QCOMPARE(controls->position(LiveControlsQml::PathLength), 0.5);
    t.checkNoProblems();
    t.close();
}

// A calculation that takes long leaves the last spectrum on the plot, marked
// "updating…" until the new one is there; inputs that cannot be calculated
// are named in the mark instead of a dialog.
void TestLiveControls::markWhileUpdatingOrRefused()
{
    MainWindowUnderTest t;
    t.createCore();
    t.openWindow();
    KolvexCore *core = t.core();
    StandInLineSource source(StandInLineSource::readFile(QStringLiteral(KOLVEX_TEST_DATA "/calc/lines.par")), 3);
    core->setLineSource(&source);
    QQuickItem *mark = MainWindowUnderTest::findItem(t.window()->contentItem(), QStringLiteral("liveMark"));
    QVERIFY(mark);
    QVERIFY(!mark->isVisible());
    source.setStallAfter(1);
    core->liveCalculation()->setLiveCalculation(true);
    QTRY_VERIFY(source.requestCount() == 2 && core->liveCalculationRunning());
    QTRY_VERIFY(mark->isVisible());
    QCOMPARE(mark->childItems().first()->property("text").toString(), QStringLiteral("updating\u2026"));
    source.release();
    waitUntilSettled(core);
    QTRY_VERIFY(!mark->isVisible());

    // The start of the range beyond its end: no dialog, the reason in the mark.
    const QString dialog = core->okDialogText();
    core->remoteControl()->processCommandString(QStringLiteral("#SWAVE;2400"));
    QTRY_VERIFY(mark->isVisible());
    QVERIFY(!core->liveCalculation()->problem().isEmpty());
    QCOMPARE(mark->childItems().first()->property("text").toString(), core->liveCalculation()->problem());
    QCOMPARE(core->okDialogText(), dialog);
    core->remoteControl()->processCommandString(QStringLiteral("#SWAVE;2000"));
    waitUntilSettled(core);
    QTRY_VERIFY(!mark->isVisible());
    t.checkNoProblems();
    core->setLineSource(nullptr);
    t.close();
}

QTEST_MAIN(TestLiveControls)
#include "tst_livecontrols.moc"
