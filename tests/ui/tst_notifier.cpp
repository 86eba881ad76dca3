#include "app/kolvexcore.h"
#include "offlinesettings.h"
#include "ui/notifierqml.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

// The progress banner: its start-up state, how reports through the core reach
// it, and that every report is announced and lets pending events run.
class TestNotifier : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startUpState();
    void reports_data();
    void reports();
    void repeatedReportAnnouncesEverything();
    void settersCompareFirst();

private:
    QTemporaryDir m_dataFolder;
    std::unique_ptr<KolvexCore> m_core;
};

void TestNotifier::initTestCase()
{
    QVERIFY(m_dataFolder.isValid());
    m_core = std::make_unique<KolvexCore>(offlineSettings(m_dataFolder.path()));
    // Let start-up finish, so that its reports do not reach the notifiers under test.
    QTRY_VERIFY(m_core->tipsLoaded());
}

void TestNotifier::startUpState()
{
    NotifierQml notifier(m_core.get());
    QCOMPARE(notifier.notification(), QStringLiteral("Initializing Kolvex"));
    QVERIFY(notifier.visible());
    QCOMPARE(notifier.value(), 0.0);
    QVERIFY(notifier.indeterminate());
    QVERIFY(!notifier.cancelButtonVisible());
}

void TestNotifier::reports_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<double>("shownValue");

    QTest::newRow("busy without progress") << "Loading downloaded TIPS data." << 0.0 << true << false << 0.0;
    QTest::newRow("measurable progress") << "Downloading" << 0.25 << true << true << 0.25;
    QTest::newRow("hidden") << "" << 0.0 << false << false << 0.0;
    QTest::newRow("not a number shows as busy") << "Working" << std::nan("") << true << true << 0.0;
    QTest::newRow("infinite shows as busy") << "Working" << HUGE_VAL << true << false << 0.0;
}

void TestNotifier::reports()
{
    QFETCH(QString, message);
    QFETCH(double, value);
    QFETCH(bool, visible);
    QFETCH(bool, cancel);
    QFETCH(double, shownValue);

    NotifierQml notifier(m_core.get());
    emit m_core->notify(message, value, visible, cancel);
    QCOMPARE(notifier.property("notification").toString(), message);
    QCOMPARE(notifier.property("value").toDouble(), shownValue);
    QCOMPARE(notifier.property("visible").toBool(), visible);
    QCOMPARE(notifier.property("cancelButtonVisible").toBool(), cancel);
    QCOMPARE(notifier.property("indeterminate").toBool(), shownValue == 0.0);
}

// The same report again is announced again, in the banner's order; a report
// runs no other event from inside it (its sender may be in the middle of its work).
void TestNotifier::repeatedReportAnnouncesEverything()
{
    NotifierQml notifier(m_core.get());
    QStringList order;
    connect(&notifier, &NotifierQml::visibleChanged, this, [&] { order << QStringLiteral("visible"); });
    connect(&notifier, &NotifierQml::valueChanged, this, [&] { order << QStringLiteral("value"); });
    connect(&notifier, &NotifierQml::indeterminateChanged, this, [&] { order << QStringLiteral("indeterminate"); });
    connect(&notifier, &NotifierQml::notificationChanged, this, [&] { order << QStringLiteral("notification"); });
    connect(&notifier, &NotifierQml::cancelButtonVisibleChanged, this, [&] { order << QStringLiteral("cancel"); });
    const QStringList once{"visible", "value", "indeterminate", "notification", "cancel"};
    int pendingCalls = 0;

    for (int report = 1; report <= 2; ++report) {
        QMetaObject::invokeMethod(this, [&] { ++pendingCalls; }, Qt::QueuedConnection);
        emit m_core->notify(QStringLiteral("Processing segment 1-20001."), 0.0, true, true);
        QCOMPARE(pendingCalls, 0);
    }
    QCOMPARE(order, once + once);
    QTRY_COMPARE(pendingCalls, 2);
}

void TestNotifier::settersCompareFirst()
{
    NotifierQml notifier(m_core.get());
    QSignalSpy valueChanged(&notifier, &NotifierQml::valueChanged);
    QSignalSpy indeterminateChanged(&notifier, &NotifierQml::indeterminateChanged);
    QSignalSpy visibleChanged(&notifier, &NotifierQml::visibleChanged);
    QSignalSpy notificationChanged(&notifier, &NotifierQml::notificationChanged);

    notifier.setValue(0.0);
    notifier.setVisible(true);
    notifier.setNotification(QStringLiteral("Initializing Kolvex"));
    notifier.setValue(0.5);
    notifier.setValue(0.75);
    QCOMPARE(valueChanged.count(), 2);
    QCOMPARE(indeterminateChanged.count(), 1);
    QVERIFY(!notifier.indeterminate());
    QCOMPARE(visibleChanged.count() + notificationChanged.count(), 0);
}

QTEST_GUILESS_MAIN(TestNotifier)
#include "tst_notifier.moc"
