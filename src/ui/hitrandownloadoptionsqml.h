#pragma once

#include <QObject>

class HitranOnlineDownloader;
class KolvexCore;
class LineSourceChain;

// View object of the "HITRAN options" screen: how line data are obtained (the
// downloader's usage mode), whether a complete local copy is present, and the
// one-time complete download.
class HitranDownloadOptionsQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int hitranFileUsage READ hitranFileUsage WRITE setHitranFileUsage NOTIFY hitranFileUsageChanged)
    Q_PROPERTY(bool cumulativeHitranExists READ cumulativeHitranExists NOTIFY cumulativeHitranExistsChanged)
    Q_PROPERTY(QString dataFolder READ dataFolder CONSTANT)

public:
    // The core relays valuesUpdated(); the line sources are the core's.
    HitranDownloadOptionsQml(KolvexCore *core, LineSourceChain *sources, QObject *parent = nullptr);

    int hitranFileUsage() const;
    void setHitranFileUsage(int usage);
    bool cumulativeHitranExists() const;
    // The folder this device reads its line files from, as the user would type it.
    QString dataFolder() const;

    Q_INVOKABLE void downloadCompleteHitran();
    // What the complete download would fetch, as a question to the user: the
    // regions not stored yet and roughly how many megabytes they are.
    Q_INVOKABLE QString completeDownloadQuestion() const;

    // The size of the whole line database as HITRANonline delivers it, MB.
    static constexpr int completeDatabaseMegabytes = 700;

signals:
    void hitranFileUsageChanged();
    void cumulativeHitranExistsChanged();

private:
    KolvexCore *m_core = nullptr;
    LineSourceChain *m_sources = nullptr;
    HitranOnlineDownloader *m_downloader = nullptr;
    int m_hitranFileUsage = 0;
};
