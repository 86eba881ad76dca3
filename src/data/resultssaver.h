#pragma once

#include "core/savefilewriter.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

class CalculationResults;

// Writes the results of the last calculation, time-stamped, into the results
// folder: the names of the data file, the plot image and the configuration
// copy of one save, the header line above the image, and the data file itself.
class ResultsSaver : public QObject
{
    Q_OBJECT

public:
    explicit ResultsSaver(const CalculationResults *results, QObject *parent = nullptr);

    QString outputFolder() const { return m_outputFolder; }
    void setOutputFolder(const QString &folder) { m_outputFolder = folder; }

    // Header line, base name and the three file paths for a save at `when`.
    void prepareFileNames(const QDateTime &when = QDateTime::currentDateTime());
    QString headerText() const { return m_headerText; }
    QString baseName() const { return m_baseName; }
    QString dataFilePath() const { return m_dataFilePath; }
    QString imageFilePath() const { return m_imageFilePath; }
    QString configFilePath() const { return m_configFilePath; }
    // The report as vector figures beside the image.
    QString svgFilePath() const { return m_svgFilePath; }
    QString pdfFilePath() const { return m_pdfFilePath; }

    // Writes the columns to `path` (the data file path when empty); false when
    // the file cannot be written whole, and then nothing is left at the path.
    bool writeDataFile(const QString &path = QString());
    // The data file of `results` instead of those the saver was made for (the
    // same results with columns added for the file alone).
    bool writeDataFileOf(const CalculationResults &results);
    // Writes the encoded plot image to the image file path, whole or not at all.
    bool writeImageFile(const QByteArray &encodedImage);
    // Writes a figure document to `path`, whole or not at all.
    bool writeFigureFile(const QString &path, const QByteArray &document);
    // Why the last write failed.
    QString writeError() const { return m_writer->errorString(); }

    // Seam for tests: the writer both files go through (not owned); null puts
    // the program's own back.
    void setFileWriter(FileWriter *writer) { m_writer = writer ? writer : &m_ownWriter; }

private:
    const CalculationResults *m_results;
    QString m_outputFolder;
    QString m_headerText;
    QString m_baseName;
    QString m_dataFilePath;
    QString m_imageFilePath;
    QString m_configFilePath;
    QString m_svgFilePath;
    QString m_pdfFilePath;
    SaveFileWriter m_ownWriter;
    FileWriter *m_writer = &m_ownWriter;
};
