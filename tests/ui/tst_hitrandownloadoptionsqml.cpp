#include "app/kolvexcore.h"
#include "offlinesettings.h"
#include "download/hitranonlinedownloader.h"
#include "download/linesourcechain.h"
#include "download/normalizeddownloadregionsfinder.h"
#include "ui/hitrandownloadoptionsqml.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestHitranDownloadOptionsQml : public QObject
{
    Q_OBJECT

private slots:
    void usageMode();
    void cumulativeHitranExists();
};

void TestHitranDownloadOptionsQml::usageMode()
{
    QTemporaryDir dir;
    KolvexCore::Settings settings = offlineSettings(dir.path());
    settings.useBundledData = false;   // nothing to install or read: a quick start
    KolvexCore core(settings);
    LineSourceChain sources(QString{});
    HitranOnlineDownloader &downloader = *sources.downloader();
    HitranDownloadOptionsQml options(&core, &sources);
    QSignalSpy changed(&options, &HitranDownloadOptionsQml::hitranFileUsageChanged);

    QCOMPARE(options.hitranFileUsage(), 0);
    options.setHitranFileUsage(0);   // already set: nothing
    QCOMPARE(changed.count(), 0);
    options.setHitranFileUsage(2);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(downloader.usage(), 2);
    options.setHitranFileUsage(7);   // no such mode
    QCOMPARE(changed.count(), 1);
    QCOMPARE(downloader.usage(), 2);

    // A mode changed from outside (a remote command) reaches the screen.
    downloader.setUsage(1);
    emit core.valuesUpdated();
    QCOMPARE(changed.count(), 2);
    QCOMPARE(options.hitranFileUsage(), 1);
    options.setHitranFileUsage(1);
    QCOMPARE(changed.count(), 2);
}

void TestHitranDownloadOptionsQml::cumulativeHitranExists()
{
    QTemporaryDir dir;
    const QString downloads = dir.filePath(QStringLiteral("HITRAN-downloads"));
    QVERIFY(QDir().mkpath(downloads));
    LineSourceChain sources(QString{});
    sources.setUserLineFilePath(dir.filePath(QStringLiteral("HITRAN2012.par")));
    sources.setDownloadsFolder(downloads);
    HitranDownloadOptionsQml options(nullptr, &sources);

    QVERIFY(!options.cumulativeHitranExists());
    for (int k = 0; k < NormalizedDownloadRegionsFinder::regionCount - 1; ++k) {
        QFile file(downloads + QLatin1Char('/') + NormalizedDownloadRegionsFinder::fileNameOfRegion(k));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(!options.cumulativeHitranExists());   // one region short of complete
    QFile last(downloads + QLatin1Char('/') + NormalizedDownloadRegionsFinder::fileNameOfRegion(131));
    QVERIFY(last.open(QIODevice::WriteOnly));
    QVERIFY(options.cumulativeHitranExists());
    QVERIFY(last.remove());
    QFile cumulative(dir.filePath(QStringLiteral("HITRAN2012.par")));
    QVERIFY(cumulative.open(QIODevice::WriteOnly));
    QVERIFY(options.cumulativeHitranExists());
}

QTEST_GUILESS_MAIN(TestHitranDownloadOptionsQml)
#include "tst_hitrandownloadoptionsqml.moc"
