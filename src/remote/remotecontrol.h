#pragma once

#include "core/sensorsettings.h"

#include <QByteArray>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class AtmosphereModelSet;
class HitranOnlineDownloader;
class InstrumentFunction;
class Params;
class CalculationResults;
class SerialPort;
class WebSockets;
class XAxis;
struct YAxisSettings;

// Lets another device drive the program through "#NAME;field;..." commands:
// set every calculation parameter, start a calculation and wait for it, and read
// back parameters and spectra as text or, for some values, as raw bytes.
// Commands arrive on one transport (WebSocket, serial line, standard input of
// the console program) and the replies go back the same way.
class RemoteControl : public QObject
{
    Q_OBJECT

public:
    enum CommunicationMode { NoCommunication = 0, BluetoothMode = 1, SerialPortMode = 2, WebSocketMode = 3 };

    // The molecule field named neither a number nor a known formula.
    static constexpr int unknownMoleculeIndex = -1020303026;
    // Text waiting to be processed never grows beyond this many characters; a
    // message that would overflow it is refused with a reply.
    static constexpr int maxBufferLength = 4 * 1024 * 1024;
    // How long a wait for the redrawn plot lasts once nothing is being
    // calculated any more, milliseconds.
    static constexpr int defaultReadyGrace = 5000;

    explicit RemoteControl(QObject *parent = nullptr, quint16 webSocketPort = 1234);
    ~RemoteControl() override;

    void setParams(Params *params) { m_params = params; }
    void setXAxis(XAxis *xAxis) { m_xAxis = xAxis; }
    void setInstrumentFunction(InstrumentFunction *function) { m_instrumentFunction = function; }
    void setAtmosphereModels(AtmosphereModelSet *models) { m_atmosphereModels = models; }
    void setDownloader(HitranOnlineDownloader *downloader) { m_downloader = downloader; }
    void setYAxis(YAxisSettings *yAxis) { m_yAxis = yAxis; }
    void setResults(const CalculationResults *results) { m_results = results; }
    // The sensor switches the commands set; a holder of this object's own
    // serves until the sensors provide theirs.
    void setSensorSettings(SensorSettings *settings) { m_sensorSettings = settings ? settings : &m_ownSensorSettings; }
    SensorSettings *sensorSettings() const { return m_sensorSettings; }
    // Tells whether a calculation is under way, so that a wait for its end can
    // stop when the calculation was refused or ended without a redraw.
    void setCalculationProbe(std::function<bool()> running) { m_calculationRunning = std::move(running); }
    void setReadyGrace(int milliseconds) { m_readyGrace = milliseconds; }

    // An extra reply channel that always counts as connected (the console
    // program's standard output). Every reply goes there as well.
    void setConsoleOutput(std::function<void(const QString &)> output) { m_consoleOutput = std::move(output); }

    int communicationMode() const { return m_communicationMode; }
    void setCommunicationMode(int mode);
    bool broadcastManualInput() const { return m_broadcastManualInput; }
    void setBroadcastManualInput(bool broadcast) { m_broadcastManualInput = broadcast; }

    WebSockets *webSockets() const { return m_webSockets; }
    SerialPort *serialPort() const { return m_serialPort; }

    bool isConnected() const;
    void sendReply(const QString &text);
    void broadcastValue(const QString &command, int index);

    void applySetting(const QString &name, const QString &parameter, int index);
    QString queryValue(const QString &name, int index, bool broadcast);
    void applyBinarySetting(const QString &name, const QByteArray &payload, int index);
    QByteArray queryBinaryValue(const QString &name, int index) const;

    // The molecule index a field names: a number, "INSTR" (-1), "TOTAL" (0), a
    // formula of the molecule list (its position + 1) or unknownMoleculeIndex.
    int moleculeIndex(const QString &field) const;

    QString bufferedText() const { return m_buffer; }
    bool waiting() const { return m_waitDepth > 0; }
    // True while commands are being run (a wait included).
    bool busy() const { return m_processing; }

signals:
    void calculate();
    void valuesUpdated();
    void applyCurrentAtmModel();
    void updateSpectra(bool updateScale, bool updateTotal);
    void showTotalChanged(bool newShowTotal);
    void showPlainTotalChanged(bool newShowPlainTotal);
    void showInstrTotalChanged(bool newShowInstrTotal);
    void ready();

public slots:
    void bufferAndProcessCommands(const QString &message);
    void processCommandString(const QString &message);
    void emitReadyMessage();
    void setReady();

private:
    void processBuffer();
    void sendRangeError(const QString &name, const QString &problem);
    bool applyRangedSetting(const QString &name, const QString &parameter);
    void applyNumber(const QString &command, const QString &replyName, double value, int index);
    void applyCalc();
    void applyTotal(bool show);
    bool runAndWaitForReady(const std::function<void()> &start, bool whileCalculating);
    QString resultSpectrum(int index);
    QString formatDouble(double value) const;
    QString formatInt(qint64 value) const;
    int moleculeCount() const;

    Params *m_params = nullptr;
    XAxis *m_xAxis = nullptr;
    InstrumentFunction *m_instrumentFunction = nullptr;
    AtmosphereModelSet *m_atmosphereModels = nullptr;
    HitranOnlineDownloader *m_downloader = nullptr;
    YAxisSettings *m_yAxis = nullptr;
    const CalculationResults *m_results = nullptr;
    SensorSettings m_ownSensorSettings;
    SensorSettings *m_sensorSettings = &m_ownSensorSettings;
    std::function<bool()> m_calculationRunning;
    std::function<void(const QString &)> m_consoleOutput;

    SerialPort *m_serialPort = nullptr;
    WebSockets *m_webSockets = nullptr;

    int m_communicationMode = NoCommunication;
    bool m_broadcastManualInput = false;
    QString m_buffer;
    int m_bufferPosition = 0;   // start of the text not yet run
    int m_waitDepth = 0;
    bool m_processing = false;
    int m_readyGrace = defaultReadyGrace;
    QLocale m_locale;
};
