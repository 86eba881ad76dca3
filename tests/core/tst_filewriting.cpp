#include "core/regularfile.h"
#include "core/savefilewriter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

// The program's file writer on a disk that runs out of space, and the reader
// of the data folder's files given a FIFO, a device or a huge file. A full
// disk is made real with the file-size limit of the process: a write beyond
// it fails as one beyond the free space does.
class TestFileWriting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writeBeyondTheSpaceKeepsTheOldFile_data();
    void writeBeyondTheSpaceKeepsTheOldFile();
    void ownerOnlyFileIsNeverReadableByOthers();
    void onlyRegularFilesAreRead_data();
    void onlyRegularFilesAreRead();

private:
    QTemporaryDir m_folder;
};

namespace {

// Lowers the file-size limit of the process for its lifetime; a write beyond
// it fails with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

} // namespace

void TestFileWriting::initTestCase()
{
    QVERIFY(m_folder.isValid());
    std::signal(SIGXFSZ, SIG_IGN);
}

void TestFileWriting::writeBeyondTheSpaceKeepsTheOldFile_data()
{
    QTest::addColumn<int>("size");
    // A small text stays in the writer's buffer and meets the full disk only
    // when it is flushed, as a configuration file does.
    QTest::newRow("buffered, 6 kB") << 6000;
    QTest::newRow("written at once, 300 kB") << 300000;
}

void TestFileWriting::writeBeyondTheSpaceKeepsTheOldFile()
{
    QFETCH(int, size);
    const QString path = m_folder.filePath(QStringLiteral("config.txt"));
    const QByteArray old("the settings of the last run\n");
    SaveFileWriter writer;
    QVERIFY(writer.writeWhole(path, old));
    const QByteArray content(size, 'x');
    {
        const FileSizeLimit fullDisk(4096);
        const bool written = writer.open(path) && writer.write(content) && writer.commit();
        QVERIFY(!written);
        writer.cancel();
    }
    QVERIFY(!writer.errorString().isEmpty());
    QCOMPARE(contentOf(path), old);
    // No temporary file is left beside it.
    QCOMPARE(QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("config.txt")});
    // With space again the same writer succeeds.
    QVERIFY(writer.writeWhole(path, content));
    QCOMPARE(contentOf(path), content);
}

void TestFileWriting::ownerOnlyFileIsNeverReadableByOthers()
{
    const QString path = m_folder.filePath(QStringLiteral("login.txt"));
    SaveFileWriter writer;
    const mode_t mask = umask(0);   // the laxest setting a user may have
    const bool written = writer.writeWhole(path, "password=secret\n", FileWriter::Access::OwnerOnly);
    umask(mask);
    QVERIFY(written);
    QCOMPARE(QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
}

void TestFileWriting::onlyRegularFilesAreRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("readable");
    QTest::newRow("regular") << "regular" << true;
    QTest::newRow("FIFO without a writer") << "fifo" << false;
    QTest::newRow("link to /dev/zero") << "zero" << false;
    QTest::newRow("larger than the bound") << "large" << false;
    QTest::newRow("missing") << "missing" << false;
}

void TestFileWriting::onlyRegularFilesAreRead()
{
    QFETCH(QString, kind);
    QFETCH(bool, readable);
    const QString path = m_folder.filePath(kind);
    if (kind == QLatin1String("regular") || kind == QLatin1String("large")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(kind == QLatin1String("large") ? 1025 : 1024, 'a'));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("zero")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    }
    QByteArray content("old");
    QString problem;
    // A FIFO would block the opening and /dev/zero never end: both return at once.
    QCOMPARE(RegularFile::read(path, 1024, &content, &problem), readable);
    QCOMPARE(content.size(), readable ? 1024 : 0);
    QCOMPARE(problem.isEmpty(), readable);
}

QTEST_GUILESS_MAIN(TestFileWriting)
#include "tst_filewriting.moc"
