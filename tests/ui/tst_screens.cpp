#include "app/kolvexcore.h"
#include "app/spectraresultsqml.h"
#include "calc/lbl.h"
#include "core/params.h"
#include "data/resultssaver.h"
#include "mainwindowundertest.h"
#include "qmlwarnings.h"
#include "ui/notifierqml.h"
#include "ui/plot.h"
#include "ui/reportimage.h"
#include "ui/shareresultsqml.h"
#include "ui/viewobjects.h"

#include <QDir>
#include <QImage>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

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
// both orientations, Calc draws the spectra, and a save writes its three
// files. How the screens take what the user types, clicks and presses, and
// what they tell screen readers, is tested in tst_screenaccess.
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
    void calcDrawsTheSpectra();
    void zoomAndTotalOnTheMainScreen();
    void saveWritesThreeFiles();
    void saveThatCannotWriteStops();
    void inputOnAScreenNeverReachesThePlot();
    void cancelledCalculationIsMarked();
    void profileTitleFitsItsPlot();

private:
    MainWindowUnderTest m_t;
};

void TestScreens::initTestCase()
{
    m_t.createCore();
    m_t.openWindow();
    m_t.checkNoProblems();
}

void TestScreens::cleanupTestCase()
{
    m_t.close();
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
    emit m_t.core()->notify(QStringLiteral("Reading line data"), 0.5, true, true);
    QTRY_VERIFY(hasVisibleText(m_t.window(), QStringLiteral("Reading line data")));
    QVERIFY(hasVisibleText(m_t.window(), QStringLiteral("Cancel")));
    emit m_t.core()->notify(QString(), 0.0, false, false);
    QTRY_VERIFY(!hasVisibleText(m_t.window(), QStringLiteral("Reading line data")));
    const QString message = QStringLiteral("The temperature must be above 0 K.");
    for (int shown = 0; shown < 2; ++shown) {
        m_t.core()->setOkDialogText(message);
        QTRY_VERIFY(hasVisibleText(m_t.window(), message));
        QTest::keyClick(m_t.window(), Qt::Key_Escape);
        QTRY_COMPARE(m_t.core()->okDialogText(), QString());
    }
    m_t.checkNoProblems();
}

void TestScreens::saveWithoutResultsSaysSo()
{
    // A re-plot before any calculation gives the table its grid columns only.
    m_t.views()->results()->updatePlot();
    ShareResultsQml *share = m_t.views()->shareResults();
    QVERIFY(!share->dataAvailable());
    share->saveToDocuments(QString());
    QCOMPARE(m_t.core()->okDialogText(), ShareResultsQml::noDataMessage());
    QVERIFY(!share->saving());
    QVERIFY(QDir(m_t.core()->resultsFolder()).entryList(QDir::Files).isEmpty());
    QTest::keyClick(m_t.window(), Qt::Key_Escape);
    QTRY_COMPARE(m_t.core()->okDialogText(), QString());
    m_t.checkNoProblems();
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
    QPointer<QObject> screen = m_t.openScreen(file);
    QVERIFY2(screen, qPrintable(file));
    const QString name = QFileInfo(file).baseName();
    for (bool landscape : {false, true}) {
        m_t.setOrientation(landscape);
        auto *item = qobject_cast<QQuickItem *>(screen.data());
        QVERIFY(item && item->isVisible());
        QCOMPARE(item->width(), m_t.window()->contentItem()->width());
        m_t.shoot(name + (landscape ? QStringLiteral("-landscape") : QStringLiteral("-portrait")));
    }
    if (file == QLatin1String("Menu.qml")) {
        screen->setProperty("page", 2);
        m_t.shoot(QStringLiteral("Menu-page2-landscape"));
    }
    m_t.setOrientation(false);
    QMetaObject::invokeMethod(screen, "close");
    QTRY_VERIFY(screen.isNull());
    m_t.checkNoProblems();
}

void TestScreens::calcDrawsTheSpectra()
{
    auto *calc = m_t.window()->findChild<QQuickItem *>(QStringLiteral("calcButton"));
    QVERIFY(calc);
    const QPointF centre = calc->mapToScene(QPointF(calc->width() / 2.0, calc->height() / 2.0));
    QTest::mouseClick(m_t.window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    QTRY_VERIFY_WITH_TIMEOUT(m_t.core()->lblRequested() || m_t.plot()->spectrumCount() > 0, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_t.core()->lblRequested() && !m_t.views()->notifier()->visible(), 60000);

    // The plot holds exactly the curves of the results table; the molecules
    // keep their shipped colours, so they are drawn in the palette's, in the
    // order shown (blue, orange, bluish green, reddish purple, ...).
    const CalculationResults *results = m_t.core()->results();
    QVERIFY(results->columnCount() > 2);
    QCOMPARE(m_t.plot()->spectrumCount(), results->columnCount() - 2);
    const QStringList palette{"#0072b2", "#e69f00", "#009e73", "#cc79a7", "#56b4e9",
                              "#d55e00", "#882255", "#332288", "#117733", "#ee6677"};
    QStringList expectedColors;
    for (int i = 0; i < m_t.plot()->spectrumCount(); ++i) {
        const SpectrumValues &drawn = m_t.plot()->spectrumValues(i);
        QCOMPARE(std::vector<double>(drawn.begin(), drawn.end()), results->columnValues(i + 2));
        expectedColors.append(palette.at(i % palette.size()));
    }
    QCOMPARE(m_t.plot()->lineColors(), expectedColors);
    QCOMPARE(m_t.plot()->visibleX().from, m_t.plot()->minX());

    // Offline the sample lines were used: a note says so without a dialog over
    // the banner, the plot is marked, and the legend names each curve.
    QCOMPARE(m_t.core()->okDialogText(), QString());
    QVERIFY2(m_t.core()->note().contains(QLatin1String("not the HITRAN database")), qPrintable(m_t.core()->note()));
    QVERIFY(m_t.window()->findChild<QQuickItem *>(QStringLiteral("noteBar"))->isVisible());
    QCOMPARE(m_t.plot()->plotTitle(), QStringLiteral("Sample lines, not the HITRAN database"));
    const QVariantList legend = m_t.views()->results()->legend();
    QCOMPARE(legend.size(), m_t.plot()->spectrumCount());
    for (int i = 0; i < legend.size(); ++i) {
        QCOMPARE(legend.at(i).toMap().value(QStringLiteral("name")).toString(), results->columnTitles().at(i + 2));
        QCOMPARE(legend.at(i).toMap().value(QStringLiteral("color")).toString(), expectedColors.at(i));
    }

    // The window shows them: each curve's colour inside the plot area.
    const QImage image = m_t.grab();
    QVERIFY(!image.isNull());
    const QRect area = m_t.plot()->mapRectToScene(m_t.plot()->plotArea()).toAlignedRect();
    image.save(screenshotFolder() + QStringLiteral("/Main-after-calc-portrait.png"));
    for (const QString &color : expectedColors)
        QVERIFY2(pixelsNear(image, area, QColor(color)) > 20, qPrintable(color));
    m_t.setOrientation(true);
    m_t.shoot(QStringLiteral("Main-after-calc-landscape"));
    m_t.setOrientation(false);
    m_t.checkNoProblems();
}

void TestScreens::zoomAndTotalOnTheMainScreen()
{
    const QPointF centre = m_t.plot()->mapToScene(m_t.plot()->plotArea().center());
    const double fullWidth = m_t.plot()->maxX() - m_t.plot()->minX();
    QWheelEvent wheel(centre, centre, QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(m_t.window(), &wheel);
    const double zoomedWidth = m_t.plot()->visibleX().to - m_t.plot()->visibleX().from;
    QVERIFY2(std::fabs(zoomedWidth - fullWidth / 1.25) < fullWidth * 1e-9, qPrintable(QString::number(zoomedWidth)));
    // A drag moves the view within the limits; a double click shows all again.
    const double from = m_t.plot()->visibleX().from;
    QTest::mousePress(m_t.window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    QTest::mouseMove(m_t.window(), (centre + QPointF(20, 0)).toPoint());
    QTest::mouseRelease(m_t.window(), Qt::LeftButton, Qt::NoModifier, (centre + QPointF(20, 0)).toPoint());
    QVERIFY(m_t.plot()->visibleX().from < from);
    QVERIFY(m_t.plot()->visibleX().from >= m_t.plot()->minX());
    QTest::mouseDClick(m_t.window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    QCOMPARE(m_t.plot()->visibleX().from, m_t.plot()->minX());
    QCOMPARE(m_t.plot()->visibleX().to, m_t.plot()->maxX());

    // "Total" shows the plain total in black and the instrument-function total in red.
    auto *total = m_t.window()->findChild<QQuickItem *>(QStringLiteral("totalButton"));
    QTest::mouseClick(m_t.window(), Qt::LeftButton, Qt::NoModifier,
                      total->mapToScene(QPointF(total->width() / 2.0, total->height() / 2.0)).toPoint());
    QTRY_COMPARE(m_t.plot()->lineColors(), (QStringList{QStringLiteral("black"), QStringLiteral("red")}));
    m_t.setOrientation(true);
    m_t.shoot(QStringLiteral("Main-total-landscape"));
    m_t.setOrientation(false);
    QTest::mouseClick(m_t.window(), Qt::LeftButton, Qt::NoModifier,
                      total->mapToScene(QPointF(total->width() / 2.0, total->height() / 2.0)).toPoint());
    QTRY_VERIFY(m_t.plot()->spectrumCount() > 2);
    m_t.checkNoProblems();
}

void TestScreens::saveWritesThreeFiles()
{
    ShareResultsQml *share = m_t.views()->shareResults();
    QVERIFY(share->dataAvailable());
    share->saveToDocuments(QString());
    QVERIFY(share->saving());
    QTRY_VERIFY_WITH_TIMEOUT(!share->saving(), 20000);
    QVERIFY(share->fileWritingComplete());

    const ResultsSaver *saver = m_t.core()->resultsSaver();
    QVERIFY(QRegularExpression(QStringLiteral("^kolvex-\\d\\d_\\d\\d_\\d{4}-\\d\\d_\\d\\d_\\d\\d$"))
                .match(saver->baseName()).hasMatch());
    const QString base = m_t.core()->resultsFolder() + QLatin1Char('/') + saver->baseName();
    QCOMPARE(saver->imageFilePath(), base + QStringLiteral(".png"));
    QCOMPARE(saver->dataFilePath(), base + QStringLiteral(".txt"));
    QCOMPARE(saver->configFilePath(), base + QStringLiteral("-config.txt"));
    QVERIFY(m_t.core()->okDialogText().contains(saver->dataFilePath()));

    // The image is a report of a fixed size, whatever the window's, with the
    // header line (and the mark of the sample lines) above the plot.
    const QImage image(saver->imageFilePath());
    QVERIFY(!image.isNull());
    image.save(screenshotFolder() + QStringLiteral("/Saved-image.png"));
    QCOMPARE(image.size(), QSize(ReportImage::width, ReportImage::height));
    // The conditions are named once, in the user's units, on the description's
    // first line (the pressure was named in atm above it and in mbar below);
    // the header names the quantity and the marks. The description ends with
    // the version and the time the calculation took.
    QCOMPARE(share->topString(), m_t.core()->results()->quantity()
                                     + QStringLiteral(";   Sample lines, not the HITRAN database;"));
    QCOMPARE(share->reportLines().mid(1), m_t.core()->results()->description());
    QCOMPARE(share->reportLines().join(QLatin1Char('\n')).count(QLatin1String("ressure")), 1);
    QVERIFY(share->reportLines().constLast().startsWith(QLatin1String("Kolvex ")));

    // The data file describes itself on comment lines, then the table.
    QFile data(saver->dataFilePath());
    QVERIFY(data.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList lines = QString::fromUtf8(data.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList comments;
    while (!lines.isEmpty() && lines.first().startsWith(QLatin1Char('#')))
        comments << lines.takeFirst();
    const QString described = comments.join(QLatin1Char('\n'));
    const QStringList shapes{"Doppler", "Lorentz", "Voigt", "Voigt"};
    const QString shape = QStringLiteral("Line shape ") + shapes.value(m_t.core()->params()->lineShapeProfile());
    for (const QString &part : {QStringLiteral("# Kolvex spectra: Absorption, %"), QStringLiteral("Path length 1000 m"),
                                shape, QStringLiteral("Instrument function Gaussian"),
                                QStringLiteral("Lines from the small sample line list"),
                                QStringLiteral("not the HITRAN database"), QStringLiteral("Partition sums: the TIPS tables")})
        QVERIFY2(described.contains(part), qPrintable(part + QStringLiteral(" in\n") + described));
    QCOMPARE(lines.first(), m_t.core()->results()->columnTitles().join(QLatin1Char('\t')));
    QCOMPARE(lines.size(), int(m_t.core()->results()->columnSize(0)) + 1);
    QCOMPARE(lines.at(1).split(QLatin1Char('\t')).size(), m_t.core()->results()->columnCount());

    QFile config(saver->configFilePath());
    QVERIFY(config.open(QIODevice::ReadOnly));
    m_t.core()->saveConfiguration();
    QFile usual(m_t.core()->configFilePath());
    QVERIFY(usual.open(QIODevice::ReadOnly));
    QCOMPARE(config.readAll(), usual.readAll());
    QTest::keyClick(m_t.window(), Qt::Key_Escape);
    QTRY_COMPARE(m_t.core()->okDialogText(), QString());
    m_t.checkNoProblems();
}

void TestScreens::saveThatCannotWriteStops()
{
    // The results folder lies under a plain file: nothing can be written there.
    QFile blocker(m_t.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ResultsSaver *saver = m_t.core()->resultsSaver();
    const QString usual = saver->outputFolder();
    saver->setOutputFolder(blocker.fileName() + QStringLiteral("/results"));
    ShareResultsQml *share = m_t.views()->shareResults();
    share->saveToDocuments(QString());
    QVERIFY(!share->saving());
    QVERIFY(m_t.core()->okDialogText().contains(QLatin1String("cannot be created")));
    QTRY_VERIFY(!m_t.views()->notifier()->visible());
    saver->setOutputFolder(usual);
    QTest::keyClick(m_t.window(), Qt::Key_Escape);
    QTRY_COMPARE(m_t.core()->okDialogText(), QString());

    // An image that never appears ends the save with a message instead of a wait without end.
    share->setFileTimeout(1000);
    share->saveToDocuments(QString());
    QVERIFY(share->saving());
    share->imageWritingFailed(QStringLiteral("/nowhere.png"));
    QVERIFY(!share->saving());
    QVERIFY(m_t.core()->okDialogText().contains(QLatin1String("could not be written")));
    QTest::keyClick(m_t.window(), Qt::Key_Escape);
    QTRY_COMPARE(m_t.core()->okDialogText(), QString());
    QTest::qWait(600);   // the window's own grab may still finish; it must not restart anything
    QVERIFY(!share->saving());
    share->setFileTimeout(ShareResultsQml::defaultFileTimeout);
    m_t.checkNoProblems();
}

// The wheel and clicks over an open screen stay on it: the plot behind keeps
// its range (the wheel over the plot itself zooms).
void TestScreens::inputOnAScreenNeverReachesThePlot()
{
    m_t.plot()->resetZoom();
    const QPointF centre = m_t.plot()->mapToScene(m_t.plot()->plotArea().center());
    const auto wheel = [this, centre] {
        QWheelEvent event(centre, centre, QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QCoreApplication::sendEvent(m_t.window(), &event);
    };
    const PlotMath::Range full = m_t.plot()->visibleX();
    for (const char *file : {"Wavelengths.qml", "Molecules.qml", "Menu.qml"}) {
        QPointer<QObject> screen = m_t.openScreen(QString::fromLatin1(file));
        wheel();
        QTest::mouseDClick(m_t.window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
        QCOMPARE(m_t.plot()->visibleX().from, full.from);
        QCOMPARE(m_t.plot()->visibleX().to, full.to);
        QMetaObject::invokeMethod(screen, "close");
        QTRY_VERIFY(screen.isNull());
    }
    wheel();
    QVERIFY(m_t.plot()->visibleX().to - m_t.plot()->visibleX().from < full.to - full.from);
    m_t.plot()->resetZoom();
    m_t.checkNoProblems();
}

// A cancelled calculation is drawn and saved as such until the next one.
void TestScreens::cancelledCalculationIsMarked()
{
    // Cancelled once lines have been added, as the banner's Cancel would be,
    // so that there are curves to draw and save; the banner hears of the
    // progress at every pass of the event loop.
    m_t.core()->lbl()->setProgressInterval(0);
    auto cancelSent = std::make_shared<bool>(false);
    const QMetaObject::Connection cancelOnProgress = connect(
        m_t.core(), &KolvexCore::notify, this, [this, cancelSent](const QString &message, double fraction) {
            if (*cancelSent || !message.contains(QLatin1String("records added")) || fraction >= 1.0)
                return;
            *cancelSent = true;
            QMetaObject::invokeMethod(m_t.core(), "cancelCalculation", Qt::QueuedConnection);
        });
    m_t.core()->calculate();
    QTRY_VERIFY_WITH_TIMEOUT(*cancelSent && !m_t.core()->calculationIsRunning(), 60000);
    disconnect(cancelOnProgress);
    m_t.core()->lbl()->setProgressInterval(200);
    const QString mark = m_t.views()->results()->resultMark();
    QVERIFY2(mark.startsWith(QStringLiteral("Cancelled at ")), qPrintable(mark));
    QCOMPARE(m_t.plot()->plotTitle(), mark);
    m_t.shoot(QStringLiteral("Main-cancelled-portrait"));

    ShareResultsQml *share = m_t.views()->shareResults();
    share->saveToDocuments(QString());
    QTRY_VERIFY_WITH_TIMEOUT(!share->saving(), 20000);
    const QString cancelled = mark.section(QLatin1Char('\n'), 0, 0);
    QVERIFY(share->topString().contains(QStringLiteral("   ") + cancelled + QLatin1Char(';')));
    QFile data(m_t.core()->resultsSaver()->dataFilePath());
    QVERIFY(data.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(data.readAll());
    QVERIFY2(text.contains(QStringLiteral("# ") + cancelled + QStringLiteral(": the calculation was stopped")),
             qPrintable(text.left(400)));
    QTest::keyClick(m_t.window(), Qt::Key_Escape);
    QTRY_COMPARE(m_t.core()->okDialogText(), QString());

    m_t.core()->calculate();
    QTRY_VERIFY_WITH_TIMEOUT(!m_t.core()->calculationIsRunning(), 60000);
    QVERIFY(!m_t.views()->results()->resultMark().contains(QLatin1String("Cancelled")));
    m_t.checkNoProblems();
}

QTEST_MAIN(TestScreens)
// The atmosphere profile's bottom title is drawn one and a half to two and a
// half text heights below the frame: the padding there holds it at every font
// size, a large one included (it was cut at a phone's font).
void TestScreens::profileTitleFitsItsPlot()
{
    const double fontSize = m_t.core()->defaultFontPointSize();
    const auto restore = qScopeGuard([this, fontSize] { m_t.core()->setDefaultFontPointSize(fontSize); });
    QPointer<QObject> screen = m_t.openScreen(QStringLiteral("AtmosphericModel.qml"));
    QVERIFY(screen);
    QQuickItem *plot = m_t.findItem(screen, QStringLiteral("profilePlot"));
    QVERIFY(plot);
    for (double size : {9.0, 13.0, 18.0}) {
        m_t.core()->setDefaultFontPointSize(size);
        QFont font;
        font.setPointSizeF(plot->property("fontPointSize").toDouble());
        QVERIFY(font.pointSizeF() > 0.0);
        const double textHeight = QFontMetricsF(font).height();
        QVERIFY2(plot->property("yMaxPadding").toDouble() >= 2.5 * textHeight,
                 qPrintable(QStringLiteral("%1 pt: padding %2 px, title to %3 px").arg(size)
                                .arg(plot->property("yMaxPadding").toDouble()).arg(2.5 * textHeight)));
    }
    QMetaObject::invokeMethod(screen, "close");
    QTRY_VERIFY(screen.isNull());
    m_t.checkNoProblems();
}

#include "tst_screens.moc"
