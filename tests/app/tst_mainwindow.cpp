#include "app/kolvexcore.h"
#include "app/qmltypes.h"
#include "offlinesettings.h"
#include "qmlwarnings.h"
#include "app/viewobjects.h"
#include "ui/notifierqml.h"

#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QQuickItem *findVisibleText(QObject *root, const QString &text)
{
    const auto items = root->findChildren<QQuickItem *>();
    for (QQuickItem *item : items) {
        if (item->isVisible() && item->property("text").toString() == text)
            return item;
    }
    return nullptr;
}

} // namespace

// The main window loads against the published objects and shows the banner and
// the OK dialog.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void windowLoadsWithoutWarnings();
    void bannerFollowsNotifications();
    void okDialogShowsEveryMessage();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<KolvexCore> m_core;
    std::unique_ptr<ViewObjects> m_views;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
};

void TestMainWindow::initTestCase()
{
    QmlWarnings::install();
    registerQmlTypes();
    m_core = std::make_unique<KolvexCore>(offlineSettings(m_dir.path()));
    m_views = std::make_unique<ViewObjects>(m_core.get());
    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_views->publish(m_engine->rootContext());
    m_engine->load(QUrl::fromLocalFile(QStringLiteral(KOLVEX_SOURCE_DIR "/qml/main.qml")));
}

void TestMainWindow::cleanupTestCase()
{
    m_engine.reset();
    m_views.reset();
    m_core.reset();
    QmlWarnings::uninstall();
}

void TestMainWindow::windowLoadsWithoutWarnings()
{
    // Start-up ends with the partition sums read and the banner hidden.
    QTRY_VERIFY(m_core->tipsLoaded());
    QTRY_VERIFY(!m_views->notifier()->visible());
    QCOMPARE(m_engine->rootObjects().size(), 1);
    auto *window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
    QVERIFY(window);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QStringList problems = QmlWarnings::take();
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

void TestMainWindow::bannerFollowsNotifications()
{
    QObject *root = m_engine->rootObjects().first();
    emit m_core->notify(QStringLiteral("Reading line data"), 0.5, true, true);
    QTRY_VERIFY(findVisibleText(root, QStringLiteral("Reading line data")));
    QVERIFY(findVisibleText(root, QStringLiteral("Cancel")));
    emit m_core->notify(QString(), 0.0, false, false);
    QTRY_VERIFY(!findVisibleText(root, QStringLiteral("Reading line data")));
    const QStringList problems = QmlWarnings::take();
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

void TestMainWindow::okDialogShowsEveryMessage()
{
    QObject *root = m_engine->rootObjects().first();
    auto *window = qobject_cast<QQuickWindow *>(root);
    const QString message = QStringLiteral("The temperature must be above 0 K.");
    for (int shown = 0; shown < 2; ++shown) {
        m_core->setOkDialogText(message);
        QTRY_VERIFY(findVisibleText(root, message));
        // Closing the dialog clears the text, so the same message opens it again.
        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_COMPARE(m_core->okDialogText(), QString());
    }
    const QStringList problems = QmlWarnings::take();
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
