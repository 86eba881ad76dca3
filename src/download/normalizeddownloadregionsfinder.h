#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

// The fixed regions of the wavenumber axis in which line data are downloaded and
// stored, so that every stored piece has a predictable file name and is reused.
// Turns a requested range into the list of regions to fetch.
class NormalizedDownloadRegionsFinder : public QObject
{
    Q_OBJECT

public:
    static constexpr int regionCount = 132;
    static constexpr double lowestWavenumber = 0.0;
    static constexpr double highestWavenumber = 50000.0;

    explicit NormalizedDownloadRegionsFinder(QObject *parent = nullptr);

    void setFolder(const QString &folder) { m_folder = folder; }
    void setStart(double wavenumber) { m_start = wavenumber; }
    void setEnd(double wavenumber) { m_end = wavenumber; }
    QString folder() const { return m_folder; }

    // Every region touched by [start, end], the first and last clipped to the range.
    void formRegions();
    // Every region touched by [start, end] whose file is not in the folder, unclipped,
    // with its file name; then emits downloadRegionsFormed().
    void findMissingRegions();

    int regionListCount() const { return m_regionEnds.size(); }
    int regionIndex(int i) const { return m_regionIndices.value(i, -1); }
    double regionStart(int i) const { return m_regionStarts.value(i); }
    double regionEnd(int i) const { return m_regionEnds.value(i); }
    QString regionFileName(int i) const { return m_regionFileNames.value(i); }

    static double boundary(int index);
    // "87 - 2000 - 2050.par" for region 87.
    static QString fileNameOfRegion(int regionIndex);
    // The region index of a stored region file, or -1 for a name that is not one:
    // "<index> - <lower> - <upper>.par" with the index inside the table.
    static int regionIndexOfFileName(const QString &fileName);
    // Region indices of the region files present in a folder (none for a missing folder).
    static QVector<int> presentRegions(const QString &folder);

signals:
    void downloadRegionsFormed();

private:
    // First and one-past-last touched region of [m_start, m_end].
    void locate(int *first, int *last) const;
    void clearLists();

    QString m_folder;
    double m_start = 0.0;
    double m_end = 0.0;
    QVector<double> m_boundaries;
    QVector<int> m_regionIndices;
    QStringList m_regionFileNames;
    QVector<double> m_regionStarts;
    QVector<double> m_regionEnds;
};
