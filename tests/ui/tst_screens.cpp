#include "app/kolvexcore.h"
#include "core/params.h"
#include "data/resultssaver.h"
#include "offlinesettings.h"
#include "qmlwarnings.h"
#include "ui/notifierqml.h"
#include "ui/plot.h"
#include "ui/qmltypes.h"
#include "ui/shareresultsqml.h"
#include "ui/spectraresultsqml.h"
#include "ui/viewobjects.h"

#include <QDir>
#include <QImage>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickItemGrabResult>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QSettings>
#include <QtTest>

namespace {

int pixelsNear(const QImage &image, const QRect &area, const QColor &color)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - color.red()) + std::abs(pixel.green() - color.green())
                    + std::abs(pixel.blue() - color.blue()) < 40)
                ++count;
        }
    }
    return count;
}

bool hasVisibleText(QObject *root, const QString &text)
{
    const auto items = root->findChildren<QQuickItem *>();
    return std::any_of(items.begin(), items.end(), [&text](const QQuickItem *item) {
        return item->isVisible() && item->property("text").toString() == text;
    });
}

} // namespace

// The main window as a user meets it: every screen opens and closes cleanly in
// both orientations, Calc draws the spectra, and a save writes its three files.
class TestScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyDocumentIsInTheResources();
    void bannerAndOkDialog();
    void saveWithoutResultsSaysSo();
    void everyScreenOpensAndCloses_data();
    void everyScreenOpensAndCloses();
    void exitQuestion();
    void calcDrawsTheSpectra();
    void zoomAndTotalOnTheMainScreen();
    void saveWritesThreeFiles();
    void saveThatCannotWriteStops();
    void confirmationsApplyTheirChoice();

private:
    QObject *openScreen(const QString &file);
    QImage grab();
    void shoot(const QString &name);
    void setOrientation(bool landscape);
    void checkNoProblems();

    QTemporaryDir m_dir;
    std::unique_ptr<KolvexCore> m_core;
    std::unique_ptr<ViewObjects> m_views;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
    Plot *m_plot = nullptr;
};

void TestScreens::initTestCase()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
    QmlWarnings::install();
    registerQmlTypes();
    m_core = std::make_unique<KolvexCore>(offlineSettings(m_dir.path()));
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
    checkNoProblems();
}

void TestScreens::cleanupTestCase()
{
    m_engine.reset();
    m_views.reset();
    m_core.reset();
    QmlWarnings::uninstall();
}

void TestScreens::checkNoProblems()
{
    const QStringList problems = QmlWarnings::take();
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

QObject *TestScreens::openScreen(const QString &file)
{
    QVariant screen;
    QMetaObject::invokeMethod(m_window, "openScreen", Q_RETURN_ARG(QVariant, screen), Q_ARG(QVariant, file));
    return screen.value<QObject *>();
}

void TestScreens::setOrientation(bool landscape)
{
    m_window->resize(landscape ? QSize(800, 480) : QSize(480, 800));
    QTest::qWait(60);
}

QImage TestScreens::grab()
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

void TestScreens::shoot(const QString &name)
{
    const QImage image = grab();
    QVERIFY(!image.isNull());
    QVERIFY(image.save(screenshotFolder() + QLatin1Char('/') + name + QStringLiteral(".png")));
}

void TestScreens::everyDocumentIsInTheResources()
{
    // The program loads its documents from the resources; one left out would
    // only fail when its screen is opened.
    QFile resources(QStringLiteral(KOLVEX_SOURCE_DIR "/qml/qml.qrc"));
    QVERIFY(resources.open(QIODevice::ReadOnly));
    const QString listed = QString::fromUtf8(resources.readAll());
    const QStringList documents = QDir(QStringLiteral(KOLVEX_SOURCE_DIR "/qml")).entryList({QStringLiteral("*.qml")});
    QVERIFY(documents.size() > 20);
    for (const QString &document : documents)
        QVERIFY2(listed.contains(QStringLiteral("<file>%1</file>").arg(document)), qPrintable(document));
}

// The banner shows a report with its Cancel button and goes with it; the OK
// dialog shows every message, the same one again once it was closed.
void TestScreens::bannerAndOkDialog()
{
    emit m_core->notify(QStringLiteral("Reading line data"), 0.5, true, true);
    QTRY_VERIFY(hasVisibleText(m_window, QStringLiteral("Reading line data")));
    QVERIFY(hasVisibleText(m_window, QStringLiteral("Cancel")));
    emit m_core->notify(QString(), 0.0, false, false);
    QTRY_VERIFY(!hasVisibleText(m_window, QStringLiteral("Reading line data")));
    const QString message = QStringLiteral("The temperature must be above 0 K.");
    for (int shown = 0; shown < 2; ++shown) {
        m_core->setOkDialogText(message);
        QTRY_VERIFY(hasVisibleText(m_window, message));
        QTest::keyClick(m_window, Qt::Key_Escape);
        QTRY_COMPARE(m_core->okDialogText(), QString());
    }
    checkNoProblems();
}

void TestScreens::saveWithoutResultsSaysSo()
{
    // A re-plot before any calculation gives the table its grid columns only.
    m_views->results()->updatePlot();
    ShareResultsQml *share = m_views->shareResults();
    QVERIFY(!share->dataAvailable());
    share->saveToDocuments(QString());
    QCOMPARE(m_core->okDialogText(), ShareResultsQml::noDataMessage());
    QVERIFY(!share->saving());
    QVERIFY(QDir(m_core->resultsFolder()).entryList(QDir::Files).isEmpty());
    QTest::keyClick(m_window, Qt::Key_Escape);
    QTRY_COMPARE(m_core->okDialogText(), QString());
    checkNoProblems();
}

void TestScreens::everyScreenOpensAndCloses_data()
{
    QTest::addColumn<QString>("file");
    for (const char *file : {"Menu.qml", "Wavelengths.qml", "Pathlength.qml", "TotalPressure.qml",
                             "Temperature.qml", "YAxis.qml", "Molecules.qml", "ColorDialog.qml",
                             "AtmosphericModel.qml", "AtmosphericModelApply.qml", "LineOptions.qml",
                             "InstrumentFunction.qml", "HitranDownloadOptions.qml", "Authenticate.qml",
                             "ShareResultsChoice.qml", "Sensors.qml", "SensorTagConnect.qml", "About.qml"})
        QTest::newRow(file) << QString::fromLatin1(file);
}

void TestScreens::everyScreenOpensAndCloses()
{
    QFETCH(QString, file);
    QPointer<QObject> screen = openScreen(file);
    QVERIFY2(screen, qPrintable(file));
    const QString name = QFileInfo(file).baseName();
    for (bool landscape : {false, true}) {
        setOrientation(landscape);
        auto *item = qobject_cast<QQuickItem *>(screen.data());
        QVERIFY(item && item->isVisible());
        QCOMPARE(item->width(), m_window->contentItem()->width());
        shoot(name + (landscape ? QStringLiteral("-landscape") : QStringLiteral("-portrait")));
    }
    if (file == QLatin1String("Menu.qml")) {
        screen->setProperty("page", 2);
        shoot(QStringLiteral("Menu-page2-landscape"));
    }
    setOrientation(false);
    QMetaObject::invokeMethod(screen, "close");
    QTRY_VERIFY(screen.isNull());
    checkNoProblems();
}

void TestScreens::exitQuestion()
{
    QVariant dialog;
    QMetaObject::invokeMethod(m_window, "openExitDialog", Q_RETURN_ARG(QVariant, dialog));
    QPointer<QObject> exitDialog = dialog.value<QObject *>();
    QVERIFY(exitDialog);
    QTRY_VERIFY(exitDialog->property("opened").toBool());
    shoot(QStringLiteral("ExitDialog-portrait"));
    QMetaObject::invokeMethod(exitDialog, "close");
    QTRY_VERIFY(exitDialog.isNull());
    checkNoProblems();
}

void TestScreens::calcDrawsTheSpectra()
{
    auto *calc = m_window->findChild<QQuickItem *>(QStringLiteral("calcButton"));
    QVERIFY(calc);
    const QPointF centre = calc->mapToScene(QPointF(calc->width() / 2.0, calc->height() / 2.0));
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    QTRY_VERIFY_WITH_TIMEOUT(m_core->lblRequested() || m_plot->spectrumCount() > 0, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_core->lblRequested() && !m_views->notifier()->visible(), 60000);

    // The plot holds exactly the curves of the results table, in the molecules' colours.
    const CalculationResults *results = m_core->results();
    QVERIFY(results->columnCount() > 2);
    QCOMPARE(m_plot->spectrumCount(), results->columnCount() - 2);
    QStringList expectedColors;
    for (int i = 0; i < m_plot->spectrumCount(); ++i) {
        const SpectrumValues &drawn = m_plot->spectrumValues(i);
        QCOMPARE(std::vector<double>(drawn.begin(), drawn.end()), results->columnValues(i + 2));
        const QString name = results->columnTitles().at(i + 2);
        const Params *params = m_core->params();
        for (int m = 0; m < params->moleculeCount(); ++m) {
            if (params->molecule(m).name == name)
                expectedColors.append(params->molecule(m).color);
        }
    }
    QCOMPARE(m_plot->lineColors(), expectedColors);
    QCOMPARE(m_plot->visibleX().from, m_plot->minX());

    // Offline, the core says that the sample lines were used; the message goes.
    if (!m_core->okDialogText().isEmpty()) {
        QTRY_VERIFY(m_window->findChild<QObject *>(QStringLiteral("okDialog"))->property("opened").toBool());
        QTest::keyClick(m_window, Qt::Key_Escape);
        QTRY_COMPARE(m_core->okDialogText(), QString());
        QTRY_VERIFY(!m_window->findChild<QObject *>(QStringLiteral("okDialog"))->property("visible").toBool());
    }

    // The window shows them: each curve's colour inside the plot area.
    const QImage image = grab();
    QVERIFY(!image.isNull());
    const QRect area = m_plot->mapRectToScene(m_plot->plotArea()).toAlignedRect();
    image.save(screenshotFolder() + QStringLiteral("/Main-after-calc-portrait.png"));
    for (const QString &color : expectedColors)
        QVERIFY2(pixelsNear(image, area, QColor(color)) > 20, qPrintable(color));
    setOrientation(true);
    shoot(QStringLiteral("Main-after-calc-landscape"));
    setOrientation(false);
    checkNoProblems();
}

void TestScreens::zoomAndTotalOnTheMainScreen()
{
    const QPointF centre = m_plot->mapToScene(m_plot->plotArea().center());
    const double fullWidth = m_plot->maxX() - m_plot->minX();
    QWheelEvent wheel(centre, centre, QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(m_window, &wheel);
    const double zoomedWidth = m_plot->visibleX().to - m_plot->visibleX().from;
    QVERIFY2(std::fabs(zoomedWidth - fullWidth / 1.25) < fullWidth * 1e-9, qPrintable(QString::number(zoomedWidth)));
    // A drag moves the view within the limits; a double click shows all again.
    const double from = m_plot->visibleX().from;
    QTest::mousePress(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    QTest::mouseMove(m_window, (centre + QPointF(20, 0)).toPoint());
    QTest::mouseRelease(m_window, Qt::LeftButton, Qt::NoModifier, (centre + QPointF(20, 0)).toPoint());
    QVERIFY(m_plot->visibleX().from < from);
    QVERIFY(m_plot->visibleX().from >= m_plot->minX());
    QTest::mouseDClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    QCOMPARE(m_plot->visibleX().from, m_plot->minX());
    QCOMPARE(m_plot->visibleX().to, m_plot->maxX());

    // "Total" shows the plain total in black and the instrument-function total in red.
    auto *total = m_window->findChild<QQuickItem *>(QStringLiteral("totalButton"));
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier,
                      total->mapToScene(QPointF(total->width() / 2.0, total->height() / 2.0)).toPoint());
    QTRY_COMPARE(m_plot->lineColors(), (QStringList{QStringLiteral("black"), QStringLiteral("red")}));
    setOrientation(true);
    shoot(QStringLiteral("Main-total-landscape"));
    setOrientation(false);
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier,
                      total->mapToScene(QPointF(total->width() / 2.0, total->height() / 2.0)).toPoint());
    QTRY_VERIFY(m_plot->spectrumCount() > 2);
    checkNoProblems();
}

void TestScreens::saveWritesThreeFiles()
{
    ShareResultsQml *share = m_views->shareResults();
    QVERIFY(share->dataAvailable());
    share->saveToDocuments(QString());
    QVERIFY(share->saving());
    QTRY_VERIFY_WITH_TIMEOUT(!share->saving(), 20000);
    QVERIFY(share->fileWritingComplete());

    const ResultsSaver *saver = m_core->resultsSaver();
    QVERIFY(QRegularExpression(QStringLiteral("^kolvex-\\d\\d_\\d\\d_\\d{4}-\\d\\d_\\d\\d_\\d\\d$"))
                .match(saver->baseName()).hasMatch());
    const QString base = m_core->resultsFolder() + QLatin1Char('/') + saver->baseName();
    QCOMPARE(saver->imageFilePath(), base + QStringLiteral(".png"));
    QCOMPARE(saver->dataFilePath(), base + QStringLiteral(".txt"));
    QCOMPARE(saver->configFilePath(), base + QStringLiteral("-config.txt"));
    QVERIFY(m_core->okDialogText().contains(saver->dataFilePath()));

    // The image shows the plot with the header line above it.
    const QImage image(saver->imageFilePath());
    QVERIFY(!image.isNull());
    image.save(screenshotFolder() + QStringLiteral("/Saved-image.png"));
    QVERIFY(image.width() >= int(m_plot->width()));
    QVERIFY(saver->headerText().contains(QLatin1String(" meters;   ")));
    QCOMPARE(share->topString(), saver->headerText());

    QFile data(saver->dataFilePath());
    QVERIFY(data.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(data.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.first(), m_core->results()->columnTitles().join(QLatin1Char('\t')));
    QCOMPARE(lines.size(), int(m_core->results()->columnSize(0)) + 1);
    QCOMPARE(lines.at(1).split(QLatin1Char('\t')).size(), m_core->results()->columnCount());

    QFile config(saver->configFilePath());
    QVERIFY(config.open(QIODevice::ReadOnly));
    m_core->saveConfiguration();
    QFile usual(m_core->configFilePath());
    QVERIFY(usual.open(QIODevice::ReadOnly));
    QCOMPARE(config.readAll(), usual.readAll());
    QTest::keyClick(m_window, Qt::Key_Escape);
    QTRY_COMPARE(m_core->okDialogText(), QString());
    checkNoProblems();
}

void TestScreens::saveThatCannotWriteStops()
{
    // The results folder lies under a plain file: nothing can be written there.
    QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ResultsSaver *saver = m_core->resultsSaver();
    const QString usual = saver->outputFolder();
    saver->setOutputFolder(blocker.fileName() + QStringLiteral("/results"));
    ShareResultsQml *share = m_views->shareResults();
    share->saveToDocuments(QString());
    QVERIFY(!share->saving());
    QVERIFY(m_core->okDialogText().contains(QLatin1String("cannot be created")));
    QTRY_VERIFY(!m_views->notifier()->visible());
    saver->setOutputFolder(usual);
    QTest::keyClick(m_window, Qt::Key_Escape);
    QTRY_COMPARE(m_core->okDialogText(), QString());

    // An image that never appears ends the save with a message instead of a wait without end.
    share->setFileTimeout(1000);
    share->saveToDocuments(QString());
    QVERIFY(share->saving());
    share->imageWritingFailed(QStringLiteral("/nowhere.png"));
    QVERIFY(!share->saving());
    QVERIFY(m_core->okDialogText().contains(QLatin1String("could not be written")));
    QTest::keyClick(m_window, Qt::Key_Escape);
    QTRY_COMPARE(m_core->okDialogText(), QString());
    QTest::qWait(600);   // the window's own grab may still finish; it must not restart anything
    QVERIFY(!share->saving());
    share->setFileTimeout(ShareResultsQml::defaultFileTimeout);
    checkNoProblems();
}

void TestScreens::confirmationsApplyTheirChoice()
{
    auto clickButton = [this](QObject *screen, const char *name) {
        auto *button = screen->findChild<QQuickItem *>(QLatin1String(name));
        QVERIFY(button);
        const QPointF centre = button->mapToScene(QPointF(button->width() / 2.0, button->height() / 2.0));
        QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    };
    QQmlContext *context = m_engine->rootContext();
    Params *params = m_core->params();

    // The tropical model's ground values replace the path's after "Yes" only.
    QObject *atmospheres = context->contextProperty(QStringLiteral("atmListViewModel")).value<QObject *>();
    QVERIFY(atmospheres->setProperty("modelNum", 0));
    const double temperature = params->pathConditions().temperature;
    QPointer<QObject> question = openScreen(QStringLiteral("AtmosphericModelApply.qml"));
    QTest::qWait(60);
    clickButton(question, "noButton");
    QTRY_VERIFY(question.isNull());
    QCOMPARE(params->pathConditions().temperature, temperature);
    question = openScreen(QStringLiteral("AtmosphericModelApply.qml"));
    QTest::qWait(60);
    clickButton(question, "yesButton");
    QTRY_VERIFY(question.isNull());
    QCOMPARE(params->pathConditions().temperature, 300.0);

    // A colour picked for molecule 2 becomes its plot colour.
    QObject *molecules = context->contextProperty(QStringLiteral("molListViewModel")).value<QObject *>();
    QVERIFY(molecules->setProperty("activeIndex", 2));
    QVERIFY(molecules->setProperty("selectedColor", QStringLiteral("#808080")));
    QPointer<QObject> dialog = openScreen(QStringLiteral("ColorDialog.qml"));
    QTest::qWait(60);
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
    QPointer<QObject> list = openScreen(QStringLiteral("Molecules.qml"));
    QTest::qWait(60);
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
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier,
                      square->mapToScene(QPointF(square->width() / 2.0, square->height() / 2.0)).toPoint());
    QTRY_COMPARE(molecules->property("activeIndex").toInt(), 3);
    QCOMPARE(molecules->property("selectedColor").toString(), params->molecule(2).color);
    dialog = m_window->property("currentScreen").value<QObject *>();
    QVERIFY(dialog && dialog->findChild<QObject *>(QStringLiteral("colorPicker")));
    QMetaObject::invokeMethod(dialog, "close");
    QTRY_VERIFY(dialog.isNull());
    QMetaObject::invokeMethod(list, "close");
    QTRY_VERIFY(list.isNull());
    checkNoProblems();
}

QTEST_MAIN(TestScreens)
#include "tst_screens.moc"
