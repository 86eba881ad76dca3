#include "app/kolvexcore.h"
#include "data/resultssaver.h"
#include "offlinesettings.h"
#include "ui/shareresultsqml.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

// The timed save without a window: the image is written (or not) by the test
// in place of the window.
class TestShareResults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void imageThatNeverComesEndsTheSave();
    void secondSaveInTheSameSecondReplacesTheFirst();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<KolvexCore> m_core;
};

void TestShareResults::initTestCase()
{
    m_core = std::make_unique<KolvexCore>(offlineSettings(m_dir.path()));
    QTRY_VERIFY_WITH_TIMEOUT(m_core->tipsLoaded(), 20000);
    CalculationResults *results = m_core->results();
    results->clearColumns();
    results->addColumn({2000.0, 2000.5, 2001.0, 2001.5}, QStringLiteral("Wavenumber, cm-1"));
    results->addColumn({2000.0, 2000.5, 2001.0, 2001.5}, QStringLiteral("Wavenumber, cm-1"));
    results->addColumn({0.5, 0.25, 0.125, 1e-9}, QStringLiteral("CO"));
}

void TestShareResults::imageThatNeverComesEndsTheSave()
{
    ShareResultsQml share(nullptr, m_core.get());
    share.setFileTimeout(1000);
    QSignalSpy done(&share, &ShareResultsQml::savingFilesToDiskComplete);
    share.saveToDocuments(QString());
    QVERIFY(share.saving());
    QVERIFY(!share.saveImage().isEmpty());
    // A second request while saving is ignored.
    share.saveToDocuments(QString());
    QTRY_VERIFY_WITH_TIMEOUT(!share.saving(), 3000);
    QCOMPARE(done.count(), 0);
    QVERIFY2(m_core->okDialogText().contains(QLatin1String("was not written")), qPrintable(m_core->okDialogText()));
    QVERIFY(!QFile::exists(m_core->resultsSaver()->dataFilePath()));
    m_core->setOkDialogText(QString());
}

void TestShareResults::secondSaveInTheSameSecondReplacesTheFirst()
{
    ShareResultsQml share(nullptr, m_core.get());
    // Stands in for the window: writes an image to the path asked for.
    connect(&share, &ShareResultsQml::saveImageChanged, &share, [&share] {
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::white);
        image.save(share.saveImage());
    });
    const ResultsSaver *saver = m_core->resultsSaver();
    for (int run = 0; run < 2; ++run) {
        share.saveToDocuments(QString());
        QTRY_VERIFY_WITH_TIMEOUT(!share.saving(), 5000);
        QVERIFY(share.fileWritingComplete());
        QVERIFY2(m_core->okDialogText().startsWith(QLatin1String("The results were saved")), qPrintable(m_core->okDialogText()));
        m_core->setOkDialogText(QString());
    }
    QFile data(saver->dataFilePath());
    QVERIFY(data.open(QIODevice::ReadOnly));
    QCOMPARE(data.readLine(), QByteArray("# Valid points: all 4.\n"));
    QCOMPARE(data.readLine(), QByteArray("Wavenumber, cm-1\tWavenumber, cm-1\tCO\n"));
    QCOMPARE(data.readLine(), QByteArray("2000\t2000\t0.5\n"));
    // One set of files per second: at most two sets, never a half-written one.
    const QStringList files = QDir(m_core->resultsFolder()).entryList(QDir::Files);
    QVERIFY(files.size() == 3 || files.size() == 6);
    QVERIFY(files.contains(QFileInfo(saver->configFilePath()).fileName()));
}

QTEST_MAIN(TestShareResults)
#include "tst_shareresults.moc"
