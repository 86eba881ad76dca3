#include "mainwindowundertest.h"

#include "offlinesettings.h"
#include "qmlwarnings.h"
#include "ui/notifierqml.h"
#include "ui/plot.h"
#include "ui/qmltypes.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QQmlContext>
#include <QQuickItemGrabResult>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

namespace {

// An object by name among the children and the visual children of `root`
// (list delegates have only a visual parent).
QObject *findNamed(QObject *root, const QString &name)
{
    for (QObject *child : root->children()) {
        if (child->objectName() == name)
            return child;
        if (QObject *found = findNamed(child, name))
            return found;
    }
    if (auto *item = qobject_cast<QQuickItem *>(root)) {
        for (QQuickItem *child : item->childItems()) {
            if (child->parent() == root)
                continue;   // already searched
            if (child->objectName() == name)
                return child;
            if (QObject *found = findNamed(child, name))
                return found;
        }
    }
    return nullptr;
}

} // namespace

MainWindowUnderTest::MainWindowUnderTest() = default;

MainWindowUnderTest::~MainWindowUnderTest()
{
    close();
}

void MainWindowUnderTest::createCore()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
    QmlWarnings::install();
    m_collecting = true;
    registerQmlTypes();
    m_core = std::make_unique<KolvexCore>(offlineSettings(m_dir.path()));
}

void MainWindowUnderTest::openWindow()
{
    m_views = std::make_unique<ViewObjects>(m_core.get());
    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_views->publish(m_engine->rootContext());
    m_engine->load(QUrl::fromLocalFile(QStringLiteral(KOLVEX_SOURCE_DIR "/qml/main.qml")));
    QCOMPARE(m_engine->rootObjects().size(), 1);
    m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
    QVERIFY(m_window);
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    QTRY_VERIFY_WITH_TIMEOUT(m_core->tipsLoaded(), 20000);
    QTRY_VERIFY(!m_views->notifier()->visible());
    m_plot = m_window->findChild<Plot *>(QStringLiteral("spectrumPlot"));
    QVERIFY(m_plot);
}

void MainWindowUnderTest::close()
{
    m_engine.reset();
    m_window = nullptr;
    m_plot = nullptr;
    m_views.reset();
    m_core.reset();
    if (m_collecting)
        QmlWarnings::uninstall();
    m_collecting = false;
}

QObject *MainWindowUnderTest::openScreen(const QString &file)
{
    QVariant screen;
    QMetaObject::invokeMethod(m_window, "openScreen", Q_RETURN_ARG(QVariant, screen), Q_ARG(QVariant, file));
    QTest::qWait(60);
    return screen.value<QObject *>();
}

void MainWindowUnderTest::click(QQuickItem *item)
{
    QVERIFY(item);
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2.0, item->height() / 2.0));
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

void MainWindowUnderTest::typeInto(QQuickItem *field, const QString &text)
{
    QVERIFY(field);
    field->forceActiveFocus();
    QMetaObject::invokeMethod(field, "selectAll");
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(m_window, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(field->property("text").toString(), text);
    // A number is applied when the user commits it.
    QTest::keyClick(m_window, Qt::Key_Return);
}

void MainWindowUnderTest::setOrientation(bool landscape)
{
    m_window->resize(landscape ? QSize(800, 480) : QSize(480, 800));
    QTest::qWait(60);
}

QImage MainWindowUnderTest::grab()
{
    // The offscreen platform keeps no window image; the scene is rendered into one.
    QTest::qWait(60);
    const QSharedPointer<QQuickItemGrabResult> result = m_window->contentItem()->grabToImage();
    if (!result)
        return QImage();
    QSignalSpy ready(result.data(), &QQuickItemGrabResult::ready);
    if (!ready.wait(5000))
        return QImage();
    return result->image();
}

void MainWindowUnderTest::shoot(const QString &name)
{
    const QImage image = grab();
    QVERIFY(!image.isNull());
    QVERIFY(image.save(screenshotFolder() + QLatin1Char('/') + name + QStringLiteral(".png")));
}

void MainWindowUnderTest::checkNoProblems()
{
    const QStringList problems = QmlWarnings::take();
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

QQuickItem *MainWindowUnderTest::findItem(QObject *root, const QString &name)
{
    QList<QQuickItem *> pending{qobject_cast<QQuickItem *>(root)};
    while (!pending.isEmpty()) {
        QQuickItem *item = pending.takeFirst();
        if (!item)
            continue;
        if (item->objectName() == name)
            return item;
        pending.append(item->childItems());
    }
    return nullptr;
}

QQuickItem *MainWindowUnderTest::findControl(QObject *root, const QString &path)
{
    QObject *current = root;
    if (auto *window = qobject_cast<QQuickWindow *>(root))
        current = window->contentItem();
    for (const QString &name : path.split(QLatin1Char('/')))
        current = current ? findNamed(current, name) : nullptr;
    return qobject_cast<QQuickItem *>(current);
}
