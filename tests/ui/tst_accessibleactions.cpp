#include "app/kolvexcore.h"
#include "core/params.h"
#include "core/xaxis.h"
#include "mainwindowundertest.h"

#include <QAccessible>
#include <QPointer>
#include <QQmlContext>
#include <QQuickItem>
#include <QtTest>

#include <algorithm>

// The controls as a screen reader, a switch device or voice control works
// them: through the accessibility interface, whose press and toggle actions
// change a control's state without a click. Every kind of control must then
// do what a click does; the AT-SPI bus itself is driven in tst_atspi.
class TestAccessibleActions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void selectAllActsOnItsToggle();
    void unitChoiceActsOnItsPress();
    void checkBoxesAndSwitchesActOnTheirToggle_data();
    void checkBoxesAndSwitchesActOnTheirToggle();
    void disabledChoiceStaysUnchosen();
    void pushButtonActsOnItsPress();
    void comboBoxEntryActsOnItsPress();
    void refusalIsTheFieldsDescription();

private:
    // The control's first action, as an assistive tool runs it (AT-SPI's
    // doAction(0)), or the action of that name.
    void act(QQuickItem *control, const QString &action = QString());
    QObject *view(const char *name);
    MainWindowUnderTest m_t;
};

void TestAccessibleActions::initTestCase()
{
    QAccessible::setActive(true);
    m_t.createCore();
    m_t.openWindow();
    m_t.checkNoProblems();
}

void TestAccessibleActions::cleanupTestCase()
{
    m_t.checkNoProblems();
    m_t.close();
}

void TestAccessibleActions::act(QQuickItem *control, const QString &action)
{
    QVERIFY(control);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
    QVERIFY(accessible);
    QAccessibleActionInterface *actions = accessible->actionInterface();
    QVERIFY(actions);
    QVERIFY(!actions->actionNames().isEmpty());
    QVERIFY(action.isEmpty() || actions->actionNames().contains(action));
    actions->doAction(action.isEmpty() ? actions->actionNames().first() : action);
    QTest::qWait(20);
}

QObject *TestAccessibleActions::view(const char *name)
{
    return m_t.engine()->rootContext()->contextProperty(QLatin1String(name)).value<QObject *>();
}

// The box unchecked, no molecule stays selected; checked again, all are. A
// row's own box makes the selection incomplete, and Select All says so.
void TestAccessibleActions::selectAllActsOnItsToggle()
{
    Params *params = m_t.core()->params();
    const auto selected = [params] {
        return int(std::count_if(params->molecules().begin(), params->molecules().end(),
                                 [](const Molecule &m) { return m.selected; }));
    };
    QMetaObject::invokeMethod(view("molListViewModel"), "selectAll", Q_ARG(bool, true));
    QPointer<QObject> screen = m_t.openScreen(QStringLiteral("Molecules.qml"));
    QQuickItem *selectAll = MainWindowUnderTest::findControl(screen, QStringLiteral("selectAllBox"));
    QVERIFY(selectAll);
    QVERIFY(selectAll->property("checked").toBool());

    act(selectAll);
    QCOMPARE(selected(), 0);
    QVERIFY(!selectAll->property("checked").toBool());
    act(selectAll);
    QCOMPARE(selected(), params->moleculeCount());
    QVERIFY(selectAll->property("checked").toBool());

    QQuickItem *row2 = nullptr;
    QTRY_VERIFY((row2 = MainWindowUnderTest::findItem(screen, QStringLiteral("moleculeCheck2"))) != nullptr);
    act(row2);
    QVERIFY(!params->molecule(1).selected);
    QCOMPARE(selected(), params->moleculeCount() - 1);
    QVERIFY(!row2->property("checked").toBool());
    QVERIFY(!selectAll->property("checked").toBool());
    act(row2);
    QVERIFY(params->molecule(1).selected);
    QVERIFY(selectAll->property("checked").toBool());
    QMetaObject::invokeMethod(screen, "close");
    QTRY_VERIFY(screen.isNull());
}

// Pressing a unit converts the range shown: 4-5 micrometres are 2500-2000 cm-1
// (1e4 / 4 and 1e4 / 5).
void TestAccessibleActions::unitChoiceActsOnItsPress()
{
    XAxis *axis = m_t.core()->xAxis();
    QPointer<QObject> screen = m_t.openScreen(QStringLiteral("Wavelengths.qml"));
    act(MainWindowUnderTest::findControl(screen, QStringLiteral("unitList/option1")));
    QCOMPARE(int(axis->units()), int(XAxis::WavelengthMicron));
    QQuickItem *start = MainWindowUnderTest::findControl(screen, QStringLiteral("startField/numberInput"));
    QQuickItem *end = MainWindowUnderTest::findControl(screen, QStringLiteral("endField/numberInput"));
    m_t.typeInto(start, QStringLiteral("4"));
    m_t.typeInto(end, QStringLiteral("5"));
    QCOMPARE(axis->minWavenumber(), 2000.0);
    QCOMPARE(axis->maxWavenumber(), 2500.0);

    act(MainWindowUnderTest::findControl(screen, QStringLiteral("unitList/option2")));
    QCOMPARE(int(axis->units()), int(XAxis::Wavenumber));
    QVERIFY(MainWindowUnderTest::findControl(screen, QStringLiteral("unitList/option2"))->property("checked").toBool());
    QVERIFY(!MainWindowUnderTest::findControl(screen, QStringLiteral("unitList/option1"))->property("checked").toBool());
    // In cm-1 the range runs from its lower wavenumber.
    QCOMPARE(start->property("text").toString(), QStringLiteral("2000"));
    QCOMPARE(end->property("text").toString(), QStringLiteral("2500"));
    // Pressing the entry in use changes nothing, and it stays checked.
    act(MainWindowUnderTest::findControl(screen, QStringLiteral("unitList/option2")));
    QCOMPARE(int(axis->units()), int(XAxis::Wavenumber));
    QVERIFY(MainWindowUnderTest::findControl(screen, QStringLiteral("unitList/option2"))->property("checked").toBool());
    QMetaObject::invokeMethod(screen, "close");
    QTRY_VERIFY(screen.isNull());
}

void TestAccessibleActions::checkBoxesAndSwitchesActOnTheirToggle_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("holder");
    QTest::addColumn<QString>("property");
    QTest::newRow("line shift box") << "LineOptions.qml" << "lineShiftBox" << "lineOptQml" << "useLineShift";
    QTest::newRow("rulers box") << "YAxis.qml" << "rulersBox" << "yAxisQml" << "enableRulers";
    QTest::newRow("automatic maximum box") << "YAxis.qml" << "autoRecalcBox" << "yAxisQml" << "autoRecalc";
    QTest::newRow("broadcast switch") << "Connect.qml" << "broadcastSwitch" << "remoteControlQml"
                                      << "broadcastManualInput";
    QTest::newRow("web pages switch") << "Connect.qml" << "allowWebPagesSwitch" << "remoteControlQml"
                                      << "allowWebPages";
}

// Each toggle turns the setting over, and the control shows the setting.
void TestAccessibleActions::checkBoxesAndSwitchesActOnTheirToggle()
{
    QFETCH(QString, file);
    QFETCH(QString, control);
    QFETCH(QString, holder);
    QFETCH(QString, property);
    QObject *settings = view(holder.toLatin1().constData());
    QVERIFY(settings);
    const QByteArray propertyName = property.toLatin1();
    QPointer<QObject> screen = m_t.openScreen(file);
    QQuickItem *item = MainWindowUnderTest::findControl(screen, control);
    QVERIFY(item);
    const bool before = settings->property(propertyName.constData()).toBool();
    QCOMPARE(item->property("checked").toBool(), before);
    act(item);
    QCOMPARE(settings->property(propertyName.constData()).toBool(), !before);
    QCOMPARE(item->property("checked").toBool(), !before);
    act(item);
    QCOMPARE(settings->property(propertyName.constData()).toBool(), before);
    QCOMPARE(item->property("checked").toBool(), before);
    QMetaObject::invokeMethod(screen, "close");
    QTRY_VERIFY(screen.isNull());
}

// Without a hygrometer "Sensor value" is shown disabled: an action on it
// chooses nothing, and the entry in use stays checked.
void TestAccessibleActions::disabledChoiceStaysUnchosen()
{
    QObject *sensors = view("sensorsQml");
    QVERIFY(!sensors->property("humiditySensorEnabled").toBool());
    QPointer<QObject> screen = m_t.openScreen(QStringLiteral("Molecules.qml"));
    QQuickItem *sensorValue = MainWindowUnderTest::findControl(screen, QStringLiteral("waterVapourSource/option1"));
    QVERIFY(sensorValue);
    QVERIFY(!sensorValue->isEnabled());
    act(sensorValue);
    QVERIFY(!sensors->property("humiditySensorEnabled").toBool());
    QVERIFY(!sensorValue->property("checked").toBool());
    QVERIFY(MainWindowUnderTest::findControl(screen, QStringLiteral("waterVapourSource/option0"))
                ->property("checked").toBool());
    QMetaObject::invokeMethod(screen, "close");
    QTRY_VERIFY(screen.isNull());
}

void TestAccessibleActions::pushButtonActsOnItsPress()
{
    act(MainWindowUnderTest::findControl(m_t.window(), QStringLiteral("menuButton")));
    QPointer<QObject> menu = m_t.window()->property("currentScreen").value<QObject *>();
    QVERIFY(menu);
    QCOMPARE(menu->objectName(), QStringLiteral("menuScreen"));
    act(MainWindowUnderTest::findControl(menu, QStringLiteral("closeButton")));
    QTRY_VERIFY(menu.isNull());
}

// A drop-down list opens and closes on its press; increase and decrease choose.
void TestAccessibleActions::comboBoxEntryActsOnItsPress()
{
    QObject *options = view("lineOptQml");
    QVERIFY(options->setProperty("lineBroadening", 0));
    QPointer<QObject> screen = m_t.openScreen(QStringLiteral("LineOptions.qml"));
    QQuickItem *combo = MainWindowUnderTest::findControl(screen, QStringLiteral("broadeningChoice"));
    act(combo, QAccessibleActionInterface::pressAction());
    QObject *popup = combo->property("popup").value<QObject *>();
    QVERIFY(popup);
    QTRY_VERIFY(popup->property("opened").toBool());
    act(combo, QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(!popup->property("visible").toBool());
    QCOMPARE(options->property("lineBroadening").toInt(), 0);
    // Increase and decrease step through the entries, and stop at the ends.
    act(combo, QAccessibleActionInterface::increaseAction());
    QCOMPARE(options->property("lineBroadening").toInt(), 1);
    QCOMPARE(combo->property("currentIndex").toInt(), 1);
    act(combo, QAccessibleActionInterface::increaseAction());
    QCOMPARE(options->property("lineBroadening").toInt(), 2);
    QCOMPARE(combo->property("currentIndex").toInt(), 2);
    act(combo, QAccessibleActionInterface::increaseAction());
    QCOMPARE(options->property("lineBroadening").toInt(), 2);
    act(combo, QAccessibleActionInterface::decreaseAction());
    QCOMPARE(options->property("lineBroadening").toInt(), 1);
    QMetaObject::invokeMethod(screen, "close");
    QTRY_VERIFY(screen.isNull());
}

// A screen reader reads why a value was refused: the reason shown below the
// field is its accessible description, and it goes with the refusal.
void TestAccessibleActions::refusalIsTheFieldsDescription()
{
    QPointer<QObject> screen = m_t.openScreen(QStringLiteral("Pathlength.qml"));
    QQuickItem *field = MainWindowUnderTest::findControl(screen, QStringLiteral("pathField/numberInput"));
    QVERIFY(field);
    m_t.typeInto(field, QStringLiteral("-3"));
    QQuickItem *reason = MainWindowUnderTest::findControl(screen, QStringLiteral("pathField/numberProblem"));
    QVERIFY(reason);
    const QString shown = reason->property("text").toString();
    QVERIFY(shown.contains(QLatin1String("path length")));
    QCOMPARE(QAccessible::queryAccessibleInterface(field)->text(QAccessible::Description), shown);
    m_t.typeInto(field, QStringLiteral("2"));
    QCOMPARE(QAccessible::queryAccessibleInterface(field)->text(QAccessible::Description), QString());
    QMetaObject::invokeMethod(screen, "close");
    QTRY_VERIFY(screen.isNull());
}

QTEST_MAIN(TestAccessibleActions)
#include "tst_accessibleactions.moc"
