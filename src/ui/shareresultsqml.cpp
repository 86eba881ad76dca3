#include "ui/shareresultsqml.h"

#include "app/configfile.h"
#include "app/kolvexcore.h"
#include "core/calculationresults.h"
#include "core/measuredoverlay.h"
#include "data/resultssaver.h"
#include "ui/measuredspectrumqml.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QUrl>

#include <utility>

ShareResultsQml::ShareResultsQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_core(core)
{
    m_imageTimer.setInterval(pollInterval);
    m_dataTimer.setInterval(pollInterval);
    connect(&m_imageTimer, &QTimer::timeout, this, &ShareResultsQml::imageTimerUpdate);
    connect(&m_dataTimer, &QTimer::timeout, this, &ShareResultsQml::dataTimerUpdate);
    connect(this, &ShareResultsQml::saveConfigToDocuments, this, &ShareResultsQml::saveConfigForSharing);
    connect(this, &ShareResultsQml::savingFilesToDiskComplete, this, &ShareResultsQml::fileSavedToDisk);
}

void ShareResultsQml::setSaveImage(const QString &path)
{
    // Every request is announced, also a second one for the same path.
    m_saveImage = path;
    emit saveImageChanged();
}

void ShareResultsQml::setAttachImage(bool attach)
{
    if (m_attachImage == attach)
        return;
    m_attachImage = attach;
    emit attachImageChanged();
}

void ShareResultsQml::setAttachDataFile(bool attach)
{
    if (m_attachDataFile == attach)
        return;
    m_attachDataFile = attach;
    emit attachDataFileChanged();
}

void ShareResultsQml::setTopString(const QString &text)
{
    m_topString = text;
    emit topStringChanged();
}

void ShareResultsQml::setFileWritingComplete(bool complete)
{
    m_fileWritingComplete = complete;
    emit fileWritingCompleteChanged();
}

void ShareResultsQml::setShareResults(bool share)
{
    if (m_shareResults == share)
        return;
    m_shareResults = share;
    emit shareResultsChanged();
}

bool ShareResultsQml::dataAvailable() const
{
    // The table holds the two x columns and one column per displayed spectrum.
    const CalculationResults *results = m_core ? m_core->results() : nullptr;
    return results && results->columnCount() > 2 && results->columnSize(0) > 3;
}

QStringList ShareResultsQml::reportLines() const
{
    QStringList lines{m_topString};
    if (m_core)
        lines += m_core->results()->description();
    return lines;
}

QString ShareResultsQml::resultsFolder() const
{
    return m_core ? m_core->resultsFolder() : QString();
}

void ShareResultsQml::showNoDataAlert()
{
    m_core->setOkDialogText(QStringLiteral("No calculation has been performed.\nThere are no data to save."));
}

void ShareResultsQml::saveToDocuments(const QString &unused)
{
    Q_UNUSED(unused)
    if (m_saving || !m_core)
        return;
    if (!dataAvailable()) {
        m_core->setOkDialogText(noDataMessage());
        return;
    }
    m_saving = true;
    m_configSaved = false;
    m_fileWritingComplete = false;
    emit m_core->notify(savingMessage(), 0.0, true, false);
    QCoreApplication::processEvents();

    ResultsSaver *saver = m_core->resultsSaver();
    if (saver->outputFolder().isEmpty())
        saver->setOutputFolder(m_core->resultsFolder());
    if (!QDir().mkpath(saver->outputFolder())) {
        fail(QStringLiteral("The results folder\n%1\ncannot be created. Nothing was saved.").arg(saver->outputFolder()));
        return;
    }
    saver->prepareFileNames();
    // A save within the same second reuses the names: the old files go first, so
    // that the waits below see the new ones only.
    for (const QString &path : {saver->imageFilePath(), saver->dataFilePath(), saver->configFilePath(),
                                saver->svgFilePath(), saver->pdfFilePath()})
        QFile::remove(path);

    m_waited = 0;
    m_imageTimer.start();
    // The header line names the quantity and says what the results are not, as
    // the plot does; the conditions follow once, in the user's units, in the
    // description below it.
    QString header = m_core->results()->quantity() + QLatin1Char(';');
    for (const QString &mark : m_core->results()->marks())
        header += QStringLiteral("   ") + mark + QLatin1Char(';');
    setTopString(header);
    setSaveImage(saver->imageFilePath());
}

void ShareResultsQml::imageWritingFailed(const QString &path)
{
    if (!m_saving)
        return;
    fail(QStringLiteral("The plot image could not be written to\n%1\nNothing more was saved.").arg(path));
}

bool ShareResultsQml::writeImage(const QVariant &image)
{
    ResultsSaver *saver = m_core->resultsSaver();
    const QImage picture = qvariant_cast<QImage>(image);
    QByteArray png;
    QBuffer buffer(&png);
    if (picture.isNull() || !buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG")) {
        imageWritingFailed(saver->imageFilePath());
        return false;
    }
    if (saver->writeImageFile(png))
        return true;
    if (m_saving)
        fail(QStringLiteral("The plot image could not be written to\n%1\n%2\nNothing was saved.")
                 .arg(saver->imageFilePath(), saver->writeError()));
    return false;
}

bool ShareResultsQml::writeFigures(const QByteArray &svg, const QByteArray &pdf)
{
    if (!m_saving)
        return false;
    ResultsSaver *saver = m_core->resultsSaver();
    const std::pair<QString, const QByteArray *> figures[] = {{saver->svgFilePath(), &svg},
                                                               {saver->pdfFilePath(), &pdf}};
    for (const auto &figure : figures) {
        if (!saver->writeFigureFile(figure.first, *figure.second)) {
            const QString why = figure.second->isEmpty() ? QStringLiteral("the figure could not be drawn")
                                                         : saver->writeError();
            fail(QStringLiteral("The figure could not be written to\n%1\n%2\nNothing more was saved.")
                     .arg(figure.first, why));
            return false;
        }
    }
    return true;
}

void ShareResultsQml::imageTimerUpdate()
{
    QCoreApplication::processEvents();
    if (!m_saving)
        return;
    ResultsSaver *saver = m_core->resultsSaver();
    if (!QFileInfo::exists(saver->imageFilePath())) {
        m_waited += pollInterval;
        if (m_waited >= m_fileTimeout)
            fail(QStringLiteral("The plot image was not written to\n%1\nNothing more was saved.").arg(saver->imageFilePath()));
        return;
    }
    m_imageTimer.stop();
    m_waited = 0;
    m_dataTimer.start();
    emit saveConfigToDocuments(saver->configFilePath());
    if (!m_saving)
        return;
    if (!writeDataFile())
        fail(QStringLiteral("The data file\n%1\ncannot be written (%2). The image was saved.")
                 .arg(saver->dataFilePath(), saver->writeError()));
}

void ShareResultsQml::saveConfigForSharing(const QString &path)
{
    ConfigFile *config = m_core->configFile();
    const QString usual = config->filePath();
    config->setFilePath(path);
    m_configSaved = config->save();
    config->setFilePath(usual);
    if (!m_configSaved && m_saving)
        fail(QStringLiteral("The configuration copy\n%1\ncannot be written.").arg(path));
}

void ShareResultsQml::dataTimerUpdate()
{
    QCoreApplication::processEvents();
    if (!m_saving)
        return;
    const ResultsSaver *saver = m_core->resultsSaver();
    if (QFileInfo::exists(saver->dataFilePath()) && QFileInfo::exists(saver->configFilePath())) {
        m_dataTimer.stop();
        emit savingFilesToDiskComplete();
        return;
    }
    m_waited += pollInterval;
    if (m_waited >= m_fileTimeout)
        fail(QStringLiteral("The data and configuration files were not written to\n%1").arg(saver->outputFolder()));
}

void ShareResultsQml::fileSavedToDisk()
{
    m_saving = false;
    const ResultsSaver *saver = m_core->resultsSaver();
    emit m_core->notify(QString(), 0.0, false, false);
    setFileWritingComplete(true);
    QString opened;
    if (m_shareResults) {
        setShareResults(false);
        // Without a program that opens folders the user is told where to look instead.
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(saver->outputFolder())))
            opened = QStringLiteral("\n\nNo program on this device opens the folder %1: the files are there.")
                         .arg(QDir::toNativeSeparators(saver->outputFolder()));
    }
    m_core->setOkDialogText(QStringLiteral("The results were saved:\n%1\n%2\n%3\n%4\n%5")
                                .arg(saver->dataFilePath(), saver->imageFilePath(), saver->svgFilePath(),
                                     saver->pdfFilePath(), saver->configFilePath())
                            + opened);
}

void ShareResultsQml::fail(const QString &message)
{
    m_imageTimer.stop();
    m_dataTimer.stop();
    m_saving = false;
    setShareResults(false);
    emit m_core->notify(QString(), 0.0, false, false);
    m_core->setOkDialogText(message);
}

void ShareResultsQml::shareImageAndText()
{
    // Sharing hands the saved files over: here the folder that holds them is
    // opened once the save is complete.
    if (!dataAvailable()) {
        showNoDataAlert();
        return;
    }
    setShareResults(true);
    saveToDocuments(QString());
}

bool ShareResultsQml::writeDataFile()
{
    ResultsSaver *saver = m_core->resultsSaver();
    const CalculationResults *results = m_core->results();
    const std::shared_ptr<const MeasuredOverlay> overlay = m_measured ? m_measured->overlay() : nullptr;
    if (!overlay || overlay->name().isEmpty() || results->columnCount() == 0)
        return saver->writeDataFile();
    // A measured spectrum adds two columns at the end, so that a reader of
    // the columns before finds them where they were.
    CalculationResults withMeasured = *results;
    QStringList description = results->description();
    if (!overlay->shown()) {
        description << overlay->name() + QLatin1Char('.');
    } else {
        const XAxis &axis = results->xAxis();
        const MeasuredOverlay::GridColumns columns
            = overlay->onGrid(axis.minWavenumber(), axis.step(), results->columnSize(0));
        description << QStringLiteral("Measured (%1): %2 of its %3 rows, each on the grid point nearest it within half a step "
                                      "(nan where none lies); Residual: measured minus %4, in the quantity of the "
                                      "table.")
                           .arg(m_measured->fileName())
                           .arg(columns.placed)
                           .arg(overlay->x().size())
                           .arg(overlay->fitted() ? QStringLiteral("the fitted model") : QStringLiteral("calculated"));
        withMeasured.addSparseColumn(columns.measured, QStringLiteral("Measured"));
        withMeasured.addSparseColumn(columns.residuals, QStringLiteral("Residual"));
    }
    withMeasured.setDescription(description);
    return saver->writeDataFileOf(withMeasured);
}
