#include "data/resultssaver.h"

#include "core/calculationresults.h"

#include <QSaveFile>
#include <QTextStream>

ResultsSaver::ResultsSaver(const CalculationResults *results, QObject *parent)
    : QObject(parent)
    , m_results(results)
{
}

void ResultsSaver::prepareFileNames(const QDateTime &when)
{
    const QLocale locale = m_results->locale();
    m_headerText = locale.toString(m_results->pathLength(), 'g', 6) + QLatin1String(" meters;   ")
        + locale.toString(m_results->temperature(), 'g', 6) + QLatin1String(" Kelvin;   ")
        + locale.toString(m_results->totalPressure(), 'g', 6) + QLatin1String(" Atm;");
    m_baseName = QLatin1String("kolvex-") + when.toString(QStringLiteral("MM_dd_yyyy")) + QLatin1Char('-')
        + when.toString(QStringLiteral("HH_mm_ss"));
    const QString stem = m_outputFolder + QLatin1Char('/') + m_baseName;
    m_imageFilePath = stem + QLatin1String(".png");
    m_dataFilePath = stem + QLatin1String(".txt");
    m_configFilePath = stem + QLatin1String("-config.txt");
}

bool ResultsSaver::writeDataFile(const QString &path) const
{
    // Written to a temporary file and renamed, so that the file whose appearance
    // marks the end of a save is never seen half written.
    QSaveFile file(path.isEmpty() ? m_dataFilePath : path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream stream(&file);
    stream << m_results->dataFileText();
    stream.flush();
    return stream.status() == QTextStream::Ok && file.commit();
}
