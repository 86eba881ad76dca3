#pragma once

#include "core/calculationinputs.h"
#include "core/calculationresults.h"
#include "core/pathconditions.h"
#include "core/pathlengthunit.h"
#include "core/pressureunits.h"
#include "core/setting.h"
#include "core/savefilewriter.h"
#include "core/spectraset.h"
#include "core/temperatureunit.h"
#include "core/xaxis.h"
#include "core/yaxissettings.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <thread>

class AtmosphereModelSet;
class BluetoothSpp;
class ConfigFile;
class HitranOnlineDownloader;
class InstrumentFunction;
class Lbl;
class LiveCalculation;
class LineSource;
class LineSourceChain;
class ParameterFiles;
class Params;
class ProgramSettings;
class MeasuredFit;
class RemoteControl;
class ResultsSaver;
class Sensors;
class SerialPort;
class WebSockets;

// Owns every non-visual object of the program for its whole life, chooses the
// folders on the device, runs the first-start data set-up and drives each
// calculation: line data, then the engine segment by segment, then the results.
class KolvexCore : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool externalStorageAccessGranted READ externalStorageAccessGranted NOTIFY externalStorageAccessGrantedChanged)
    Q_PROPERTY(bool iPhone READ iPhone NOTIFY iPhoneChanged)
    Q_PROPERTY(double defaultFontPointSize READ defaultFontPointSize WRITE setDefaultFontPointSize NOTIFY defaultFontPointSizeChanged)
    Q_PROPERTY(int defaultLabelHeight READ defaultLabelHeight WRITE setDefaultLabelHeight NOTIFY defaultLabelHeightChanged)
    Q_PROPERTY(double fontScalingRatio READ fontScalingRatio WRITE setFontScalingRatio NOTIFY fontScalingRatioChanged)
    Q_PROPERTY(QString okDialogText READ okDialogText WRITE setOkDialogText NOTIFY okDialogTextChanged)
    Q_PROPERTY(QString note READ note NOTIFY noteChanged)
    // How long the last calculation took, from Calc to its results ("2.41 s"); empty before the first.
    Q_PROPERTY(QString lastCalculationTime READ lastCalculationTime NOTIFY lastCalculationTimeChanged)

public:
    // Where the program keeps its data and which services it reaches. The
    // defaults are the platform's application-data folder and the real services;
    // tests and the console program choose their own.
    struct Settings
    {
        QString dataFolder;           // empty: the platform's application-data folder
        QString serviceBaseUrl = QStringLiteral("https://hitran.org");
        QString productBaseUrl = QStringLiteral("https://kolvex.org");
        bool useBundledData = true;   // copy the shipped partition sums and global numbers on first start
        // Longest wait for the next bytes of a reply, and longest whole request,
        // milliseconds.
        int networkTimeout = 30000;
        int requestTimeLimit = 10 * 60 * 1000;
        // Start-up waits for the parameter files at most startupNetworkTimeout in
        // total, before the window opens; the partition-sum download that follows
        // (commands wait for it) ends after tipsDownloadTimeLimit in total.
        int startupNetworkTimeout = 10000;
        // Keep the molecule selection and the model atmosphere in the program's
        // own settings: those of the user, or programSettingsFile when given.
        bool useProgramSettings = false;
        QString programSettingsFile;
        int tipsDownloadTimeLimit = 60000;
        // Seam for tests: the writer every file of the data folder goes through
        // (not owned); null: the program's own.
        FileWriter *fileWriter = nullptr;
        // Shows a problem with the configuration file to the user, also one
        // found before any window exists; empty: the log only.
        std::function<void(const QString &)> showConfigMessage;
    };

    explicit KolvexCore(QObject *parent = nullptr);
    explicit KolvexCore(const Settings &settings, QObject *parent = nullptr);
    ~KolvexCore() override;

    Params *params() const { return m_params.get(); }
    AtmosphereModelSet *atmosphereModels() const { return m_atmosphereModels.get(); }
    ConfigFile *configFile() const { return m_configFile.get(); }
    LineSource *lineSource() const { return m_lineSource; }
    HitranOnlineDownloader *downloader() const { return m_downloader; }
    // Where the lines of a calculation come from, in the order of the usage mode.
    LineSourceChain *lineSources() const { return m_lineSources.get(); }
    PressureUnits *pressureUnits() { return &m_pressureUnits; }
    TemperatureUnit *temperatureUnit() { return &m_temperatureUnit; }
    PathLengthUnit *pathLengthUnit() { return &m_pathLengthUnit; }
    XAxis *xAxis() { return &m_xAxis; }
    // The range and grid of the calculation asked for last, as they were then.
    const XAxis &calculationAxis() const { return m_calculationAxis; }
    YAxisSettings *yAxis() { return &m_yAxis; }
    Lbl *lbl() const { return m_lbl.get(); }
    SpectraSet *spectra() { return &m_spectra; }
    InstrumentFunction *instrumentFunction() const { return m_instrumentFunction.get(); }
    CalculationResults *results() { return &m_results; }
    ResultsSaver *resultsSaver() const { return m_resultsSaver.get(); }
    RemoteControl *remoteControl() const { return m_remoteControl.get(); }
    // The measured spectrum and the fit of the calculation to it.
    MeasuredFit *measuredFit() const { return m_measuredFit.get(); }
    // The transports of the remote control: WebSocket (port 1234), serial line
    // and Bluetooth serial link.
    WebSockets *webSockets() const { return m_webSockets.get(); }
    SerialPort *serialPort() const { return m_serialPort.get(); }
    BluetoothSpp *bluetooth() const { return m_bluetooth.get(); }
    // The sensor hub: pressure, temperature and water vapour from sensors.
    Sensors *sensors() const { return m_sensors.get(); }
    // Live mode: changes of the inputs calculate by themselves.
    LiveCalculation *liveCalculation() const { return m_live.get(); }
    // Null unless the settings asked for them.
    ProgramSettings *programSettings() const { return m_programSettings.get(); }

    QString dataFolder() const { return m_dataFolder; }
    QString tipsFolder() const { return m_tipsFolder; }
    QString downloadsFolder() const { return m_downloadsFolder; }
    QString resultsFolder() const { return m_resultsFolder; }
    QString lineFileName() const { return m_lineFileName; }
    QString configFilePath() const;
    // The serial line's settings, beside the configuration file.
    QString serialSettingsPath() const;
    bool tipsLoaded() const { return m_tipsLoaded; }
    // The start-up is over: the partition sums are loaded or known to be missing.
    bool startupDone() const { return m_startupDone; }
    // The writer files of the data folder go through.
    FileWriter *fileWriter() { return m_settings.fileWriter ? m_settings.fileWriter : &m_ownWriter; }
    bool lblRequested() const { return m_lblRequested; }

    // Replaces the line source (tests put a stand-in here); the core does not own
    // a replacement. Null puts the downloader back.
    void setLineSource(LineSource *source);

    bool externalStorageAccessGranted() const { return m_externalStorageAccessGranted; }
    bool iPhone() const { return m_iPhone; }
    double defaultFontPointSize() const { return m_defaultFontPointSize; }
    void setDefaultFontPointSize(double size);
    int defaultLabelHeight() const { return m_defaultLabelHeight; }
    void setDefaultLabelHeight(int height);
    double fontScalingRatio() const { return m_fontScalingRatio; }
    void setFontScalingRatio(double ratio);
    QString okDialogText() const { return m_okDialogText; }
    void setOkDialogText(const QString &text);
    // A message that needs no answer, shown beside the work until dismissed.
    QString note() const { return m_note; }
    QString lastCalculationTime() const { return m_lastCalculationTime; }


signals:
    void notify(const QString &message, double value, bool visible, bool cancelButtonVisible);
    void updateSpectra(bool updateScale, bool updateTotal);
    void valuesUpdated();
    void applyCurrentAtmModel();
    void externalStorageAccessGrantedChanged();
    void iPhoneChanged();
    void defaultFontPointSizeChanged();
    void defaultLabelHeightChanged();
    void fontScalingRatioChanged();
    void okDialogTextChanged();
    void noteChanged();
    void lastCalculationTimeChanged();
    // A setting was changed on the screens (see announce()).
    void settingChanged(Setting setting, int index);
    // The start-up is over: the partition sums are loaded or known to be
    // missing, and commands are taken.
    void startupFinished();
    // A calculation has ended: finished, failed, cancelled or abandoned.
    void calculationEnded();

public slots:
    void invokeCalculate() { calculate(); }
    void calculateLineByLine();
    void postCalculation();
    void loadTips();
    void displayOkDialog(const QString &text) { tell(text); }
    // Shows a note the first time its kind (`key`) is reported in a run; later
    // ones go to the log, so that a repeated circumstance does not nag. While
    // the note of that kind is still shown, a later one replaces its text: the
    // note speaks of the last calculation, not of an earlier one.
    void showNote(const QString &key, const QString &text);

public:
    Q_INVOKABLE void calculate();
    // Calc on the window: calculates, and tells the peers to calculate too.
    Q_INVOKABLE void calculateFromWindow();
    // A setting was changed on the screens: the peers (when broadcasting manual
    // input) and whatever shows it follow. `index` is the molecule, from 1,
    // for settings kept per molecule.
    void announce(Setting setting, int index = 0) { emit settingChanged(setting, index); }
    Q_INVOKABLE bool calculationIsRunning() const { return m_calculationRunning; }

    // Live mode's own calculations: started quietly (a value that cannot be
    // calculated is returned, not shown in a dialog; no banner; the sensors
    // go on sampling), and abandoned when a newer one is to take their place,
    // the last results staying as they were. Only a live calculation is ever
    // abandoned; a calculation asked for (Calc, CALC) while one runs takes
    // its place, with the values as they are then.
    QString startLiveCalculation() { return startCalculation(true); }
    bool liveCalculationRunning() const { return m_calculationRunning && m_liveRun; }
    void abandonCalculation();
    // The inputs as they are now, those of the calculation in hand, and those
    // of the last one that was not abandoned (empty before the first).
    CalculationInputs currentInputs() const { return CalculationInputs::of(*m_params, m_xAxis); }
    const CalculationInputs &runInputs() const { return m_runInputs; }
    const CalculationInputs &settledInputs() const { return m_settledInputs; }
    Q_INVOKABLE void saveConfiguration();
    // Ends the program: a running calculation is cancelled, the configuration
    // saved (once, however often this is called) and the application quits.
    // "Exit" -> Yes calls it, and so do SIGTERM and SIGINT, quietly: a failed
    // save is then logged, never shown in a box, so that a logout is not held up.
    Q_INVOKABLE void saveAndQuit(bool quietly = false);
    Q_INVOKABLE void cancelCalculation();
    Q_INVOKABLE void updatePlotInProgress(bool newPlotInProgress);
    Q_INVOKABLE void dismissNote();

private:
    void setUpFolders(const Settings &settings);
    void setUpDownloader();
    void readStartupData();
    void setUpCalculation();
    void setUpRemoteControl();
    void loadConfiguration();
    // A message for the user; during the constructor, before any window can
    // show one, messages are collected.
    void tell(const QString &text);
    QString calculationProblem() const;
    // Starts a calculation; returns why it cannot start (empty when it did,
    // or when one runs already).
    QString startCalculation(bool live);
    void finishStartup(bool tipsLoaded);

    Settings m_settings;
    SaveFileWriter m_ownWriter;
    // The parts the core owns, each made after (and gone before) those it uses.
    std::unique_ptr<Params> m_params;
    std::unique_ptr<ParameterFiles> m_parameterFiles;
    std::unique_ptr<LineSourceChain> m_lineSources;
    HitranOnlineDownloader *m_downloader = nullptr;   // one of the line sources
    LineSource *m_lineSource = nullptr;               // the one a calculation asks: the chain, or a test's
    std::unique_ptr<AtmosphereModelSet> m_atmosphereModels;
    PressureUnits m_pressureUnits;
    TemperatureUnit m_temperatureUnit;
    PathLengthUnit m_pathLengthUnit;
    XAxis m_xAxis;
    // The range and grid of the calculation asked for last, as they were then:
    // its lines are fetched for it, and the engine calculates on it.
    XAxis m_calculationAxis;
    YAxisSettings m_yAxis;
    SpectraSet m_spectra;
    CalculationResults m_results;
    std::unique_ptr<Sensors> m_sensors;
    std::unique_ptr<InstrumentFunction> m_instrumentFunction;
    std::unique_ptr<Lbl> m_lbl;
    std::unique_ptr<ResultsSaver> m_resultsSaver;
    std::unique_ptr<LiveCalculation> m_live;
    std::unique_ptr<WebSockets> m_webSockets;
    std::unique_ptr<SerialPort> m_serialPort;
    std::unique_ptr<BluetoothSpp> m_bluetooth;
    std::unique_ptr<RemoteControl> m_remoteControl;
    std::unique_ptr<ConfigFile> m_configFile;
    std::unique_ptr<ProgramSettings> m_programSettings;
    // Calculates with the parameters and reads the lines of the sources
    // above: it goes first.
    std::unique_ptr<MeasuredFit> m_measuredFit;

    QString m_dataFolder;
    QString m_tipsFolder;
    QString m_downloadsFolder;
    QString m_resultsFolder;
    QString m_lineFileName;

    // What the calculation in hand was started with: the conditions, the
    // molecules' names and the description of its results.
    PathConditions m_runConditions;
    QStringList m_runMoleculeNames;
    QStringList m_runDescription;

    bool m_lblRequested = false;
    bool m_lblStarted = false;
    bool m_cancelRequested = false;
    // The calculation in hand is live mode's, is being abandoned, and one
    // asked for is to follow it.
    bool m_liveRun = false;
    bool m_abandoning = false;
    bool m_explicitPending = false;
    CalculationInputs m_runInputs;
    CalculationInputs m_settledInputs;
    bool m_calculationRunning = true;
    bool m_tipsLoaded = false;
    bool m_startupDone = false;
    bool m_constructing = true;
    bool m_quitting = false;
    bool m_externalStorageAccessGranted = false;
    bool m_iPhone = false;
    double m_defaultFontPointSize = 0.0;
    int m_defaultLabelHeight = 0;
    double m_fontScalingRatio = 0.0;
    QString m_okDialogText;
    QString m_note;
    QString m_noteKey;
    QElapsedTimer m_calculationClock;
    QString m_lastCalculationTime;
    QStringList m_notedKeys;
    std::thread m_tipsLoading;
};
