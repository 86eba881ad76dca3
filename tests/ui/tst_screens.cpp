#include "app/kolvexcore.h"
#include "app/spectraresultsqml.h"
#include "calc/lbl.h"
#include "core/params.h"
#include "data/resultssaver.h"
#include "offlinesettings.h"
#include "qmlwarnings.h"
#include "ui/notifierqml.h"
#include "ui/plot.h"
#include "ui/qmltypes.h"
#include "ui/reportimage.h"
#include "ui/shareresultsqml.h"
#include "ui/viewobjects.h"
#include "ui/windowplacement.h"

#include <QAccessible>
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
    void typedNumbersApplyWhenCommitted_data();
    void typedNumbersApplyWhenCommitted();
    void closingAScreenAppliesOrKeepsARefusal();
    void inputOnAScreenNeverReachesThePlot();
    void cancelledCalculationIsMarked();
    void keyboard();
    void everyControlHasAName();
    void windowOpensWithinTheScreen();

private:
    QObject *openScreen(const QString &file);
    QQuickItem *findItem(QObject *root, const QString &name) const;
    void clickOn(QQuickItem *item);
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

    // Offline the sample lines were used: a note says so without a dialog over
    // the banner, the plot is marked, and the legend names each curve.
    QCOMPARE(m_core->okDialogText(), QString());
    QVERIFY2(m_core->note().contains(QLatin1String("not the HITRAN database")), qPrintable(m_core->note()));
    QVERIFY(m_window->findChild<QQuickItem *>(QStringLiteral("noteBar"))->isVisible());
    QCOMPARE(m_plot->plotTitle(), QStringLiteral("Sample lines, not the HITRAN database"));
    const QVariantList legend = m_views->results()->legend();
    QCOMPARE(legend.size(), m_plot->spectrumCount());
    for (int i = 0; i < legend.size(); ++i) {
        QCOMPARE(legend.at(i).toMap().value(QStringLiteral("name")).toString(), results->columnTitles().at(i + 2));
        QCOMPARE(legend.at(i).toMap().value(QStringLiteral("color")).toString(), expectedColors.at(i));
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

    // The image is a report of a fixed size, whatever the window's, with the
    // header line (and the mark of the sample lines) above the plot.
    const QImage image(saver->imageFilePath());
    QVERIFY(!image.isNull());
    image.save(screenshotFolder() + QStringLiteral("/Saved-image.png"));
    QCOMPARE(image.size(), QSize(ReportImage::width, ReportImage::height));
    QVERIFY(saver->headerText().contains(QLatin1String(" meters;   ")));
    QCOMPARE(share->topString(), saver->headerText() + QStringLiteral("   Sample lines, not the HITRAN database;"));
    QCOMPARE(share->reportLines().mid(1), m_core->results()->description());

    // The data file describes itself on comment lines, then the table.
    QFile data(saver->dataFilePath());
    QVERIFY(data.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList lines = QString::fromUtf8(data.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList comments;
    while (!lines.isEmpty() && lines.first().startsWith(QLatin1Char('#')))
        comments << lines.takeFirst();
    const QString described = comments.join(QLatin1Char('\n'));
    const QStringList shapes{"Doppler", "Lorentz", "Voigt", "Voigt"};
    const QString shape = QStringLiteral("Line shape ") + shapes.value(m_core->params()->lineShapeProfile());
    for (const QString &part : {QStringLiteral("# Kolvex spectra: Absorption (%)"), QStringLiteral("Path length 1000 m"),
                                shape, QStringLiteral("Instrument function Gaussian"),
                                QStringLiteral("Lines from the small sample line list"),
                                QStringLiteral("not the HITRAN database"), QStringLiteral("Partition sums: the TIPS tables")})
        QVERIFY2(described.contains(part), qPrintable(part + QStringLiteral(" in\n") + described));
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

QQuickItem *TestScreens::findItem(QObject *root, const QString &name) const
{
    // List rows hang below the list's content item only, so the search walks the visual tree.
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

void TestScreens::clickOn(QQuickItem *item)
{
    QVERIFY(item);
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2.0, item->height() / 2.0));
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

void TestScreens::typedNumbersApplyWhenCommitted_data()
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
void TestScreens::typedNumbersApplyWhenCommitted()
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
        QObject *holder = m_engine->rootContext()->contextProperty(unitHolder).value<QObject *>();
        QVERIFY(holder->setProperty("units", unit));
    }
    QPointer<QObject> screen = openScreen(file);
    QVERIFY(screen);
    QTest::qWait(60);
    QQuickItem *entry = findItem(screen, field);
    QVERIFY2(entry, qPrintable(field));
    QQuickItem *input = findItem(entry, QStringLiteral("numberInput"));
    QQuickItem *problem = findItem(entry, QStringLiteral("numberProblem"));
    QVERIFY(input && problem);

    const double before = storedValue(m_core.get(), stored);
    clickOn(input);
    QTRY_VERIFY(input->hasActiveFocus());
    QTest::keyClick(m_window, Qt::Key_A, Qt::ControlModifier);
    for (const QChar c : typed) {
        QTest::keyClick(m_window, c.toLatin1());
        QCOMPARE(storedValue(m_core.get(), stored), before);
        QVERIFY(!problem->isVisible());
    }
    QCOMPARE(input->property("text").toString(), typed);
    QTest::keyClick(m_window, byEnter ? Qt::Key_Return : Qt::Key_Tab);

    QCOMPARE(m_core->okDialogText(), QString());
    if (std::isnan(expected)) {
        QCOMPARE(storedValue(m_core.get(), stored), before);
        QCOMPARE(input->property("text").toString(), typed);
        QTRY_VERIFY(problem->isVisible());
        QVERIFY(!problem->property("text").toString().isEmpty());
        shoot(QStringLiteral("Refusal-") + QFileInfo(file).baseName());
    } else {
        QVERIFY(std::fabs(storedValue(m_core.get(), stored) - expected) <= 1e-12 * std::fabs(expected));
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
    QCOMPARE(m_core->okDialogText(), QString());
    checkNoProblems();
}

// A number still being edited is applied when its screen closes; a refused
// one keeps the screen open with the reason until it is closed once more.
void TestScreens::closingAScreenAppliesOrKeepsARefusal()
{
    m_core->pathLengthUnit()->unit = PathLengthUnit::Metre;
    QPointer<QObject> screen = openScreen(QStringLiteral("Pathlength.qml"));
    QTest::qWait(60);
    QQuickItem *input = findItem(screen, QStringLiteral("numberInput"));
    clickOn(input);
    QTest::keyClick(m_window, Qt::Key_A, Qt::ControlModifier);
    for (const char c : {'2', '.', '5'})
        QTest::keyClick(m_window, c);
    QCOMPARE(m_core->params()->pathConditions().pathLength == 2.5, false);
    clickOn(findItem(screen, QStringLiteral("closeButton")));
    QTRY_VERIFY(screen.isNull());
    QCOMPARE(m_core->params()->pathConditions().pathLength, 2.5);

    screen = openScreen(QStringLiteral("Pathlength.qml"));
    QTest::qWait(60);
    input = findItem(screen, QStringLiteral("numberInput"));
    clickOn(input);
    QTest::keyClick(m_window, Qt::Key_A, Qt::ControlModifier);
    for (const char c : {'-', '1'})
        QTest::keyClick(m_window, c);
    QTest::keyClick(m_window, Qt::Key_Escape);
    QTest::qWait(60);
    QVERIFY(!screen.isNull());
    QVERIFY(findItem(screen, QStringLiteral("refusalNote"))->isVisible());
    QCOMPARE(input->property("text").toString(), QStringLiteral("-1"));
    shoot(QStringLiteral("Refusal-on-close-portrait"));
    QTest::keyClick(m_window, Qt::Key_Escape);
    QTRY_VERIFY(screen.isNull());
    QCOMPARE(m_core->params()->pathConditions().pathLength, 2.5);
    checkNoProblems();
}

// The wheel and clicks over an open screen stay on it: the plot behind keeps
// its range (the wheel over the plot itself zooms).
void TestScreens::inputOnAScreenNeverReachesThePlot()
{
    m_plot->resetZoom();
    const QPointF centre = m_plot->mapToScene(m_plot->plotArea().center());
    const auto wheel = [this, centre] {
        QWheelEvent event(centre, centre, QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QCoreApplication::sendEvent(m_window, &event);
    };
    const PlotMath::Range full = m_plot->visibleX();
    for (const char *file : {"Wavelengths.qml", "Molecules.qml", "Menu.qml"}) {
        QPointer<QObject> screen = openScreen(QString::fromLatin1(file));
        QTest::qWait(60);
        wheel();
        QTest::mouseDClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
        QCOMPARE(m_plot->visibleX().from, full.from);
        QCOMPARE(m_plot->visibleX().to, full.to);
        QMetaObject::invokeMethod(screen, "close");
        QTRY_VERIFY(screen.isNull());
    }
    wheel();
    QVERIFY(m_plot->visibleX().to - m_plot->visibleX().from < full.to - full.from);
    m_plot->resetZoom();
    checkNoProblems();
}

// A cancelled calculation is drawn and saved as such until the next one.
void TestScreens::cancelledCalculationIsMarked()
{
    // Cancelled once lines have been added, as the banner's Cancel would be,
    // so that there are curves to draw and save; the banner hears of the
    // progress at every pass of the event loop.
    m_core->lbl()->setProgressInterval(0);
    auto cancelSent = std::make_shared<bool>(false);
    const QMetaObject::Connection cancelOnProgress = connect(
        m_core.get(), &KolvexCore::notify, this, [this, cancelSent](const QString &message, double fraction) {
            if (*cancelSent || !message.contains(QLatin1String("records added")) || fraction >= 1.0)
                return;
            *cancelSent = true;
            QMetaObject::invokeMethod(m_core.get(), "cancelCalculation", Qt::QueuedConnection);
        });
    m_core->calculate();
    QTRY_VERIFY_WITH_TIMEOUT(*cancelSent && !m_core->calculationIsRunning(), 60000);
    disconnect(cancelOnProgress);
    m_core->lbl()->setProgressInterval(200);
    const QString mark = m_views->results()->resultMark();
    QVERIFY2(mark.startsWith(QStringLiteral("Cancelled at ")), qPrintable(mark));
    QCOMPARE(m_plot->plotTitle(), mark);
    shoot(QStringLiteral("Main-cancelled-portrait"));

    ShareResultsQml *share = m_views->shareResults();
    share->saveToDocuments(QString());
    QTRY_VERIFY_WITH_TIMEOUT(!share->saving(), 20000);
    const QString cancelled = mark.section(QLatin1Char('\n'), 0, 0);
    QVERIFY(share->topString().contains(QStringLiteral("   ") + cancelled + QLatin1Char(';')));
    QFile data(m_core->resultsSaver()->dataFilePath());
    QVERIFY(data.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(data.readAll());
    QVERIFY2(text.contains(QStringLiteral("# ") + cancelled + QStringLiteral(": the calculation was stopped")),
             qPrintable(text.left(400)));
    QTest::keyClick(m_window, Qt::Key_Escape);
    QTRY_COMPARE(m_core->okDialogText(), QString());

    m_core->calculate();
    QTRY_VERIFY_WITH_TIMEOUT(!m_core->calculationIsRunning(), 60000);
    QVERIFY(!m_views->results()->resultMark().contains(QLatin1String("Cancelled")));
    checkNoProblems();
}

void TestScreens::keyboard()
{
    // Escape closes the screen on top, Ctrl+Q asks before quitting.
    QPointer<QObject> screen = openScreen(QStringLiteral("Temperature.qml"));
    QTest::qWait(60);
    QTest::keyClick(m_window, Qt::Key_Escape);
    QTRY_VERIFY(screen.isNull());
    QTest::keyClick(m_window, Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(m_window->property("exitDialog").value<QObject *>());
    QTest::keyClick(m_window, Qt::Key_Escape);
    QTRY_VERIFY(!m_window->property("exitDialog").value<QObject *>());

    // + and - zoom the plot; F5 calculates.
    m_plot->resetZoom();
    const double width = m_plot->visibleX().to - m_plot->visibleX().from;
    QTest::keyClick(m_window, Qt::Key_Plus);
    QVERIFY(std::fabs((m_plot->visibleX().to - m_plot->visibleX().from) - width / 1.25) < width * 1e-3);
    QTest::keyClick(m_window, Qt::Key_Minus);
    QVERIFY(std::fabs((m_plot->visibleX().to - m_plot->visibleX().from) - width) < width * 1e-3);
    QSignalSpy calculations(m_core.get(), &KolvexCore::updateSpectra);
    QTest::keyClick(m_window, Qt::Key_F5);
    QTRY_VERIFY_WITH_TIMEOUT(calculations.count() > 0 && !m_core->calculationIsRunning(), 60000);
    checkNoProblems();
}

// Every control on every screen carries a name for screen readers and UI
// automation: its text, or the label beside it.
void TestScreens::everyControlHasAName()
{
    QAccessible::setActive(true);
    QStringList unnamed;
    for (const char *file : {"Menu.qml", "Wavelengths.qml", "Pathlength.qml", "TotalPressure.qml", "Temperature.qml",
                             "YAxis.qml", "Molecules.qml", "ColorDialog.qml", "AtmosphericModel.qml",
                             "AtmosphericModelApply.qml", "LineOptions.qml", "InstrumentFunction.qml",
                             "HitranDownloadOptions.qml", "Authenticate.qml", "ShareResultsChoice.qml", "About.qml",
                             "PortNumber.qml", ""}) {
        QPointer<QObject> screen = *file ? openScreen(QString::fromLatin1(file)) : m_window->contentItem();
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
    checkNoProblems();
}

// The window and its title bar fit the screen's free area: the phone-sized
// default shrinks on a 1280x800 desktop, a saved place is kept while it lies
// on the screen, and one that does not (a screen that went away) is not.
void TestScreens::windowOpensWithinTheScreen()
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

QTEST_MAIN(TestScreens)
#include "tst_screens.moc"
