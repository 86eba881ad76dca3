#include "app/kolvexcore.h"
#include "core/params.h"
#include "mainwindowundertest.h"
#include "ui/plot.h"
#include "ui/windowplacement.h"

#include <QAccessible>
#include <QPointer>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

// A settings value as the screens store it, by the name a test row gives.
double storedValue(KolvexCore *core, const QString &name)
{
    const PathConditions &path = core->params()->pathConditions();
    if (name == QLatin1String("path"))
        return path.pathLength;
    if (name == QLatin1String("temperature"))
        return path.temperature;
    if (name == QLatin1String("start"))
        return core->xAxis()->minWavenumber();
    if (name == QLatin1String("points"))
        return core->xAxis()->numPoints();
    if (name == QLatin1String("threshold"))
        return core->params()->intensityThreshold();
    if (name == QLatin1String("y minimum"))
        return core->yAxis()->currentMinimum();
    return path.concentrations.at(2);   // O3
}

} // namespace

// The screens as the user reaches them: choices confirmed with a click, numbers
// typed key by key and committed, keys that close, quit, zoom and calculate,
// a name on every control for screen readers, and a window that fits the
// screen.
class TestScreenAccess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void confirmationsApplyTheirChoice();
    void typedNumbersApplyWhenCommitted_data();
    void typedNumbersApplyWhenCommitted();
    void closingAScreenAppliesOrKeepsARefusal();
    void keyboard();
    void everyControlHasAName();
    void windowOpensWithinTheScreen();

private:
    MainWindowUnderTest m_t;
};

void TestScreenAccess::initTestCase()
{
    m_t.createCore();
    m_t.openWindow();
    m_t.checkNoProblems();
    // The core starts with the text "undefined" (no message yet); the tests
    // below look for a message that an action raises, so they start from none.
    m_t.core()->setOkDialogText(QString());
}

void TestScreenAccess::cleanupTestCase()
{
    m_t.close();
}

void TestScreenAccess::confirmationsApplyTheirChoice()
{
    auto clickButton = [this](QObject *screen, const char *name) {
        auto *button = screen->findChild<QQuickItem *>(QLatin1String(name));
        QVERIFY(button);
        const QPointF centre = button->mapToScene(QPointF(button->width() / 2.0, button->height() / 2.0));
        QTest::mouseClick(m_t.window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    };
    QQmlContext *context = m_t.engine()->rootContext();
    Params *params = m_t.core()->params();

    // The tropical model's ground values replace the path's after "Yes" only.
    QObject *atmospheres = context->contextProperty(QStringLiteral("atmListViewModel")).value<QObject *>();
    QVERIFY(atmospheres->setProperty("modelNum", 0));
    const double temperature = params->pathConditions().temperature;
    QPointer<QObject> question = m_t.openScreen(QStringLiteral("AtmosphericModelApply.qml"));
    clickButton(question, "noButton");
    QTRY_VERIFY(question.isNull());
    QCOMPARE(params->pathConditions().temperature, temperature);
    question = m_t.openScreen(QStringLiteral("AtmosphericModelApply.qml"));
    clickButton(question, "yesButton");
    QTRY_VERIFY(question.isNull());
    QCOMPARE(params->pathConditions().temperature, 300.0);

    // A colour picked for molecule 2 becomes its plot colour.
    QObject *molecules = context->contextProperty(QStringLiteral("molListViewModel")).value<QObject *>();
    QVERIFY(molecules->setProperty("activeIndex", 2));
    QVERIFY(molecules->setProperty("selectedColor", QStringLiteral("#808080")));
    QPointer<QObject> dialog = m_t.openScreen(QStringLiteral("ColorDialog.qml"));
    QObject *picker = dialog->findChild<QObject *>(QStringLiteral("colorPicker"));
    QVERIFY(picker);
    QCOMPARE(picker->property("color").toString(), QStringLiteral("#808080"));
    QVERIFY(picker->setProperty("hueValue", 240.0));
    const QString chosen = picker->property("color").toString();
    QVERIFY(chosen != QLatin1String("#808080"));
    clickButton(dialog, "okButton");
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(params->molecule(1).color, chosen);

    // The colour square of a row in the molecule list opens the dialog for that molecule.
    QPointer<QObject> list = m_t.openScreen(QStringLiteral("Molecules.qml"));
    // List rows hang below the list's content item only, so the search walks the visual tree.
    QQuickItem *square = nullptr;
    QList<QQuickItem *> pending{qobject_cast<QQuickItem *>(list.data())};
    while (!pending.isEmpty() && !square) {
        QQuickItem *item = pending.takeFirst();
        if (item->objectName() == QLatin1String("moleculeColor3"))
            square = item;
        pending.append(item->childItems());
    }
    QVERIFY(square);
    QTest::mouseClick(m_t.window(), Qt::LeftButton, Qt::NoModifier,
                      square->mapToScene(QPointF(square->width() / 2.0, square->height() / 2.0)).toPoint());
    QTRY_COMPARE(molecules->property("activeIndex").toInt(), 3);
    QCOMPARE(molecules->property("selectedColor").toString(), params->molecule(2).color);
    dialog = m_t.window()->property("currentScreen").value<QObject *>();
    QVERIFY(dialog && dialog->findChild<QObject *>(QStringLiteral("colorPicker")));
    QMetaObject::invokeMethod(dialog, "close");
    QTRY_VERIFY(dialog.isNull());
    QMetaObject::invokeMethod(list, "close");
    QTRY_VERIFY(list.isNull());
    m_t.checkNoProblems();
}

void TestScreenAccess::typedNumbersApplyWhenCommitted_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("unitHolder");   // context name of the object whose unit is set first
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byEnter");         // else by leaving the field with Tab
    QTest::addColumn<double>("expected");      // NaN: refused

    const double refused = std::numeric_limits<double>::quiet_NaN();
    // 1.5e3 km; while typing, "1.5e" once rewrote the field and 1e309 m became 100009 m.
    QTest::newRow("path, exponent") << "Pathlength.qml" << "pathField" << "pathlengthQml" << 0 << "path"
                                    << "1.5e3" << true << 1.5e6;
    QTest::newRow("path beyond a double") << "Pathlength.qml" << "pathField" << "pathlengthQml" << 1 << "path"
                                          << "1e309" << true << refused;
    // Typing 296 once showed "The temperature 29 K is outside the partition-sum tables".
    QTest::newRow("temperature digit by digit") << "Temperature.qml" << "temperatureField" << "tempQml" << 0
                                                << "temperature" << "296" << false << 296.0;
    // 6.2e13 Hz is 6.2e13 / 29979245800 cm-1 (c in cm/s); it once stored 623 Hz.
    QTest::newRow("start in Hz") << "Wavelengths.qml" << "startField" << "wlQml" << 3 << "start" << "6.2e13" << false
                                 << 6.2e13 / 29979245800.0;
    // 2000000 points once left 200000 stored.
    QTest::newRow("points refused") << "Wavelengths.qml" << "pointsField" << "wlQml" << 2 << "points" << "2000000"
                                    << true << refused;
    QTest::newRow("points digit by digit") << "Wavelengths.qml" << "pointsField" << "wlQml" << 2 << "points" << "1000"
                                           << true << 1000.0;
    QTest::newRow("threshold 1e-2") << "LineOptions.qml" << "thresholdField" << "" << 0 << "threshold" << "1e-2"
                                    << false << 1e-27;
    // A minimum of 150 over a maximum of 100 once left 15.
    QTest::newRow("vertical minimum refused") << "YAxis.qml" << "minimumField" << "yAxisQml" << 2 << "y minimum"
                                              << "150" << true << refused;
    // 0.04 % is 400 ppmv.
    QTest::newRow("concentration in %") << "Molecules.qml" << "moleculeConcentration3" << "molListViewModel" << 0
                                        << "O3" << "0.04" << true << 400.0;
}

// Typed key by key into the real window: nothing is stored or refused until
// the user commits with Enter or by leaving the field; then exactly the value
// typed is stored, or it is refused beside the field, which keeps the text,
// and the stored value stays.
void TestScreenAccess::typedNumbersApplyWhenCommitted()
{
    QFETCH(QString, file);
    QFETCH(QString, field);
    QFETCH(QString, unitHolder);
    QFETCH(int, unit);
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, byEnter);
    QFETCH(double, expected);

    if (!unitHolder.isEmpty()) {
        QObject *holder = m_t.engine()->rootContext()->contextProperty(unitHolder).value<QObject *>();
        QVERIFY(holder->setProperty("units", unit));
    }
    QPointer<QObject> screen = m_t.openScreen(file);
    QVERIFY(screen);
    QTest::qWait(60);
    QQuickItem *entry = m_t.findItem(screen, field);
    QVERIFY2(entry, qPrintable(field));
    QQuickItem *input = m_t.findItem(entry, QStringLiteral("numberInput"));
    QQuickItem *problem = m_t.findItem(entry, QStringLiteral("numberProblem"));
    QVERIFY(input && problem);

    // No note is up before typing, so that one raised by the commit shows.
    m_t.core()->setOkDialogText(QString());
    const double before = storedValue(m_t.core(), stored);
    m_t.click(input);
    QTRY_VERIFY(input->hasActiveFocus());
    QTest::keyClick(m_t.window(), Qt::Key_A, Qt::ControlModifier);
    for (const QChar c : typed) {
        QTest::keyClick(m_t.window(), c.toLatin1());
        QCOMPARE(storedValue(m_t.core(), stored), before);
        QVERIFY(!problem->isVisible());
    }
    QCOMPARE(input->property("text").toString(), typed);
    QTest::keyClick(m_t.window(), byEnter ? Qt::Key_Return : Qt::Key_Tab);

    QCOMPARE(m_t.core()->okDialogText(), QString());
    if (std::isnan(expected)) {
        QCOMPARE(storedValue(m_t.core(), stored), before);
        QCOMPARE(input->property("text").toString(), typed);
        QTRY_VERIFY(problem->isVisible());
        QVERIFY(!problem->property("text").toString().isEmpty());
        m_t.shoot(QStringLiteral("Refusal-") + QFileInfo(file).baseName());
    } else {
        QVERIFY(std::fabs(storedValue(m_t.core(), stored) - expected) <= 1e-12 * std::fabs(expected));
        QVERIFY(!problem->isVisible());
        // While it has the focus the field keeps the text as typed.
        if (byEnter)
            QCOMPARE(input->property("text").toString(), typed);
    }
    // A refusal stays unapplied when the screen is closed twice.
    QMetaObject::invokeMethod(screen, "close");
    if (std::isnan(expected))
        QMetaObject::invokeMethod(screen, "close");
    QTRY_VERIFY(screen.isNull());
    QCOMPARE(m_t.core()->okDialogText(), QString());
    m_t.checkNoProblems();
}

// A number still being edited is applied when its screen closes; a refused
// one keeps the screen open with the reason until it is closed once more.
void TestScreenAccess::closingAScreenAppliesOrKeepsARefusal()
{
    m_t.core()->pathLengthUnit()->unit = PathLengthUnit::Metre;
    QPointer<QObject> screen = m_t.openScreen(QStringLiteral("Pathlength.qml"));
    QQuickItem *input = m_t.findItem(screen, QStringLiteral("numberInput"));
    m_t.click(input);
    QTest::keyClick(m_t.window(), Qt::Key_A, Qt::ControlModifier);
    for (const char c : {'2', '.', '5'})
        QTest::keyClick(m_t.window(), c);
    QCOMPARE(m_t.core()->params()->pathConditions().pathLength == 2.5, false);
    m_t.click(m_t.findItem(screen, QStringLiteral("closeButton")));
    QTRY_VERIFY(screen.isNull());
    QCOMPARE(m_t.core()->params()->pathConditions().pathLength, 2.5);

    screen = m_t.openScreen(QStringLiteral("Pathlength.qml"));
    input = m_t.findItem(screen, QStringLiteral("numberInput"));
    m_t.click(input);
    QTest::keyClick(m_t.window(), Qt::Key_A, Qt::ControlModifier);
    for (const char c : {'-', '1'})
        QTest::keyClick(m_t.window(), c);
    QTest::keyClick(m_t.window(), Qt::Key_Escape);
    QTest::qWait(60);
    QVERIFY(!screen.isNull());
    QVERIFY(m_t.findItem(screen, QStringLiteral("refusalNote"))->isVisible());
    QCOMPARE(input->property("text").toString(), QStringLiteral("-1"));
    m_t.shoot(QStringLiteral("Refusal-on-close-portrait"));
    QTest::keyClick(m_t.window(), Qt::Key_Escape);
    QTRY_VERIFY(screen.isNull());
    QCOMPARE(m_t.core()->params()->pathConditions().pathLength, 2.5);
    m_t.checkNoProblems();
}

void TestScreenAccess::keyboard()
{
    // Escape closes the screen on top, Ctrl+Q asks before quitting.
    QPointer<QObject> screen = m_t.openScreen(QStringLiteral("Temperature.qml"));
    QTest::keyClick(m_t.window(), Qt::Key_Escape);
    QTRY_VERIFY(screen.isNull());
    QTest::keyClick(m_t.window(), Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(m_t.window()->property("exitDialog").value<QObject *>());
    QTest::keyClick(m_t.window(), Qt::Key_Escape);
    QTRY_VERIFY(!m_t.window()->property("exitDialog").value<QObject *>());

    // + and - zoom the plot; F5 calculates.
    m_t.plot()->resetZoom();
    const double width = m_t.plot()->visibleX().to - m_t.plot()->visibleX().from;
    QTest::keyClick(m_t.window(), Qt::Key_Plus);
    QVERIFY(std::fabs((m_t.plot()->visibleX().to - m_t.plot()->visibleX().from) - width / 1.25) < width * 1e-3);
    QTest::keyClick(m_t.window(), Qt::Key_Minus);
    QVERIFY(std::fabs((m_t.plot()->visibleX().to - m_t.plot()->visibleX().from) - width) < width * 1e-3);
    QSignalSpy calculations(m_t.core(), &KolvexCore::updateSpectra);
    QTest::keyClick(m_t.window(), Qt::Key_F5);
    QTRY_VERIFY_WITH_TIMEOUT(calculations.count() > 0 && !m_t.core()->calculationIsRunning(), 60000);
    m_t.checkNoProblems();
}

// Every control on every screen carries a name for screen readers and UI
// automation: its text, or the label beside it.
void TestScreenAccess::everyControlHasAName()
{
    QAccessible::setActive(true);
    QStringList unnamed;
    for (const char *file : {"Menu.qml", "Wavelengths.qml", "Pathlength.qml", "TotalPressure.qml", "Temperature.qml",
                             "YAxis.qml", "Molecules.qml", "ColorDialog.qml", "AtmosphericModel.qml",
                             "AtmosphericModelApply.qml", "LineOptions.qml", "InstrumentFunction.qml",
                             "HitranDownloadOptions.qml", "Authenticate.qml", "ShareResultsChoice.qml", "About.qml",
                             "PortNumber.qml", ""}) {
        QPointer<QObject> screen = *file ? m_t.openScreen(QString::fromLatin1(file)) : m_t.window()->contentItem();
        // Rows of a list are made in the background: a row still being made
        // has no name yet, so the screen is looked at again until it is complete.
        const auto unnamedOn = [&] {
            QStringList found;
            QList<QQuickItem *> pending{qobject_cast<QQuickItem *>(screen.data())};
            while (!pending.isEmpty()) {
                QQuickItem *item = pending.takeFirst();
                pending.append(item->childItems());
                if (!item->isVisible() || !item->inherits("QQuickControl") || item->inherits("QQuickScrollBar")
                    || item->inherits("QQuickProgressBar") || item->inherits("QQuickLabel"))
                    continue;
                QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(item);
                if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
                    found << QStringLiteral("%1: %2 %3").arg(QLatin1String(*file ? file : "main"),
                                                              QLatin1String(item->metaObject()->className()),
                                                              item->objectName());
            }
            return found;
        };
        QStringList found = unnamedOn();
        for (int attempt = 0; attempt < 50 && !found.isEmpty(); ++attempt) {
            QTest::qWait(60);
            found = unnamedOn();
        }
        unnamed << found;
        if (*file) {
            QMetaObject::invokeMethod(screen, "close");
            QTRY_VERIFY(screen.isNull());
        }
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1Char('\n'))));
    m_t.checkNoProblems();
}

// The window and its title bar fit the screen's free area: the phone-sized
// default shrinks on a 1280x800 desktop, a saved place is kept while it lies
// on the screen, and one that does not (a screen that went away) is not.
void TestScreenAccess::windowOpensWithinTheScreen()
{
    const QRect desktop(0, 0, 1280, 800);
    const QSize frame(0, 32);   // a title bar
    // Centred: (1280 - 480) / 2; 800 - 32 pixels high at the top.
    QCOMPARE(WindowPlacement::place(QRect(), desktop, QSize(480, 800), frame), QRect(400, 0, 480, 768));
    QCOMPARE(WindowPlacement::place(QRect(100, 50, 600, 500), desktop, QSize(480, 800), frame),
             QRect(100, 50, 600, 500));
    QCOMPARE(WindowPlacement::place(QRect(3000, 2000, 600, 500), desktop, QSize(480, 800), frame),
             QRect(400, 0, 480, 768));
    // Too big for the screen now, and pushed back onto it.
    QCOMPARE(WindowPlacement::place(QRect(900, 10, 2000, 2000), desktop, QSize(480, 800), frame),
             QRect(0, 0, 1280, 768));
    QCOMPARE(WindowPlacement::place(QRect(1000, 600, 480, 400), desktop, QSize(480, 800), frame),
             QRect(800, 368, 480, 400));
}

QTEST_MAIN(TestScreenAccess)
#include "tst_screenaccess.moc"
