#include "app/kolvexcore.h"

#include "app/configfile.h"
#include "app/measuredfit.h"
#include "app/livecalculation.h"
#include "app/programsettings.h"
#include "app/resultdescription.h"
#include "app/startupdata.h"
#include "app/serialsettingsfile.h"
#include "calc/instrumentfunction.h"
#include "calc/lbl.h"
#include "core/atmospheremodelset.h"
#include "core/bundleddata.h"
#include "core/params.h"
#include "core/settingrules.h"
#include "data/parameterfiles.h"
#include "data/resultssaver.h"
#include "download/hitranonlinedownloader.h"
#include "download/linesourcechain.h"
#include "download/userlinefile.h"
#include "remote/bluetoothspp.h"
#include "remote/remotecontrol.h"
#include "remote/serialport.h"
#include "remote/websockets.h"
#include "sensors/sensors.h"

#include <QCoreApplication>
#include <QPointer>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <memory>
#include <system_error>

KolvexCore::KolvexCore(QObject *parent)
    : KolvexCore(Settings(), parent)
{
}

KolvexCore::KolvexCore(const Settings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_xAxis(XAxis::WavelengthMicron)
    , m_okDialogText(QStringLiteral("undefined"))
{
    emit externalStorageAccessGrantedChanged();
    setUpFolders(settings);
    m_params = std::make_unique<Params>();
    m_parameterFiles = std::make_unique<ParameterFiles>(m_params.get());
    m_parameterFiles->setTipsFolder(m_tipsFolder);
    m_parameterFiles->setReinstallShipped(settings.useBundledData);
    connect(m_parameterFiles.get(), &ParameterFiles::notify, this, &KolvexCore::notify);
    setUpDownloader();
    readStartupData();

    m_atmosphereModels = std::make_unique<AtmosphereModelSet>();
    m_atmosphereModels->setMoleculeCount(m_params->moleculeCount());
    m_atmosphereModels->buildModels();
    m_atmosphereModels->setCurrentIndex(AtmosphereModelSet::usStandardIndex);
    m_params->applyAtmosphereModelToParams(m_atmosphereModels->currentModel());
    m_sensors = std::make_unique<Sensors>(nullptr, m_params.get());

    setUpCalculation();
    setUpRemoteControl();
    loadConfiguration();
    m_calculationRunning = false;
    m_constructing = false;
}

KolvexCore::~KolvexCore()
{
    // The tables being read at start-up are not waited for by anyone now.
    if (m_tipsLoading.joinable())
        m_tipsLoading.join();
    // The parts go in the reverse order of their making; none of them reaches
    // the core, half gone, on its way.
    for (QObject *part : std::initializer_list<QObject *>{
             m_params.get(), m_parameterFiles.get(), m_lineSources.get(), m_downloader, m_sensors.get(),
             m_instrumentFunction.get(), m_lbl.get(), m_resultsSaver.get(), m_webSockets.get(), m_serialPort.get(),
             m_bluetooth.get(), m_remoteControl.get()}) {
        if (part)
            part->disconnect(this);
    }
}

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

void KolvexCore::setUpDownloader()
{
    const QString service = m_settings.serviceBaseUrl;
    m_lineSources = std::make_unique<LineSourceChain>(BundledData::sampleLineFile());
    m_downloader = m_lineSources->downloader();
    m_downloader->setServiceBaseUrl(service);
    m_downloader->setLoginUrl(service + QLatin1String("/login/"));
    m_downloader->setMolparamUrl(service + QLatin1String("/media/molparam.txt"));
    m_downloader->setGlobalIdUrl(m_settings.productBaseUrl + QLatin1String("/exe/globalid.txt"));
    m_downloader->setDataFolder(m_dataFolder);
    m_downloader->setTipsBaseUrl(service + QLatin1String("/data/Q/"));
    m_downloader->setTipsFolder(m_tipsFolder);
    m_downloader->setTipsRunTimeLimit(m_settings.tipsDownloadTimeLimit);
    m_downloader->setFileWriter(fileWriter());
    m_lineFileName = UserLineFile::chooseFileName(m_dataFolder);
    m_lineSources->setUserLineFilePath(m_dataFolder + QLatin1Char('/') + m_lineFileName);
    m_lineSources->setDownloadsFolder(m_downloadsFolder);
    // What the line sources and the downloads report, whichever source a
    // calculation uses; start-up downloads report their failures here too.
    connect(m_lineSources.get(), &LineSource::problem, this, &KolvexCore::displayOkDialog);
    connect(m_lineSources.get(), &LineSource::note, this, &KolvexCore::showNote);
    connect(m_downloader, &HitranOnlineDownloader::tipsDownloadComplete, this, &KolvexCore::loadTips);
    setLineSource(nullptr);
}

void KolvexCore::readStartupData()
{
    StartupData startup(m_dataFolder, m_parameterFiles.get(), m_downloader, fileWriter(),
                        [this](const QString &text) { tell(text); });
    startup.setUseShippedFiles(m_settings.useBundledData);
    startup.installShippedFiles();
    startup.fetchParameterFiles(m_settings.startupNetworkTimeout);
    // The start-up fetch has a short time limit of its own; later downloads
    // have the usual ones.
    m_downloader->setNetworkTimeout(m_settings.networkTimeout);
    m_downloader->setRequestTimeLimit(m_settings.requestTimeLimit);
    startup.readParameterFiles();
    m_downloader->setMolecules(&m_params->molecules());
    emit notify(QString(), 0.0, false, false);
    // The partition-sum check starts once events are processed, by when the
    // banner listens: missing files are downloaded with progress, and
    // tipsDownloadComplete() then reads them all.
    QMetaObject::invokeMethod(m_downloader, &HitranOnlineDownloader::downloadTips, Qt::QueuedConnection);
}

void KolvexCore::setUpCalculation()
{
    m_instrumentFunction = std::make_unique<InstrumentFunction>();
    m_lbl = std::make_unique<Lbl>();
    m_lbl->setParams(m_params.get());
    m_lbl->setXAxis(&m_calculationAxis);
    m_lbl->setSpectra(&m_spectra);
    m_resultsSaver = std::make_unique<ResultsSaver>(&m_results);
    m_resultsSaver->setOutputFolder(m_resultsFolder);
    m_resultsSaver->setFileWriter(fileWriter());
    // A live calculation says nothing in the banner: the plot's mark does.
    connect(m_lbl.get(), &Lbl::notify, this,
            [this](const QString &message, double value, bool visible, bool cancelButtonVisible) {
                if (!m_liveRun)
                    emit notify(message, value, visible, cancelButtonVisible);
            });
    connect(m_lbl.get(), &Lbl::calculationComplete, this, &KolvexCore::postCalculation);
    connect(m_lbl.get(), &Lbl::openOkDialog, this, &KolvexCore::displayOkDialog);
    connect(m_instrumentFunction.get(), &InstrumentFunction::openOkDialog, this, &KolvexCore::displayOkDialog);
    m_live = std::make_unique<LiveCalculation>(this);
}

void KolvexCore::setUpRemoteControl()
{
    m_remoteControl = std::make_unique<RemoteControl>();
    CommandTargets targets;
    targets.params = m_params.get();
    targets.xAxis = &m_xAxis;
    targets.yAxis = &m_yAxis;
    targets.sensors = m_sensors.get();
    targets.instrumentFunction = m_instrumentFunction.get();
    targets.atmosphereModels = m_atmosphereModels.get();
    targets.downloader = m_downloader;
    targets.results = &m_results;
    m_measuredFit = std::make_unique<MeasuredFit>(this);
    targets.fitting = m_measuredFit.get();
    targets.live = m_live.get();
    m_remoteControl->setTargets(targets);
    m_webSockets = std::make_unique<WebSockets>(1234);
    m_serialPort = std::make_unique<SerialPort>();
    m_bluetooth = std::make_unique<BluetoothSpp>();
    m_remoteControl->setTransport(RemoteControl::WebSocketMode, m_webSockets.get());
    m_remoteControl->setTransport(RemoteControl::SerialPortMode, m_serialPort.get());
    m_remoteControl->setTransport(RemoteControl::BluetoothMode, m_bluetooth.get());
    // Peers may connect at once; what they send waits until the partition sums
    // are loaded, so that an early CALC runs instead of failing.
    m_remoteControl->setHeld(true);
    // Commands wait for a calculation asked for, not for live mode's: a set
    // command during one is a change like any other; a RESULT query waits for
    // the results of the changes before it.
    m_remoteControl->setCalculationProbe(
        [this] { return m_calculationRunning && (!m_liveRun || m_explicitPending); });
    m_remoteControl->setRenewalProbe([this] { return m_live->updating(); });
    connect(m_live.get(), &LiveCalculation::updatingChanged, m_remoteControl.get(), [this] {
        if (!m_live->updating())
            m_remoteControl->resume();
    });
    connect(m_remoteControl.get(), &RemoteControl::calculate, this, &KolvexCore::invokeCalculate);
    connect(m_remoteControl.get(), &RemoteControl::valuesUpdated, this, &KolvexCore::valuesUpdated);
    connect(m_remoteControl.get(), &RemoteControl::updateSpectra, this, &KolvexCore::updateSpectra);
    connect(m_remoteControl.get(), &RemoteControl::applyCurrentAtmModel, this, &KolvexCore::applyCurrentAtmModel);
    connect(this, &KolvexCore::settingChanged, m_remoteControl.get(), &RemoteControl::announceChange);
}

void KolvexCore::loadConfiguration()
{
    m_configFile = std::make_unique<ConfigFile>(&m_xAxis, m_params.get(), m_atmosphereModels.get(), m_downloader,
                                                &m_temperatureUnit, &m_pathLengthUnit, &m_pressureUnits, &m_yAxis);
    m_configFile->setInstrumentFunction(m_instrumentFunction.get());
    m_configFile->setFileWriter(fileWriter());
    m_configFile->setSensors(m_sensors.get());
    m_configFile->setFilePath(configFilePath());
    if (m_settings.showConfigMessage)
        m_configFile->setMessageHandler(m_settings.showConfigMessage);
    const QFileInfo config(configFilePath());
    if (config.exists() || config.isSymLink())
        m_configFile->load();
    if (QFileInfo::exists(serialSettingsPath()))
        m_serialPort->setSettings(SerialSettingsFile::read(serialSettingsPath()));
    if (m_settings.useProgramSettings) {
        m_programSettings = std::make_unique<ProgramSettings>(m_settings.programSettingsFile);
        m_programSettings->restoreSelection(*m_params, *m_atmosphereModels);
        m_live->setLiveCalculation(m_programSettings->liveCalculation());
        connect(m_live.get(), &LiveCalculation::enabledChanged, this,
                [this] { m_programSettings->setLiveCalculation(m_live->liveCalculation()); });
    }
}

QString KolvexCore::configFilePath() const
{
    return m_dataFolder + QLatin1String("/config.txt");
}

QString KolvexCore::serialSettingsPath() const
{
    return m_dataFolder + QLatin1Char('/') + SerialSettingsFile::fileName();
}

void KolvexCore::setLineSource(LineSource *source)
{
    if (m_lineSource)
        disconnect(m_lineSource, nullptr, this, nullptr);
    m_lineSource = source ? source : m_lineSources.get();
    connect(m_lineSource, &LineSource::ready, this, &KolvexCore::calculateLineByLine);
    connect(m_lineSource, &LineSource::failed, this, &KolvexCore::postCalculation);
    connect(m_lineSource, &LineSource::message, this, [this](const QString &text, double progress) {
        emit notify(text, progress, !text.isEmpty(), true);
    });
    // The program's chain is heard whatever source serves (the downloads of
    // the start-up report through it).
    if (m_lineSource != m_lineSources.get()) {
        connect(m_lineSource, &LineSource::problem, this, &KolvexCore::displayOkDialog);
        connect(m_lineSource, &LineSource::note, this, &KolvexCore::showNote);
    }
}

void KolvexCore::loadTips()
{
    if (m_tipsLoading.joinable())
        return;
    // Without a single partition-sum file nothing can be calculated; the
    // downloader has said why.
    if (!m_downloader->lastTipsDownloadSucceeded()) {
        finishStartup(false);
        return;
    }
    emit notify(QStringLiteral("Loading downloaded TIPS data."), 0.0, true, false);
    // The tables are read and checked on a thread of their own (125 files, or
    // their compact copy); the window and the peers are served meanwhile, and
    // the commands of peers wait for the tables. The thread writes through a
    // writer of its own unless a test gave one.
    const QPointer<KolvexCore> self(this);
    auto read = [self, molecules = m_params->molecules(), folder = m_tipsFolder, writer = m_settings.fileWriter,
                       reinstall = m_settings.useBundledData]() mutable {
        const auto relay = [self](const QString &message) {
            QMetaObject::invokeMethod(self, [self, message] {
                if (self)
                    emit self->notify(message, 0.0, true, false);
            }, Qt::QueuedConnection);
        };
        auto sums = std::make_shared<StartupData::PartitionSums>(
            StartupData::PartitionSums::read(std::move(molecules), folder, writer, reinstall, relay));
        QMetaObject::invokeMethod(self, [self, sums] {
            if (!self)
                return;
            self->m_tipsLoading.join();
            sums->applyTo(*self->m_params);
            if (!sums->problems.isEmpty())
                self->tell(QStringLiteral("Some partition-sum tables could not be read:\n")
                           + sums->problems.join(QLatin1Char('\n')));
            self->finishStartup(true);
        }, Qt::QueuedConnection);
    };
    try {
        m_tipsLoading = std::thread(read);
    } catch (const std::system_error &) {
        read();
    }
}

void KolvexCore::finishStartup(bool tipsLoaded)
{
    m_tipsLoaded = tipsLoaded;
    emit notify(QString(), 0.0, false, false);
    m_startupDone = true;
    // The saved temperature could only be checked against the tables now; one
    // they cannot serve gives way to the atmosphere's, and the user is told.
    if (m_tipsLoaded && !m_configFile->checkTemperatureAgainstPartitionSums())
        emit valuesUpdated();
    m_remoteControl->setHeld(false);
    emit startupFinished();
}

// What the note says after a Calc with no molecule selected.
static QString noMoleculeNote()
{
    return QStringLiteral("No molecule is selected, so the plot shows none. Select molecules on the \"Mols\" screen.");
}

QString KolvexCore::calculationProblem() const
{
    // Named in the unit the user set the range in.
    const QString gridProblem = m_xAxis.validationProblem(m_xAxis.units());
    if (!gridProblem.isEmpty())
        return gridProblem;
    return SettingRules::temperatureProblem(m_params->pathConditions().temperature, *m_params);
}

void KolvexCore::calculate()
{
    if (liveCalculationRunning()) {
        // Live mode's calculation gives way to the one asked for, which takes
        // the values as they are now.
        m_explicitPending = true;
        abandonCalculation();
        return;
    }
    const QString problem = startCalculation(false);
    if (!problem.isEmpty())
        setOkDialogText(problem);
}

QString KolvexCore::startCalculation(bool live)
{
    if (!m_tipsLoaded && !m_startupDone)
        return QStringLiteral("Kolvex is still starting: the partition sums are being read.\n"
                              "Please calculate again in a moment.");
    if (!m_tipsLoaded) {
        return QStringLiteral("TIPS files unavailable. Please restart\nkolvex when connected to internet\n"
                              "to download TIPS from ")
            + QUrl(m_settings.serviceBaseUrl).host();
    }
    if (m_calculationRunning)
        return QString();
    // The fit reads the lines through the same sources.
    if (m_measuredFit && m_measuredFit->isRunning())
        return QStringLiteral("A fit to a measured spectrum is running.\nPlease calculate again when it has ended.");
    const QString problem = calculationProblem();
    if (!problem.isEmpty())
        return problem;
    // The path conditions stay as they are until the calculation has ended;
    // in live mode a sensor average is one more change.
    if (!live)
        m_sensors->stopSampling();
    m_liveRun = live;
    m_abandoning = false;
    m_runInputs = currentInputs();
    m_calculationClock.start();
    m_calculationRunning = true;
    m_lblRequested = true;
    m_lblStarted = false;
    m_cancelRequested = false;
    m_lbl->setCancel(false);
    // The results of the last calculation stay, with their marks, until those
    // of this one take their place.
    m_calculationAxis = m_xAxis;
    // Lines centred outside the range whose wings reach into it are read too;
    // one grid step more takes in a line lying exactly at the reach, whose
    // window may still be rounded onto the first or last point.
    const double reach = Lbl::lineReach(*m_params) + std::fabs(m_calculationAxis.step());
    m_lineSource->prepare(LineRequest::of(m_calculationAxis.minWavenumber(), m_calculationAxis.maxWavenumber(), reach,
                                          &m_params->molecules()));
    return QString();
}

void KolvexCore::calculateFromWindow()
{
    calculate();
    announce(Setting::Calculation);
}

void KolvexCore::calculateLineByLine()
{
    if (!m_lblRequested || m_lblStarted)
        return;
    // Lines that arrive for an abandoned calculation are not calculated.
    if (m_abandoning) {
        postCalculation();
        return;
    }
    m_lblStarted = true;
    // The engine takes the conditions as they stand now; so do the results.
    m_runConditions = m_params->pathConditions();
    m_runInputs = CalculationInputs::of(*m_params, m_calculationAxis);
    m_runMoleculeNames.clear();
    for (const Molecule &molecule : m_params->molecules())
        m_runMoleculeNames.append(molecule.name);
    m_runDescription = ResultDescription::lines(*this);
    m_lbl->start(m_lineSource->takeFeed(), m_lineSource->isSample());
}

void KolvexCore::postCalculation()
{
    // A calculation ends once, however many of its sources report the end.
    if (!m_calculationRunning)
        return;
    // The engine's results take the place of the last ones; a calculation that
    // never reached the engine (its lines could not be had, or it was
    // cancelled before) or was abandoned leaves the last results as they were.
    const bool abandoned = m_abandoning;
    if (m_lblStarted && !abandoned) {
        const PathConditions &conditions = m_runConditions;
        m_results.setCalculationConditions(conditions.temperature, conditions.totalPressure, conditions.pathLength,
                                           m_runMoleculeNames, conditions.concentrations, &m_spectra,
                                           m_lbl->calculatedAxis());
        // A cancelled calculation is marked as such, however far it got.
        m_results.setCancelledAt(m_lbl->cancelled() ? m_lbl->cancelledAt() : std::numeric_limits<double>::quiet_NaN());
        m_results.setSampleLines(m_lineSource->isSample());
        // Where the lines came from is known at the end: the service may have
        // failed halfway and local lines served the rest.
        ResultDescription::setLineOrigin(m_runDescription, m_lineSource->origin());
        // From Calc to the results, the reading or download of the lines included.
        m_lastCalculationTime = ResultDescription::duration(m_calculationClock.elapsed(), m_results.locale());
        m_results.setDescription(ResultDescription::withProgram(m_runDescription, m_lastCalculationTime));
        emit lastCalculationTimeChanged();
    }
    // Without a selected molecule the plot stays empty: the note says why, each
    // time, before anything else it holds, since it answers the Calc just made.
    const auto &molecules = m_params->molecules();
    if (std::none_of(molecules.begin(), molecules.end(), [](const Molecule &m) { return m.selected; })) {
        const QString why = noMoleculeNote();
        if (!m_note.startsWith(why)) {
            m_note = m_note.isEmpty() ? why : why + QStringLiteral("\n\n") + m_note;
            emit noteChanged();
        }
    }
    if (!abandoned)
        m_settledInputs = m_runInputs;
    if (!m_liveRun)
        emit notify(QString(), 0.0, false, true);
    if (!abandoned)
        emit updateSpectra(true, true);
    if (!m_sensors->isSampling())
        m_sensors->startSampling();
    m_calculationRunning = false;
    m_lblRequested = false;
    m_liveRun = false;
    m_abandoning = false;
    // A calculation asked for while live mode's ran takes its place now.
    if (m_explicitPending) {
        m_explicitPending = false;
        calculate();
    }
    // The peers hear READY, and their waiting commands go on, before live
    // mode starts the calculation of a change that came meanwhile.
    if (!abandoned)
        m_remoteControl->emitReadyMessage();
    emit calculationEnded();
}

void KolvexCore::abandonCalculation()
{
    if (!liveCalculationRunning())
        return;
    m_abandoning = true;
    m_lbl->abandon();
    m_lineSource->cancel();
}

void KolvexCore::cancelCalculation()
{
    if (m_calculationRunning)
        m_cancelRequested = true;
    m_lbl->setCancel(true);
    m_lineSource->cancel();
}

void KolvexCore::saveConfiguration()
{
    m_configFile->save();
    QString problem;
    if (!SerialSettingsFile::write(serialSettingsPath(), m_serialPort->settings(), *fileWriter(), &problem))
        qWarning().noquote() << "Cannot write the serial settings to" << serialSettingsPath() << ":" << problem;
    // The program is about to end: the user's own values come back where
    // sensor readings had replaced them.
    for (SensorSettings::Quantity quantity : {SensorSettings::Quantity::Humidity, SensorSettings::Quantity::Pressure,
                                              SensorSettings::Quantity::Temperature})
        m_sensors->setSensorEnabled(quantity, false);
    if (m_programSettings)
        m_programSettings->saveSelection(*m_params, *m_atmosphereModels);
}

void KolvexCore::showNote(const QString &key, const QString &text)
{
    if (m_notedKeys.contains(key)) {
        qInfo().noquote() << text;
        if (m_note.isEmpty() || m_noteKey != key || m_note == text)
            return;
    }
    if (!m_notedKeys.contains(key))
        m_notedKeys << key;
    m_noteKey = key;
    // The word that no molecule is selected answers the last Calc; it stays first.
    m_note = m_note.startsWith(noMoleculeNote()) ? noMoleculeNote() + QStringLiteral("\n\n") + text : text;
    emit noteChanged();
}

void KolvexCore::dismissNote()
{
    if (m_note.isEmpty())
        return;
    m_note.clear();
    emit noteChanged();
}

void KolvexCore::saveAndQuit(bool quietly)
{
    if (!m_quitting) {
        m_quitting = true;
        if (quietly)
            m_configFile->setMessageHandler([](const QString &text) { qWarning().noquote() << text; });
        if (m_calculationRunning)
            cancelCalculation();
        saveConfiguration();
    }
    QCoreApplication::quit();
}

void KolvexCore::updatePlotInProgress(bool newPlotInProgress)
{
    if (!newPlotInProgress)
        m_remoteControl->setReady();
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

void KolvexCore::tell(const QString &text)
{
    const bool pending = m_constructing && !m_okDialogText.isEmpty() && m_okDialogText != QLatin1String("undefined");
    setOkDialogText(pending ? m_okDialogText + QStringLiteral("\n\n") + text : text);
}

void KolvexCore::setOkDialogText(const QString &text)
{
    if (m_okDialogText == text)
        return;
    m_okDialogText = text;
    emit okDialogTextChanged();
}
