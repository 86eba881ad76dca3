#include "data/resultssaver.h"

#include "core/calculationresults.h"


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
    m_svgFilePath = stem + QLatin1String(".svg");
    m_pdfFilePath = stem + QLatin1String(".pdf");
}

bool ResultsSaver::writeDataFile(const QString &path)
{
    // Written whole or not at all, so that the file whose appearance marks the
    // end of a save is never seen half written, nor left so on a full disk.
    return m_writer->writeWhole(path.isEmpty() ? m_dataFilePath : path, m_results->dataFileText().toUtf8());
}

bool ResultsSaver::writeImageFile(const QByteArray &encodedImage)
{
    return !encodedImage.isEmpty() && m_writer->writeWhole(m_imageFilePath, encodedImage);
}

bool ResultsSaver::writeFigureFile(const QString &path, const QByteArray &document)
{
    return !path.isEmpty() && !document.isEmpty() && m_writer->writeWhole(path, document);
}

bool ResultsSaver::writeDataFileOf(const CalculationResults &results)
{
    return m_writer->writeWhole(m_dataFilePath, results.dataFileText().toUtf8());
}
