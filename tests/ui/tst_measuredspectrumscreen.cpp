#include "app/kolvexcore.h"
#include "app/measuredfit.h"
#include "calc/instrumentfunction.h"
#include "calc/totalspectra.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "core/xaxis.h"
#include "mainwindowundertest.h"
#include "ui/measuredspectrumqml.h"

#include <QAccessible>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFile>
#include <QQuickItem>
#include <QtTest>

#include <cmath>

// The Measured spectrum screen: a file loaded by name, a faulty one refused
// beside the field with the spectrum before kept, and a fit started through
// the accessibility interface that runs while the window goes on and whose
// results appear on the screen.
class TestMeasuredSpectrumScreen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void loadAndRefusal();
    void fitRunsWhileTheWindowGoesOn();

private:
    void write(const QString &name, const QByteArray &text);
    QString textOf(QObject *screen, const char *name);
    MainWindowUnderTest m_t;
};

void TestMeasuredSpectrumScreen::initTestCase()
{
    QAccessible::setActive(true);
    m_t.createCore();
    m_t.openWindow();
    m_t.checkNoProblems();
}

void TestMeasuredSpectrumScreen::cleanupTestCase()
{
    m_t.checkNoProblems();
    m_t.close();
}

void TestMeasuredSpectrumScreen::write(const QString &name, const QByteArray &text)
{
    QFile file(m_t.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(text), qint64(text.size()));
}

QString TestMeasuredSpectrumScreen::textOf(QObject *screen, const char *name)
{
    QQuickItem *item = MainWindowUnderTest::findItem(screen, QLatin1String(name));
    return item ? item->property("text").toString() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

void TestMeasuredSpectrumScreen::loadAndRefusal()
{
    // 4.6 um = 2173.9 cm-1 and 4.4 um = 2272.7 cm-1 lie in the default range
    // (2000-2300 cm-1); 5 um = 2000 cm-1 is its end, 3 um = 3333 cm-1 beyond it.
    write("good.txt", "# x: um\n# y: transmission%\n4.6 80\n4.4 90\n3.0 95\n");
    write("bad.txt", "# x: um\n4.6 0.8\n4.5 o.9\n");
    QObject *screen = m_t.openScreen(QStringLiteral("MeasuredSpectrum.qml"));
    QVERIFY(screen);
    QQuickItem *field = MainWindowUnderTest::findItem(screen, QStringLiteral("measuredFileField"));
    QVERIFY(field);
    QCOMPARE(textOf(screen, "measuredFileName"), QStringLiteral("No measured spectrum is loaded."));

    m_t.typeInto(field, QStringLiteral("good.txt"));
    QTRY_COMPARE(textOf(screen, "measuredFileName"), QStringLiteral("Loaded: good.txt"));
    QCOMPARE(textOf(screen, "measuredRows"), QStringLiteral("3 rows: 2 within the calculated range, 1 left out"));
    QCOMPARE(textOf(screen, "loadProblem"), QString());

    // The refusal names the line (the third of the file) and stays beside the
    // field; the spectrum loaded before is still the one in use.
    m_t.typeInto(field, QStringLiteral("bad.txt"));
    QTRY_VERIFY(textOf(screen, "loadProblem").contains(QStringLiteral("line 3")));
    QCOMPARE(textOf(screen, "measuredFileName"), QStringLiteral("Loaded: good.txt"));
    QCOMPARE(m_t.core()->measuredFit()->measured().points().size(), std::size_t(3));

    // Removed, it is gone, and a second removal says there is nothing to remove.
    MeasuredSpectrumQml *view = m_t.views()->measuredSpectrum();
    view->remove();
    QTRY_COMPARE(textOf(screen, "measuredFileName"), QStringLiteral("No measured spectrum is loaded."));
    QVERIFY(!m_t.core()->measuredFit()->isLoaded());
    QCOMPARE(textOf(screen, "loadProblem"), QString());

    // "Open file…" (pressed as a screen reader does) opens one file dialog in
    // the data folder, a second press no other; the file chosen there is
    // loaded and its path shown in the field.
    QQuickItem *open = MainWindowUnderTest::findItem(screen, QStringLiteral("browseMeasuredButton"));
    QVERIFY(open);
    const auto openDialogs = [] {
        QList<QFileDialog *> found;
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<QFileDialog *>(widget); dialog && dialog->isVisible())
                found.append(dialog);
        return found;
    };
    for (int press = 0; press < 2; ++press)
        QAccessible::queryAccessibleInterface(open)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(openDialogs().size(), 1);
    QFileDialog *dialog = openDialogs().first();
    QCOMPARE(QFileInfo(dialog->directory().absolutePath()).canonicalFilePath(),
             QFileInfo(m_t.core()->dataFolder()).canonicalFilePath());
    dialog->selectFile(m_t.filePath(QStringLiteral("good.txt")));
    static_cast<QDialog *>(dialog)->accept();   // as the Open button does
    QTRY_COMPARE(textOf(screen, "measuredFileName"), QStringLiteral("Loaded: good.txt"));
    QCOMPARE(field->property("text").toString(), m_t.filePath(QStringLiteral("good.txt")));
    QTRY_COMPARE(openDialogs().size(), 0);
    view->remove();
    QMetaObject::invokeMethod(screen, "close");
    m_t.checkNoProblems();
}

void TestMeasuredSpectrumScreen::fitRunsWhileTheWindowGoesOn()
{
    KolvexCore *core = m_t.core();
    Params *params = core->params();
    int co2 = -1;
    for (int m = 0; m < params->moleculeCount(); ++m)
        if (params->molecule(m).name == QLatin1String("CO2"))
            co2 = m;
    QVERIFY(co2 >= 0);
    params->molecule(co2).selected = true;
    core->instrumentFunction()->setType(InstrumentFunction::None);
    QSignalSpy ended(core, &KolvexCore::calculationEnded);
    core->calculate();
    QTRY_VERIFY_WITH_TIMEOUT(ended.count() > 0 && !core->calculationIsRunning(), 60000);

    // The measured spectrum is the calculation's own total optical depth of
    // the shown molecules at every tenth point: a fit of CO2 alone must find
    // the concentration it was calculated with.
    const SpectraSet *spectra = core->spectra();
    XAxis axis = core->calculationAxis();
    axis.buildGrid();
    const SpectrumValues &grid = axis.grid();
    QVERIFY(grid.size() > 100);
    QByteArray text = "# y: absorbance\n";
    for (std::size_t i = 5; i + 5 < grid.size(); i += 10) {
        double tau = 0.0;
        for (std::size_t m = 0; m < spectra->molecules.size(); ++m)
            if (TotalSpectra::moleculeShown(*params, m) && spectra->molecules[m].hasValues())
                tau += spectra->molecules[m].opticalDepth(i);
        text += QByteArray::number(grid[i], 'g', 17) + ' ' + QByteArray::number(tau, 'g', 17) + '\n';
    }
    write("own.txt", text);
    const double concentration = params->pathConditions().concentrations[std::size_t(co2)];

    QObject *screen = m_t.openScreen(QStringLiteral("MeasuredSpectrum.qml"));
    QVERIFY(screen);
    m_t.typeInto(MainWindowUnderTest::findItem(screen, QStringLiteral("measuredFileField")), QStringLiteral("own.txt"));
    QTRY_VERIFY2(textOf(screen, "measuredFileName") == QStringLiteral("Loaded: own.txt"),
                 qPrintable(textOf(screen, "loadProblem")));

    // The check box of CO2, toggled as an assistive tool toggles it.
    QQuickItem *box = MainWindowUnderTest::findItem(screen, QStringLiteral("varyCO2"));
    QVERIFY(box);
    QAccessibleInterface *boxAccess = QAccessible::queryAccessibleInterface(box);
    QVERIFY(boxAccess && boxAccess->actionInterface());
    boxAccess->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QTRY_COMPARE(core->measuredFit()->varied(), QStringLiteral("CO2"));
    QVERIFY(box->property("checked").toBool());

    // The Fit button pressed as a screen reader presses it: the fit starts
    // and the press returns before it has ended, the button saying so.
    QQuickItem *fit = MainWindowUnderTest::findItem(screen, QStringLiteral("fitButton"));
    QVERIFY(fit);
    QAccessibleInterface *fitAccess = QAccessible::queryAccessibleInterface(fit);
    QVERIFY(fitAccess && fitAccess->actionInterface());
    QCOMPARE(fitAccess->text(QAccessible::Name), QStringLiteral("Fit"));
    fitAccess->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QVERIFY(core->measuredFit()->isRunning());
    QCOMPARE(fit->property("text").toString(), QStringLiteral("Fitting…"));
    QVERIFY(!fit->isEnabled());
    // A second start while it runs is refused with the reason.
    m_t.views()->measuredSpectrum()->fit();
    QVERIFY(textOf(screen, "fitProblem").contains(QStringLiteral("a fit is running")));

    QTRY_VERIFY_WITH_TIMEOUT(!core->measuredFit()->isRunning(), 60000);
    const QString results = textOf(screen, "fitResults");
    const QStringList lines = results.split(QLatin1Char('\n'));
    QVERIFY2(lines.size() == 5, qPrintable(results));
    const QStringList co2Line = lines[0].split(QLatin1Char(' '));
    QCOMPARE(co2Line.size(), 4);
    QCOMPARE(co2Line[0], QStringLiteral("CO2"));
    QVERIFY2(std::fabs(co2Line[1].toDouble() - concentration) < 1e-6 * concentration, qPrintable(results));
    QCOMPARE(co2Line[3], QStringLiteral("ppmv"));
    QVERIFY(lines[1].startsWith(QStringLiteral("rms ")));
    QCOMPARE(lines[2], QStringLiteral("points %1").arg(core->measuredFit()->fittedPoints().size()));
    QVERIFY(lines[3].startsWith(QStringLiteral("iterations ")));
    QCOMPARE(lines[4], QStringLiteral("outside 0"));
    QCOMPARE(textOf(screen, "fitProblem"), QString());
    QCOMPARE(fit->property("text").toString(), QStringLiteral("Fit"));

    // A fit that is refused says why on the screen, and shows no results.
    boxAccess->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QTRY_COMPARE(core->measuredFit()->varied(), QString());
    fitAccess->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(!core->measuredFit()->isRunning());
    QTRY_VERIFY(textOf(screen, "fitProblem").contains(QStringLiteral("nothing is chosen to vary")));
    QCOMPARE(textOf(screen, "fitResults"), QString());
    QMetaObject::invokeMethod(screen, "close");
    m_t.checkNoProblems();
}

QTEST_MAIN(TestMeasuredSpectrumScreen)
#include "tst_measuredspectrumscreen.moc"
