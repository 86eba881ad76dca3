#include "download/normalizeddownloadregionsfinder.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestNormalizedDownloadRegionsFinder : public QObject
{
    Q_OBJECT

private slots:
    void formRegions_data();
    void formRegions();
    void fileNames_data();
    void fileNames();
    void missingRegions_data();
    void missingRegions();
};

static void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

void TestNormalizedDownloadRegionsFinder::formRegions_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<QVector<int>>("indices");
    QTest::addColumn<double>("firstStart");
    QTest::addColumn<double>("lastEnd");

    QTest::newRow("three regions, clipped") << 2000.0 << 2100.0 << QVector<int>{87, 88, 89} << 2000.0 << 2100.0;
    QTest::newRow("start on a boundary") << 2050.0 << 2100.0 << QVector<int>{88, 89} << 2050.0 << 2100.0;
    QTest::newRow("end on a boundary") << 2000.0 << 2090.0 << QVector<int>{87, 88} << 2000.0 << 2090.0;
    QTest::newRow("inside one region") << 2010.0 << 2020.0 << QVector<int>{87} << 2010.0 << 2020.0;
    QTest::newRow("empty range on a boundary") << 3.0 << 3.0 << QVector<int>{} << 0.0 << 0.0;
    QTest::newRow("last region") << 30000.0 << 50000.0 << QVector<int>{131} << 30000.0 << 50000.0;
}

void TestNormalizedDownloadRegionsFinder::formRegions()
{
    QFETCH(double, start);
    QFETCH(double, end);
    QFETCH(QVector<int>, indices);
    QFETCH(double, firstStart);
    QFETCH(double, lastEnd);

    NormalizedDownloadRegionsFinder finder;
    QSignalSpy formed(&finder, &NormalizedDownloadRegionsFinder::downloadRegionsFormed);
    finder.setStart(start);
    finder.setEnd(end);
    finder.formRegions();
    QCOMPARE(formed.count(), 0);
    QCOMPARE(finder.regionListCount(), indices.size());
    for (int i = 0; i < indices.size(); ++i) {
        QCOMPARE(finder.regionIndex(i), indices.at(i));
        // Inner boundaries are the table's, only the outer ones are clipped.
        if (i > 0)
            QCOMPARE(finder.regionStart(i), NormalizedDownloadRegionsFinder::boundary(indices.at(i)));
        if (i + 1 < indices.size())
            QCOMPARE(finder.regionEnd(i), NormalizedDownloadRegionsFinder::boundary(indices.at(i) + 1));
    }
    if (!indices.isEmpty()) {
        QCOMPARE(finder.regionStart(0), firstStart);
        QCOMPARE(finder.regionEnd(indices.size() - 1), lastEnd);
    }
}

void TestNormalizedDownloadRegionsFinder::fileNames_data()
{
    QTest::addColumn<int>("region");
    QTest::addColumn<QString>("name");
    QTest::newRow("first") << 0 << QStringLiteral("0 - 0 - 3.par");
    QTest::newRow("87") << 87 << QStringLiteral("87 - 2000 - 2050.par");
    QTest::newRow("127") << 127 << QStringLiteral("127 - 10600 - 11600.par");
    QTest::newRow("last") << 131 << QStringLiteral("131 - 20000 - 50000.par");
}

void TestNormalizedDownloadRegionsFinder::fileNames()
{
    QFETCH(int, region);
    QFETCH(QString, name);
    QCOMPARE(NormalizedDownloadRegionsFinder::fileNameOfRegion(region), name);
    QCOMPARE(NormalizedDownloadRegionsFinder::regionIndexOfFileName(name), region);
}

void TestNormalizedDownloadRegionsFinder::missingRegions_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QVector<int>>("missing");

    QTest::newRow("empty folder") << 2000.0 << 2100.0 << QStringList() << QVector<int>{87, 88, 89};
    QTest::newRow("first region stored")
        << 2000.0 << 2100.0 << QStringList{QStringLiteral("87 - 2000 - 2050.par")} << QVector<int>{88, 89};
    QTest::newRow("all stored") << 2000.0 << 2100.0
                                << QStringList{QStringLiteral("87 - 2000 - 2050.par"),
                                               QStringLiteral("88 - 2050 - 2090.par"),
                                               QStringLiteral("89 - 2090 - 2150.par")}
                                << QVector<int>{};
    // Files that are not region files (a temporary file of an interrupted write, a
    // note of the user) must not make any region look present.
    QTest::newRow("stray files do not count")
        << 0.0 << 5.0
        << QStringList{QStringLiteral("notes.txt"), QStringLiteral("0 - 0 - 3.par.Xy12ab"),
                       QStringLiteral("HITRAN2012.par")}
        << QVector<int>{0, 1};
    QTest::newRow("whole table") << 0.0 << 50000.0 << QStringList() << [] {
        QVector<int> all;
        for (int i = 0; i < NormalizedDownloadRegionsFinder::regionCount; ++i)
            all.append(i);
        return all;
    }();
    // Ranges outside the table are clipped to it instead of reading past its end.
    QTest::newRow("beyond the table") << 40000.0 << 90000.0 << QStringList() << QVector<int>{131};
    QTest::newRow("below the table") << -50.0 << 4.0 << QStringList() << QVector<int>{0, 1};
}

void TestNormalizedDownloadRegionsFinder::missingRegions()
{
    QFETCH(double, start);
    QFETCH(double, end);
    QFETCH(QStringList, present);
    QFETCH(QVector<int>, missing);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString &name : present)
        touch(dir.filePath(name));

    NormalizedDownloadRegionsFinder finder;
    QSignalSpy formed(&finder, &NormalizedDownloadRegionsFinder::downloadRegionsFormed);
    finder.setFolder(dir.path());
    finder.setStart(start);
    finder.setEnd(end);
    finder.findMissingRegions();
    QCOMPARE(formed.count(), 1);
    QCOMPARE(finder.regionListCount(), missing.size());
    for (int i = 0; i < missing.size(); ++i) {
        const int k = missing.at(i);
        QCOMPARE(finder.regionIndex(i), k);
        QCOMPARE(finder.regionStart(i), NormalizedDownloadRegionsFinder::boundary(k));
        QCOMPARE(finder.regionEnd(i), NormalizedDownloadRegionsFinder::boundary(k + 1));
        QCOMPARE(finder.regionFileName(i), NormalizedDownloadRegionsFinder::fileNameOfRegion(k));
    }

    // A folder that does not exist holds no region.
    finder.setFolder(dir.filePath(QStringLiteral("missing")));
    finder.findMissingRegions();
    QVERIFY(finder.regionListCount() >= missing.size());
}

QTEST_GUILESS_MAIN(TestNormalizedDownloadRegionsFinder)
#include "tst_normalizeddownloadregionsfinder.moc"
