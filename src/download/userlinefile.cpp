#include "download/userlinefile.h"

#include "download/linefilestore.h"
#include "download/locallinefeed.h"

#include <QDir>
#include <QFileInfo>

UserLineFile::UserLineFile(QObject *parent)
    : LineSource(parent)
{
}

UserLineFile::~UserLineFile() = default;

QString UserLineFile::name() const
{
    return QFileInfo(m_path).fileName();
}

bool UserLineFile::isPresent() const
{
    // Anything by that name counts, a FIFO, a device or a folder too: whether
    // it can serve is judged when it is used, and the user is told why not.
    const QFileInfo file(m_path);
    return !m_path.isEmpty() && (file.exists() || file.isSymLink());
}

void UserLineFile::prepare(const LineRequest &request)
{
    m_feed.reset();
    if (!isPresent()) {
        emit failed(QString());
        return;
    }
    const QString problem = LineFileStore::lineFileProblem(m_path);
    if (!problem.isEmpty()) {
        emit failed(QStringLiteral("Your line file %1 cannot be used: %2.").arg(name(), problem));
        return;
    }
    m_feed = std::make_unique<LocalLineFeed>(m_recordsPerChunk);
    m_feed->useSingleFile(m_path, request.lineStart, request.lineEnd, name());
    emit ready();
}

std::unique_ptr<LineFeed> UserLineFile::takeFeed()
{
    return std::move(m_feed);
}

QString UserLineFile::origin() const
{
    return QStringLiteral("the line file %1 on this device").arg(name());
}

QString UserLineFile::chooseFileName(const QString &folder)
{
    const QStringList lineFiles = QDir(folder).entryList({QStringLiteral("*.par")},
                                                         QDir::Files, QDir::Name);
    if (!lineFiles.isEmpty())
        return lineFiles.first();
    // Without a regular one, the first entry of another kind (a FIFO, a
    // folder) is taken, so that the user learns why it cannot serve.
    const QStringList others = QDir(folder).entryList(
        {QStringLiteral("*.par")}, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    return others.isEmpty() ? QStringLiteral("HITRAN2012.par") : others.first();
}
