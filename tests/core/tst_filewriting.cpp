#include "core/regularfile.h"
#include "core/savefilewriter.h"

#include "testfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

// The program's file writer on a disk that runs out of space and given
// targets that are no regular files, and the reader of the data folder's
// files given a FIFO, a device or a huge file. A full
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
    void onlyRegularFilesAreReplaced_data();
    void onlyRegularFilesAreReplaced();
    void targetThatChangesBeforeCommitIsKept();
    void regularFileThroughALinkIsWritten();
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

// The type bits of what is at path, links not followed; 0 when nothing is.
mode_t entryType(const QString &path)
{
    struct stat entry;
    return ::lstat(QFile::encodeName(path).constData(), &entry) == 0 ? (entry.st_mode & S_IFMT) : 0;
}

// Makes a node of a kind at path: "fifo", "folder", "socket" or "device" (a
// character device with the numbers of /dev/null, made in the test's own
// folder; only root may make one). Returns the type bits, 0 on failure.
mode_t makeNode(const QString &kind, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("fifo"))
        return ::mkfifo(name.constData(), 0600) == 0 ? S_IFIFO : 0;
    if (kind == QLatin1String("folder"))
        return QDir().mkdir(path) ? S_IFDIR : 0;
    if (kind == QLatin1String("device"))
        return ::mknod(name.constData(), S_IFCHR | 0600, makedev(1, 3)) == 0 ? S_IFCHR : 0;
    // A socket node stays after its descriptor is closed.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fd < 0 || name.size() >= int(sizeof address.sun_path))
        return 0;
    std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound ? S_IFSOCK : 0;
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
    // The system's words for the failure, not Qt's "Unknown error".
    QVERIFY2(writer.errorString().contains(QLatin1String("File too large")), qPrintable(writer.errorString()));
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

void TestFileWriting::onlyRegularFilesAreReplaced_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("route");
    for (const char *kind : {"fifo", "folder", "socket", "device"}) {
        for (const char *route : {"direct", "link", "two links", "linked folder"})
            QTest::addRow("%s, %s", kind, route) << kind << route;
    }
}

// A target that is no regular file is never replaced, whether it is named
// directly, through a link or a chain of links, or inside a folder reached
// through a link: replacing a link to a device as root turns the device into
// a file. The message names the file, and nothing is left behind.
void TestFileWriting::onlyRegularFilesAreReplaced()
{
    QFETCH(QString, kind);
    QFETCH(QString, route);
    if (kind == QLatin1String("device") && ::geteuid() != 0)
        QSKIP("Making a device node (mknod) needs root; the FIFO, folder and socket rows cover the rule.");
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString nodes = folder.filePath(QStringLiteral("nodes"));
    QVERIFY(QDir().mkdir(nodes));
    const QString node = nodes + QStringLiteral("/.partition-sums.bin");
    const mode_t type = makeNode(kind, node);
    QVERIFY2(type != 0, qPrintable(kind));

    QString target = node;
    if (route == QLatin1String("link")) {
        target = folder.filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(node, target));
    } else if (route == QLatin1String("two links")) {
        QVERIFY(QFile::link(node, folder.filePath(QStringLiteral("first"))));
        target = folder.filePath(QStringLiteral("second"));
        QVERIFY(QFile::link(folder.filePath(QStringLiteral("first")), target));
    } else if (route == QLatin1String("linked folder")) {
        QVERIFY(QFile::link(nodes, folder.filePath(QStringLiteral("data"))));
        target = folder.filePath(QStringLiteral("data/.partition-sums.bin"));
    }
    const QStringList before = QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);

    SaveFileWriter writer;
    QVERIFY(!writer.writeWhole(target, QByteArray(4096, 'x')));
    QVERIFY2(writer.errorString().contains(target), qPrintable(writer.errorString()));
    QVERIFY2(writer.errorString().contains(QLatin1String("not a regular file")), qPrintable(writer.errorString()));
    QCOMPARE(entryType(node), type);
    if (route == QLatin1String("link") || route == QLatin1String("two links"))
        QCOMPARE(entryType(target), mode_t(S_IFLNK));
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System), before);
    QCOMPARE(QDir(nodes).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral(".partition-sums.bin")});
}

// The target is looked at again when the new file is put in place: a FIFO
// that took the place of the old file meanwhile stays.
void TestFileWriting::targetThatChangesBeforeCommitIsKept()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("config.txt"));
    SaveFileWriter writer;
    QVERIFY(writer.writeWhole(path, "old\n"));
    QVERIFY(writer.open(path));
    QVERIFY(writer.write("new\n"));
    QVERIFY(QFile::remove(path));
    QCOMPARE(makeNode(QStringLiteral("fifo"), path), mode_t(S_IFIFO));
    QVERIFY(!writer.commit());
    QVERIFY2(writer.errorString().contains(path), qPrintable(writer.errorString()));
    QCOMPARE(entryType(path), mode_t(S_IFIFO));
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("config.txt")});
}

// A link to a regular file (a data folder that keeps its settings elsewhere)
// is written through: the file it points to gets the new content and the link
// stays a link. A link to nothing yet makes the file where it points.
void TestFileWriting::regularFileThroughALinkIsWritten()
{
    QTemporaryDir folder;
    const QString real = folder.filePath(QStringLiteral("real-config.txt"));
    const QString link = folder.filePath(QStringLiteral("config.txt"));
    SaveFileWriter writer;
    QVERIFY(writer.writeWhole(real, "old\n"));
    QVERIFY(QFile::link(real, link));
    QVERIFY2(writer.writeWhole(link, "new\n"), qPrintable(writer.errorString()));
    QCOMPARE(entryType(link), mode_t(S_IFLNK));
    QCOMPARE(contentOf(real), QByteArray("new\n"));

    const QString later = folder.filePath(QStringLiteral("later.txt"));
    const QString dangling = folder.filePath(QStringLiteral("dangling.txt"));
    QVERIFY(QFile::link(later, dangling));
    QVERIFY2(writer.writeWhole(dangling, "made\n"), qPrintable(writer.errorString()));
    QCOMPARE(entryType(dangling), mode_t(S_IFLNK));
    QCOMPARE(contentOf(later), QByteArray("made\n"));

    // A loop of links leads nowhere; it is left as it is.
    const QString loop = folder.filePath(QStringLiteral("loop"));
    QVERIFY(QFile::link(loop, loop));
    QVERIFY(!writer.writeWhole(loop, "x"));
    QVERIFY2(writer.errorString().contains(loop), qPrintable(writer.errorString()));
    QCOMPARE(entryType(loop), mode_t(S_IFLNK));
}

void TestFileWriting::onlyRegularFilesAreRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("readable");
    QTest::newRow("regular") << "regular" << true;
    QTest::newRow("FIFO without a writer") << "fifo" << false;
    QTest::newRow("link to an endless node") << "zero" << false;
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
        // A link to a node of the test's own that never ends when read.
        QVERIFY(TestFile::makeEndlessNode(path + QStringLiteral(".node")));
        QVERIFY(QFile::link(path + QStringLiteral(".node"), path));
    }
    QByteArray content("old");
    QString problem;
    // A FIFO would block the opening and an endless node never end: both return at once.
    QCOMPARE(RegularFile::read(path, 1024, &content, &problem), readable);
    QCOMPARE(content.size(), readable ? 1024 : 0);
    QCOMPARE(problem.isEmpty(), readable);
}

QTEST_GUILESS_MAIN(TestFileWriting)
#include "tst_filewriting.moc"
