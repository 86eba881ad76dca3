#include "app/kolvexcore.h"

#include "calc/instrumentfunction.h"
#include "calc/lbl.h"
#include "data/bundleddata.h"
#include "data/params.h"
#include "download/linesource.h"
#include "ui/resultssaver.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

KolvexCore::KolvexCore(QObject *parent)
    : KolvexCore(Settings(), parent)
{
}

KolvexCore::KolvexCore(const Settings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_pathLengthUnit{PathLengthUnit::Metre}
    , m_xAxis(XAxis::WavelengthMicron, 2000.0, 2300.0, 10000)
    , m_okDialogText(QStringLiteral("undefined"))
{
    m_calculationRunning = true;
    emit externalStorageAccessGrantedChanged();

    setUpFolders(settings);
    m_params = new Params(this);
    m_params->setTipsFolder(m_tipsFolder);
    connect(m_params, &Params::notify, this, &KolvexCore::notify);

    if (settings.useBundledData)
        BundledData::installMissingFiles(m_dataFolder);
    readParameterFiles();
    emit notify(QString(), 0.0, false, false);
    loadTips();

    m_params->setCrossSectionOnly(true);

    m_instrumentFunction = new InstrumentFunction(this);
    m_lbl = new Lbl(this, m_lineSource);
    m_lbl->setParams(m_params);
    m_lbl->setXAxis(&m_xAxis);
    m_lbl->setSpectra(&m_spectra);
    m_resultsSaver = new ResultsSaver(this);
    m_resultsSaver->setOutputFolder(m_resultsFolder);
    connect(m_lbl, &Lbl::notify, this, &KolvexCore::notify);
    connect(m_lbl, &Lbl::updateSpectra, this, &KolvexCore::updateSpectra);
    connect(m_lbl, &Lbl::calculationComplete, this, &KolvexCore::postCalculation);
    connect(m_instrumentFunction, &InstrumentFunction::openOkDialog, this, &KolvexCore::displayOkDialog);
    m_lineFileName = chooseLineFileName(m_dataFolder);
    m_calculationRunning = false;
}

KolvexCore::~KolvexCore() = default;

void KolvexCore::setUpFolders(const Settings &settings)
{
    m_dataFolder = settings.dataFolder.isEmpty()
        ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        : settings.dataFolder;
    m_tipsFolder = m_dataFolder + QLatin1String("/TIPS");
    m_downloadsFolder = m_dataFolder + QLatin1String("/HITRAN-downloads");
    m_resultsFolder = m_dataFolder + QLatin1String("/results");
    for (const QString &folder : {m_dataFolder, m_tipsFolder, m_downloadsFolder, m_resultsFolder}) {
        if (!QDir().mkpath(folder))
            qWarning() << "Cannot create the folder" << folder;
    }
}

void KolvexCore::readParameterFiles()
{
    const QString molparam = m_dataFolder + QLatin1String("/molparam.txt");
    if (QFileInfo::exists(molparam))
        m_params->readMolParams(molparam);
    const QString globalIds = m_dataFolder + QLatin1String("/globalid.txt");
    if (QFileInfo::exists(globalIds))
        m_params->readGlobalIds(globalIds);
}

QString KolvexCore::configFilePath() const
{
    return m_dataFolder + QLatin1String("/config.txt");
}

QString KolvexCore::chooseLineFileName(const QString &folder)
{
    const QStringList lineFiles = QDir(folder).entryList({QStringLiteral("*.par")},
                                                         QDir::Files, QDir::Name);
    return lineFiles.isEmpty() ? QStringLiteral("HITRAN2012.par") : lineFiles.first();
}

void KolvexCore::setLineSource(LineSource *source)
{
    if (m_lineSource)
        disconnect(m_lineSource, nullptr, this, nullptr);
    m_lineSource = source;
    m_lbl->setSource(source);
    connectLineSource();
}

void KolvexCore::connectLineSource()
{
    if (!m_lineSource)
        return;
    connect(m_lineSource, &LineSource::hitranDownloadComplete, this, &KolvexCore::calculateLineByLine);
    connect(m_lineSource, &LineSource::notify, this, &KolvexCore::notify);
    connect(m_lineSource, &LineSource::hitranDownloadUnsuccessful, this, &KolvexCore::postCalculation);
    connect(m_lineSource, &LineSource::openOkDialog, this, &KolvexCore::displayOkDialog);
    m_lineSource->setMolecules(&m_params->molecules());
}

void KolvexCore::loadTips()
{
    emit notify(QStringLiteral("Loading downloaded TIPS data."), 0.0, true, false);
    m_params->loadAllTipsFiles();
    emit notify(QString(), 0.0, false, false);
    m_tipsLoaded = true;
}

QString KolvexCore::calculationProblem() const
{
    const QString gridProblem = m_xAxis.validationProblem();
    if (!gridProblem.isEmpty())
        return gridProblem;
    return m_params->temperatureProblem(m_params->pathConditions().temperature);
}

void KolvexCore::calculate()
{
    if (!m_tipsLoaded) {
        setOkDialogText(QStringLiteral("TIPS files unavailable. Please restart\nkolvex when connected to internet\n"
                                       "to download TIPS from ")
                        + QUrl(m_settings.serviceBaseUrl).host());
        return;
    }
    if (m_calculationRunning)
        return;
    const QString problem = calculationProblem();
    if (!problem.isEmpty()) {
        setOkDialogText(problem);
        return;
    }
    if (!m_lineSource) {
        setOkDialogText(QStringLiteral("No source of line data is available."));
        return;
    }

    m_lineSource->setCancelRequested(false);
    m_calculationRunning = true;
    m_lblRequested = true;
    // Cleared once the calculation counts as running: clearing lets pending
    // events run, and a second request among them must be refused.
    m_lbl->setCancel(false);

    m_lineSource->setMolecules(&m_params->molecules());
    m_lineSource->setCalcStart(m_xAxis.minWavenumber());
    m_lineSource->setCalcEnd(m_xAxis.maxWavenumber());
    m_lineSource->fetchForCalculation();
}

void KolvexCore::calculateLineByLine()
{
    if (!m_lblRequested)
        return;
    m_lineSource->prepareLineData();
    m_lbl->start();
}

void KolvexCore::postCalculation()
{
    // A calculation ends once, however many of its sources report the end.
    if (!m_calculationRunning)
        return;
    QStringList moleculeNames;
    for (const Molecule &molecule : m_params->molecules())
        moleculeNames.append(molecule.name);
    const PathConditions &conditions = m_params->pathConditions();
    m_resultsSaver->setCalculationConditions(conditions.temperature, conditions.totalPressure,
                                             conditions.pathLength, moleculeNames,
                                             conditions.concentrations, &m_spectra, m_xAxis);
    if (m_lineSource)
        m_lineSource->clearLineRecords();
    emit notify(QString(), 0.0, false, true);
    QCoreApplication::processEvents();
    emit updateSpectra(true, true);
    QCoreApplication::processEvents();
    m_calculationRunning = false;
    m_lblRequested = false;
}

void KolvexCore::cancelCalculation()
{
    m_lbl->setCancel(true);
    if (m_lineSource)
        m_lineSource->setCancelRequested(true);
    QCoreApplication::processEvents();
}

void KolvexCore::saveConfiguration()
{
}

void KolvexCore::updatePlotInProgress(bool newPlotInProgress)
{
    Q_UNUSED(newPlotInProgress)
}

void KolvexCore::setDefaultFontPointSize(double size)
{
    if (qFuzzyCompare(m_defaultFontPointSize, size))
        return;
    m_defaultFontPointSize = size;
    emit defaultFontPointSizeChanged();
}

void KolvexCore::setDefaultLabelHeight(int height)
{
    if (m_defaultLabelHeight == height)
        return;
    m_defaultLabelHeight = height;
    emit defaultLabelHeightChanged();
}

void KolvexCore::setFontScalingRatio(double ratio)
{
    if (qFuzzyCompare(m_fontScalingRatio, ratio))
        return;
    m_fontScalingRatio = ratio;
    emit fontScalingRatioChanged();
}

void KolvexCore::setOkDialogText(const QString &text)
{
    if (m_okDialogText == text)
        return;
    m_okDialogText = text;
    emit okDialogTextChanged();
}
