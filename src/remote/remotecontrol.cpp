#include "remote/remotecontrol.h"

#include "calc/instrumentfunction.h"
#include "core/atmospheremodelset.h"
#include "core/calculationresults.h"
#include "core/params.h"
#include "core/settingrules.h"
#include "core/xaxis.h"
#include "core/yaxissettings.h"
#include "download/hitranonlinedownloader.h"
#include "remote/serialport.h"
#include "remote/websockets.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QtEndian>

#include <cmath>
#include <limits>

namespace {

// The RESULT item that returns one spectrum ("RESULT;<item>;<molecule>").
QString spectrumResultItem()
{
    static const QString spectrumItem = QStringLiteral("SPEC");
    return spectrumItem;
}

const QString outOfRange = QStringLiteral(" : Parameter out of range. ");

// A setting that takes one of a few numbered options.
struct RangedSetting
{
    const char *command;
    SettingRules::Option option;
};

const RangedSetting rangedSettings[] = {
    {"HITOPT", SettingRules::Option::AccessOption},
    {"LSHAPE", SettingRules::Option::LineShapeProfile},
    {"LBROAD", SettingRules::Option::BroadeningType},
    {"INSTRFUNCT", SettingRules::Option::InstrumentFunction},
    {"ATMMODEL", SettingRules::Option::AtmosphereModel},
    {"YPARAM", SettingRules::Option::YQuantity},
    {"YUNITS", SettingRules::Option::YUnits},
    {"PREC", SettingRules::Option::ReplyPrecision},
};

const RangedSetting *rangedSetting(const QString &command)
{
    for (const RangedSetting &setting : rangedSettings) {
        if (command == QLatin1String(setting.command))
            return &setting;
    }
    return nullptr;
}

// Binary codes and the text commands whose value they carry.
struct BinaryCode
{
    const char *code;
    const char *command;
    enum Encoding { Double, Int32, Int8, Flag, NoValue } reply, payload;
};

const BinaryCode binaryCodes[] = {
    {"SWAV", "SWAVE", BinaryCode::Double, BinaryCode::Double},
    {"EWAV", "EWAVE", BinaryCode::Double, BinaryCode::Int32},
    {"NWPO", "NUMWNPTS", BinaryCode::Int32, BinaryCode::Int32},
    {"PATH", "PATH", BinaryCode::Double, BinaryCode::Double},
    {"TPRE", "TPRES", BinaryCode::Double, BinaryCode::Double},
    {"TEMP", "TEMP", BinaryCode::Double, BinaryCode::Double},
    {"UBSE", "USEBAROM", BinaryCode::Flag, BinaryCode::Flag},
    {"UTSE", "USETHERM", BinaryCode::Flag, BinaryCode::Flag},
    {"UHSE", "USEHUMID", BinaryCode::Flag, BinaryCode::Flag},
    {"HDOP", "HITOPT", BinaryCode::Int32, BinaryCode::Int8},
    {"LPRO", "LSHAPE", BinaryCode::Int32, BinaryCode::Int8},
    {"LITH", "LTHRESH", BinaryCode::Double, BinaryCode::Double},
    {"LWCS", "LWINGSAT", BinaryCode::Int32, BinaryCode::Int32},
    {"LWCA", "LWINGABS", BinaryCode::Double, BinaryCode::Double},
    {"LBRO", "LBROAD", BinaryCode::Int32, BinaryCode::Int8},
    {"LSUS", "LSHIFTUSE", BinaryCode::Flag, BinaryCode::Flag},
    {"IFTY", "INSTRFUNCT", BinaryCode::Int32, BinaryCode::Int8},
    {"IRES", "INSTRRES", BinaryCode::Double, BinaryCode::Double},
    {"IFWI", "INSTRWING", BinaryCode::Double, BinaryCode::Double},
    {"AAMO", "ATMMODEL", BinaryCode::Int32, BinaryCode::NoValue},
    {"MCON", "MCONC", BinaryCode::Double, BinaryCode::Double},
    {"MSEL", "MSEL", BinaryCode::Flag, BinaryCode::Int32},
    {"CFAM", "ALLCALC", BinaryCode::Flag, BinaryCode::Flag},
};

const BinaryCode *binaryCode(const QString &code)
{
    for (const BinaryCode &entry : binaryCodes) {
        if (code == QLatin1String(entry.code))
            return &entry;
    }
    return nullptr;
}

template<typename T>
T readLittleEndian(const QByteArray &payload)
{
    if (payload.size() < int(sizeof(T)))
        return T(0);
    return qFromLittleEndian<T>(payload.constData());
}

QByteArray doubleBytes(double value)
{
    QByteArray bytes(8, Qt::Uninitialized);
    qToLittleEndian<double>(value, bytes.data());
    return bytes;
}

QByteArray int32Bytes(qint32 value)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToLittleEndian<qint32>(value, bytes.data());
    return bytes;
}

bool isIntegerCommand(const QString &command)
{
    static const QStringList commands = {
        QStringLiteral("NUMWNPTS"), QStringLiteral("USEBAROM"), QStringLiteral("USETHERM"),
        QStringLiteral("USEHUMID"), QStringLiteral("USESENSTAG"), QStringLiteral("SMPLPERIOD"),
        QStringLiteral("SMPLSTOAVG"), QStringLiteral("LWINGSAT"), QStringLiteral("LSHIFTUSE"),
        QStringLiteral("ALLCALC"), QStringLiteral("TOTAL"), QStringLiteral("MSEL")};
    return commands.contains(command) || rangedSetting(command);
}

} // namespace

RemoteControl::RemoteControl(QObject *parent, quint16 webSocketPort)
    : QObject(parent)
    , m_serialPort(new SerialPort(this))
    , m_webSockets(new WebSockets(webSocketPort, this))
{
    m_locale.setNumberOptions(QLocale::OmitGroupSeparator);
    connect(m_webSockets, &WebSockets::commandReceived, this, &RemoteControl::bufferAndProcessCommands);
    connect(m_serialPort, &SerialPort::commandReceived, this, &RemoteControl::bufferAndProcessCommands);
    setCommunicationMode(NoCommunication);
}

RemoteControl::~RemoteControl() = default;

void RemoteControl::setCommunicationMode(int mode)
{
    if (mode < NoCommunication || mode > WebSocketMode)
        mode = NoCommunication;
    m_communicationMode = mode;
    // Bluetooth has no transport in this build; every mode but WebSocket keeps
    // the server closed.
    m_webSockets->enable(mode == WebSocketMode);
}

bool RemoteControl::isConnected() const
{
    if (m_consoleOutput)
        return true;
    if (m_communicationMode == NoCommunication)
        return false;
    return !m_webSockets->peerAddressText().isEmpty() || m_serialPort->isConnected();
}

void RemoteControl::sendReply(const QString &text)
{
    if (!isConnected())
        return;
    if (m_consoleOutput)
        m_consoleOutput(text);
    switch (m_communicationMode) {
    case WebSocketMode:
        m_webSockets->sendMessage(text);
        break;
    case SerialPortMode:
        m_serialPort->send(text);
        break;
    default:
        break;
    }
}

void RemoteControl::broadcastValue(const QString &command, int index)
{
    if (!isConnected() || !m_broadcastManualInput)
        return;
    // Results belong to this device's last calculation; they are not settings a
    // peer could apply.
    if (command.contains(QLatin1String("RESULT"), Qt::CaseInsensitive))
        return;
    const QString value = queryValue(command, index, true);
    if (command == QLatin1String("MCONC") || command == QLatin1String("MSEL"))
        sendReply(QLatin1Char('#') + command + QLatin1Char(';') + QString::number(index) + QLatin1Char(';') + value);
    else
        sendReply(QLatin1Char('#') + command + QLatin1Char(';') + value);
}

void RemoteControl::emitReadyMessage()
{
    if (!isConnected())
        return;
    sendReply(QStringLiteral("READY"));
    emit ready();
}

void RemoteControl::setReady()
{
    emit ready();
}

// Commands run one after the other in the order received. While one waits for
// a calculation or a redraw, newly received text only joins the buffer; the
// running loop takes it up afterwards, so replies keep the order of the
// queries and waits never nest.
void RemoteControl::bufferAndProcessCommands(const QString &message)
{
    if (!isConnected())
        return;
    // Commands already run while others wait make room for new text.
    if (m_bufferPosition > 0) {
        m_buffer.remove(0, m_bufferPosition);
        m_bufferPosition = 0;
    }
    if (m_buffer.size() + message.size() > maxBufferLength) {
        sendReply(QStringLiteral("The receive buffer is full; the message was dropped."));
        return;
    }
    m_buffer += message;
    if (m_processing)
        return;
    processBuffer();
}

void RemoteControl::processBuffer()
{
    m_processing = true;
    QPointer<RemoteControl> alive(this);
    // A cursor walks the buffer instead of cutting each command off its front,
    // so that a message of a million commands costs a million steps, not a
    // million copies of the rest. Text received meanwhile joins the end.
    m_bufferPosition = 0;
    for (;;) {
        const int first = m_buffer.indexOf(QLatin1Char('#'), m_bufferPosition);
        if (first < 0) {
            // Text in front of a command is never run, so nothing of it is kept.
            m_buffer.clear();
            m_bufferPosition = 0;
            break;
        }
        const int next = m_buffer.indexOf(QLatin1Char('#'), first + 1);
        const int end = next < 0 ? m_buffer.size() : next;
        const QString command = m_buffer.mid(first, end - first);
        m_bufferPosition = end;
        processCommandString(command);
        if (!alive)
            return;
    }
    m_processing = false;
}

void RemoteControl::processCommandString(const QString &message)
{
    const int hash = message.indexOf(QLatin1Char('#'));
    QString text = hash >= 0 ? message.mid(hash + 1) : message;
    QStringList fields = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (fields.isEmpty())
        return;
    const QString name = fields.first().trimmed().toUpper();
    // A line end after the last field (a terminal, a line-based peer) is no
    // part of the value: "#SWAVE;?\n" is a query, not a set to 0. Delimiters and
    // binary payloads keep theirs unless what remains is the query mark.
    const auto withoutLineEnd = [](QString field) {
        while (field.endsWith(QLatin1Char('\n')) || field.endsWith(QLatin1Char('\r')))
            field.chop(1);
        return field;
    };
    if (name == QLatin1String("DELIMITER")) {
        const int separator = text.indexOf(QLatin1Char(';'));
        fields = QStringList{fields.first(), separator >= 0 ? text.mid(separator + 1) : QString()};
        if (withoutLineEnd(fields.last()) == QLatin1String("?"))
            fields.last() = QStringLiteral("?");
    } else if (name.contains(QLatin1String("_BIN"))) {
        if (withoutLineEnd(fields.last()) == QLatin1String("?"))
            fields.last() = QStringLiteral("?");
    } else {
        while (!fields.isEmpty()) {
            fields.last() = withoutLineEnd(fields.last());
            if (!fields.last().isEmpty())
                break;
            fields.removeLast();
        }
        if (fields.isEmpty())
            return;
    }

    const bool result = name == QLatin1String("RESULT");
    const QString fullName = result ? QStringLiteral("RESULT;") + fields.value(1).trimmed().toUpper() : name;

    int index = 0;
    QString parameter;
    if (name == QLatin1String("MCONC") || name == QLatin1String("MSEL")) {
        index = moleculeIndex(fields.value(1));
        parameter = fields.value(2);
    } else if (fullName == QLatin1String("RESULT;") + spectrumResultItem()
               || fullName == QLatin1String("RESULT;MCONC")) {
        index = moleculeIndex(fields.value(2));
    } else {
        parameter = fields.value(1);
    }

    const bool binary = fullName.contains(QLatin1String("_BIN"), Qt::CaseInsensitive);
    if (fields.last() != QLatin1String("?") && !result) {
        if (binary)
            applyBinarySetting(fullName, parameter.toUtf8(), index);
        else
            applySetting(fullName, parameter, index);
        return;
    }
    if (binary) {
        // Every byte goes, NULs included (the QByteArray overload would stop at the first).
        const QByteArray bytes = queryBinaryValue(fullName, index);
        sendReply(QString::fromUtf8(bytes.constData(), bytes.size()));
    } else {
        sendReply(queryValue(fullName, index, false));
    }
}

int RemoteControl::moleculeCount() const
{
    return m_params ? m_params->moleculeCount() : 0;
}

int RemoteControl::moleculeIndex(const QString &field) const
{
    bool ok = false;
    const int number = m_locale.toInt(field.trimmed(), &ok);
    if (ok)
        return number;
    const QString name = field.trimmed().toUpper();
    if (name == QLatin1String("INSTR"))
        return -1;
    if (name == QLatin1String("TOTAL"))
        return 0;
    // Formulas such as "HOCl" hold lower-case letters, so the comparison ignores
    // case; no two formulas differ by case alone.
    int found = unknownMoleculeIndex;
    for (int i = 0; i < moleculeCount(); ++i) {
        if (m_params->molecule(i).name.compare(name, Qt::CaseInsensitive) == 0)
            found = i + 1;
    }
    return found;
}

QString RemoteControl::formatDouble(double value) const
{
    const char format = m_params ? m_params->replyFormat() : 'g';
    const int precision = m_params ? m_params->replyPrecision() : 8;
    return m_locale.toString(value, format, precision);
}

QString RemoteControl::formatInt(qint64 value) const
{
    return m_locale.toString(qlonglong(value));
}

void RemoteControl::sendRangeError(const QString &name, const QString &problem)
{
    // One reply is one line: the screens' messages may break lines.
    QString text = problem;
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    sendReply(name + outOfRange + text);
}

void RemoteControl::applySetting(const QString &name, const QString &parameter, int index)
{
    if (name == QLatin1String("CALC")) {
        applyCalc();
    } else if (name == QLatin1String("FORMAT")) {
        const QString problem = SettingRules::replyFormatProblem(parameter);
        if (!problem.isEmpty())
            sendRangeError(name, problem);
        else if (m_params)
            m_params->setReplyFormat(parameter.at(0).toLatin1());
    } else if (name == QLatin1String("DELIMITER")) {
        const QString problem = SettingRules::replySeparatorProblem(parameter);
        if (!problem.isEmpty())
            sendRangeError(name, problem);
        else if (m_params)
            m_params->setReplySeparator(parameter);
    } else {
        bool ok = false;
        double value = m_locale.toDouble(parameter.trimmed(), &ok);
        if (!ok)
            value = 0.0;
        if (isIntegerCommand(name) && std::isfinite(value))
            value = std::trunc(value);
        applyNumber(name, name, value, index);
    }
    emit valuesUpdated();
}

// Applies one value to the setting a command names, refusing what the screens
// refuse; replyName is the command as the peer wrote it, for the error reply.
void RemoteControl::applyNumber(const QString &command, const QString &replyName, double value, int index)
{
    if (command == QLatin1String("MCONC") || command == QLatin1String("MSEL")) {
        if (index < 1) {
            sendRangeError(replyName, QStringLiteral("The molecule index has to be >= 1."));
            return;
        }
        if (index > moleculeCount()) {
            sendRangeError(replyName, QStringLiteral("The molecule index has to be <= %1.").arg(moleculeCount()));
            return;
        }
        if (command == QLatin1String("MSEL")) {
            m_params->molecule(index - 1).selected = value != 0.0;
            return;
        }
        const QString problem = SettingRules::concentrationProblem(value);
        if (!problem.isEmpty()) {
            sendRangeError(replyName, problem);
            return;
        }
        std::vector<double> &concentrations = m_params->pathConditions().concentrations;
        if (concentrations.size() < std::size_t(moleculeCount()))
            concentrations.resize(std::size_t(moleculeCount()), 0.0);
        concentrations[std::size_t(index - 1)] = value;
        return;
    }

    if (value < 0.0) {
        sendRangeError(replyName, QStringLiteral("Parameter values have to be >= 0."));
        if (command == QLatin1String("ATMMODEL"))
            emit applyCurrentAtmModel();
        return;
    }
    if (!std::isfinite(value)) {
        sendRangeError(replyName, QStringLiteral("The value must be a finite number."));
        if (command == QLatin1String("ATMMODEL"))
            emit applyCurrentAtmModel();
        return;
    }

    if (const RangedSetting *ranged = rangedSetting(command)) {
        if (!SettingRules::isOption(ranged->option, value)) {
            sendRangeError(replyName, SettingRules::allowedOptions(ranged->option));
            if (command == QLatin1String("ATMMODEL"))
                emit applyCurrentAtmModel();
            return;
        }
        const int option = int(value);
        if (command == QLatin1String("HITOPT")) {
            if (m_downloader)
                m_downloader->setUsage(option);
        } else if (command == QLatin1String("LSHAPE")) {
            if (m_params)
                m_params->setLineShapeProfile(option);
        } else if (command == QLatin1String("LBROAD")) {
            if (m_params)
                m_params->setBroadeningType(option);
        } else if (command == QLatin1String("INSTRFUNCT")) {
            if (m_instrumentFunction)
                m_instrumentFunction->setType(quint8(option));
        } else if (command == QLatin1String("ATMMODEL")) {
            if (m_atmosphereModels)
                m_atmosphereModels->setCurrentIndex(option);
            emit applyCurrentAtmModel();
        } else if (command == QLatin1String("PREC")) {
            if (m_params)
                m_params->setReplyPrecision(quint8(option));
        } else if (command == QLatin1String("YPARAM") || command == QLatin1String("YUNITS")) {
            if (m_yAxis) {
                if (command == QLatin1String("YPARAM"))
                    m_yAxis->displayedValue = quint8(option);
                else
                    m_yAxis->yUnits = quint8(option);
            }
            emit updateSpectra(true, true);
        }
        return;
    }

    const auto integer = [value] {
        const double limit = double(std::numeric_limits<int>::max());
        return int(std::min(limit, value));
    };
    if (command == QLatin1String("SWAVE") || command == QLatin1String("EWAVE")
        || command == QLatin1String("NUMWNPTS")) {
        if (!m_xAxis)
            return;
        // Each value is judged on its own; the pair is judged by CALC, so that
        // the ends can be sent in either order.
        const bool start = command == QLatin1String("SWAVE");
        const bool end = command == QLatin1String("EWAVE");
        const int points = integer();
        const QString problem = start || end ? SettingRules::wavenumberProblem(value)
                                             : SettingRules::pointsProblem(points);
        if (!problem.isEmpty()) {
            sendRangeError(replyName, problem);
            return;
        }
        if (start)
            m_xAxis->setMinWavenumber(value);
        else if (end)
            m_xAxis->setMaxWavenumber(value);
        else
            m_xAxis->setNumPoints(points);
    } else if (command == QLatin1String("PATH") || command == QLatin1String("TPRES")) {
        if (!m_params)
            return;
        const bool path = command == QLatin1String("PATH");
        const QString problem = path ? SettingRules::pathLengthProblem(value)
                                     : SettingRules::totalPressureProblem(value);
        if (!problem.isEmpty()) {
            sendRangeError(replyName, problem);
            return;
        }
        if (path)
            m_params->pathConditions().pathLength = value;
        else
            m_params->pathConditions().totalPressure = value;
    } else if (command == QLatin1String("TEMP")) {
        if (!m_params)
            return;
        const QString problem = SettingRules::temperatureProblem(value, *m_params);
        if (!problem.isEmpty()) {
            sendRangeError(replyName, problem);
            return;
        }
        m_params->pathConditions().temperature = value;
    } else if (command == QLatin1String("USEBAROM")) {
        m_sensorSettings->useBarometer = value != 0.0;
    } else if (command == QLatin1String("USETHERM")) {
        m_sensorSettings->useThermometer = value != 0.0;
    } else if (command == QLatin1String("USEHUMID")) {
        m_sensorSettings->useHygrometer = value != 0.0;
    } else if (command == QLatin1String("USESENSTAG")) {
        m_sensorSettings->useSensorTag = value != 0.0;
    } else if (command == QLatin1String("SMPLPERIOD") || command == QLatin1String("SMPLSTOAVG")) {
        const QString problem = SettingRules::samplingProblem(value);
        if (!problem.isEmpty()) {
            sendRangeError(replyName, problem);
            return;
        }
        if (command == QLatin1String("SMPLPERIOD"))
            m_sensorSettings->samplingPeriod = integer();
        else
            m_sensorSettings->samplesToAverage = integer();
    } else if (command == QLatin1String("LTHRESH")) {
        if (m_params)
            m_params->setIntensityThreshold(value);
    } else if (command == QLatin1String("LWINGSAT")) {
        if (m_params)
            m_params->setLineWingHalfwidths(integer());
    } else if (command == QLatin1String("LWINGABS")) {
        if (m_params)
            m_params->setLineWingAbsolute(value);
    } else if (command == QLatin1String("LSHIFTUSE")) {
        if (m_params)
            m_params->setLineShiftUsage(value != 0.0 ? 1 : 0);
    } else if (command == QLatin1String("INSTRRES")) {
        if (m_instrumentFunction)
            m_instrumentFunction->setResolution(value);
    } else if (command == QLatin1String("INSTRWING")) {
        if (m_instrumentFunction)
            m_instrumentFunction->setWing(value);
    } else if (command == QLatin1String("ALLCALC")) {
        if (m_params)
            m_params->setCalcNotSelected(value != 0.0);
    } else if (command == QLatin1String("TOTAL")) {
        applyTotal(value != 0.0);
    }
}

void RemoteControl::applyCalc()
{
    QString problem = m_xAxis ? m_xAxis->validationProblem() : QString();
    if (problem.isEmpty() && m_params)
        problem = SettingRules::temperatureProblem(m_params->pathConditions().temperature, *m_params);
    if (!problem.isEmpty()) {
        sendReply(QStringLiteral("CALC : ") + QString(problem).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        return;
    }
    const bool alreadyRunning = m_calculationRunning && m_calculationRunning();
    const bool started = runAndWaitForReady([this] { emit calculate(); }, true);
    if (!started && !alreadyRunning)
        sendReply(QStringLiteral("CALC : The calculation could not be started."));
}

void RemoteControl::applyTotal(bool show)
{
    if (m_yAxis)
        m_yAxis->showTotal = show;
    runAndWaitForReady(
        [this, show] {
            if (show) {
                emit showPlainTotalChanged(true);
                emit showInstrTotalChanged(true);
            }
            emit showTotalChanged(show);
            // The display changes only with a new assembly of the curves; the
            // wait below ends when the redrawn plot reports ready.
            emit updateSpectra(false, true);
        },
        false);
}

// Runs `start` and waits until ready() arrives. The wait never lasts forever:
// while calculating it ends when the calculation has ended (or never began) and
// no ready() followed within the grace time; otherwise after the grace time.
// Returns false when a calculation was expected but none ran.
bool RemoteControl::runAndWaitForReady(const std::function<void()> &start, bool whileCalculating)
{
    bool readySeen = false;
    QEventLoop loop;
    const QMetaObject::Connection connection = connect(this, &RemoteControl::ready, &loop, [&] {
        readySeen = true;
        loop.quit();
    });
    start();
    const bool calculating = whileCalculating && m_calculationRunning && m_calculationRunning();
    if (whileCalculating && !readySeen && !calculating) {
        disconnect(connection);
        return false;
    }
    if (!readySeen) {
        QElapsedTimer idle;
        bool idleStarted = false;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, &loop, [&] {
            if (whileCalculating && m_calculationRunning && m_calculationRunning()) {
                idleStarted = false;
                return;
            }
            if (!idleStarted) {
                idle.start();
                idleStarted = true;
            }
            if (idle.elapsed() >= m_readyGrace)
                loop.quit();
        });
        poll.start();
        ++m_waitDepth;
        loop.exec();
        --m_waitDepth;
    }
    disconnect(connection);
    return true;
}

QString RemoteControl::queryValue(const QString &name, int index, bool broadcast)
{
    const auto number = [this](double value) { return formatDouble(value); };
    if (name == QLatin1String("CALC")) {
        if (!broadcast)
            emit calculate();
        return QString();
    }
    if (name == QLatin1String("FORMAT"))
        return m_params ? QString(QLatin1Char(m_params->replyFormat())) : QString();
    if (name == QLatin1String("DELIMITER"))
        return m_params ? m_params->replySeparator() : QString();
    if (name == QLatin1String("USEBAROM"))
        return formatInt(m_sensorSettings->useBarometer);
    if (name == QLatin1String("USETHERM"))
        return formatInt(m_sensorSettings->useThermometer);
    if (name == QLatin1String("USEHUMID"))
        return formatInt(m_sensorSettings->useHygrometer);
    if (name == QLatin1String("USESENSTAG"))
        return formatInt(m_sensorSettings->useSensorTag);
    if (name == QLatin1String("SMPLPERIOD"))
        return QString::number(m_sensorSettings->samplingPeriod);
    if (name == QLatin1String("SMPLSTOAVG"))
        return QString::number(m_sensorSettings->samplesToAverage);
    if (name == QLatin1String("HITOPT"))
        return m_downloader ? formatInt(m_downloader->usage()) : QString();
    if (name == QLatin1String("INSTRFUNCT") || name == QLatin1String("INSTRRES") || name == QLatin1String("INSTRWING")) {
        if (!m_instrumentFunction)
            return QString();
        if (name == QLatin1String("INSTRFUNCT"))
            return formatInt(m_instrumentFunction->type());
        return number(name == QLatin1String("INSTRRES") ? m_instrumentFunction->resolution()
                                                        : m_instrumentFunction->wing());
    }
    if (name == QLatin1String("ATMMODEL"))
        return m_atmosphereModels ? formatInt(m_atmosphereModels->currentIndex()) : QString();
    if (name == QLatin1String("YPARAM"))
        return m_yAxis ? formatInt(m_yAxis->displayedValue) : QString();
    if (name == QLatin1String("YUNITS"))
        return m_yAxis ? formatInt(m_yAxis->yUnits) : QString();
    if (name == QLatin1String("TOTAL"))
        return m_yAxis ? formatInt(m_yAxis->showTotal) : QString();
    if (m_xAxis) {
        if (name == QLatin1String("SWAVE"))
            return number(m_xAxis->minWavenumber());
        if (name == QLatin1String("EWAVE"))
            return number(m_xAxis->maxWavenumber());
        if (name == QLatin1String("NUMWNPTS"))
            return QString::number(m_xAxis->numPoints());
    }
    if (m_params) {
        const PathConditions &conditions = m_params->pathConditions();
        if (name == QLatin1String("PATH"))
            return number(conditions.pathLength);
        if (name == QLatin1String("TPRES"))
            return number(conditions.totalPressure);
        if (name == QLatin1String("TEMP"))
            return number(conditions.temperature);
        if (name == QLatin1String("LSHAPE"))
            return formatInt(m_params->lineShapeProfile());
        if (name == QLatin1String("LWINGSAT"))
            return formatInt(m_params->lineWingHalfwidths());
        if (name == QLatin1String("LBROAD"))
            return formatInt(m_params->broadeningType());
        if (name == QLatin1String("LSHIFTUSE"))
            return formatInt(m_params->lineShiftUsage());
        if (name == QLatin1String("ALLCALC"))
            return formatInt(m_params->calcNotSelected());
        if (name == QLatin1String("PREC"))
            return formatInt(m_params->replyPrecision());
        if (name == QLatin1String("LTHRESH"))
            return number(m_params->intensityThreshold());
        if (name == QLatin1String("LWINGABS"))
            return number(m_params->lineWingAbsolute());
        if (name == QLatin1String("MCONC") || name == QLatin1String("MSEL")) {
            if (index < 1 || index > moleculeCount()) {
                sendReply(name + QStringLiteral(" : Index out of range. Allowed values: 1 to ")
                          + QString::number(moleculeCount()));
                return QString();
            }
            if (name == QLatin1String("MSEL"))
                return formatInt(m_params->molecule(index - 1).selected);
            const std::vector<double> &concentrations = conditions.concentrations;
            const std::size_t i = std::size_t(index - 1);
            return number(i < concentrations.size() ? concentrations[i] : 0.0);
        }
    }
    if (!name.startsWith(QLatin1String("RESULT;")) || !m_results)
        return QString();

    const QString item = name.mid(7);
    const XAxis &grid = m_results->xAxis();
    if (item == QLatin1String("SWAVE"))
        return number(grid.minWavenumber());
    if (item == QLatin1String("EWAVE"))
        return number(grid.maxWavenumber());
    if (item == QLatin1String("NUMWNPTS"))
        return m_locale.toString(uint(std::max(0, grid.numPoints())));
    if (item == QLatin1String("PATH"))
        return number(m_results->pathLength());
    if (item == QLatin1String("TPRES"))
        return number(m_results->totalPressure());
    if (item == QLatin1String("TEMP"))
        return number(m_results->temperature());
    if (item == QLatin1String("MCONC")) {
        const int count = m_results->moleculeNames().size();
        if (index < 1 || index > count) {
            sendReply(QStringLiteral("RESULT;MCONC : Index out of range. Allowed values: 1 to ")
                      + QString::number(count));
            return QString();
        }
        return number(m_results->concentration(index - 1));
    }
    const QString delimiter = m_params ? m_params->replySeparator() : QStringLiteral(";");
    const char format = m_params ? m_params->replyFormat() : 'g';
    const int precision = m_params ? m_params->replyPrecision() : 8;
    if (item == QLatin1String("WNGRID"))
        return m_results->gridText(delimiter, format, precision);
    if (item == spectrumResultItem())
        return resultSpectrum(index);
    return QString();
}

QString RemoteControl::resultSpectrum(int index)
{
    const int count = moleculeCount();
    if (index < -1 || index > count) {
        if (index == unknownMoleculeIndex)
            sendReply(QLatin1String("RESULT;") + spectrumResultItem()
                      + QLatin1String(" : String parameter unknown. Allowed values: TOTAL, INSTR or the "
                                      "molecule chemical formula."));
        else
            sendReply(QLatin1String("RESULT;") + spectrumResultItem()
                      + QLatin1String(" : Index out of range. Allowed values: -1 to ") + QString::number(count));
        return QString();
    }
    const bool totalShown = m_yAxis && m_yAxis->showTotal;
    if (!totalShown && index <= 0)
        applySetting(QStringLiteral("TOTAL"), QStringLiteral("1"), 0);
    else if (totalShown && index >= 1)
        applySetting(QStringLiteral("TOTAL"), QStringLiteral("0"), 0);

    QString name;
    if (index >= 1) {
        name = m_params->molecule(index - 1).name;
    } else if (index == 0) {
        // The plain total is titled after the quantity shown.
        if (m_yAxis && m_yAxis->displayedValue == YAxisSettings::Radiance)
            name = QStringLiteral("Radiance");
        else if (m_yAxis && m_yAxis->yUnits == YAxisSettings::CrossSection)
            name = QStringLiteral("XSect_Total");
        else
            name = QStringLiteral("Total");
    } else {
        name = QStringLiteral("Instr. funct.");
    }
    const QString delimiter = m_params->replySeparator();
    const QString text = m_results->spectrumText(name, delimiter, m_params->replyFormat(),
                                                      m_params->replyPrecision());
    if (!text.isEmpty())
        return text;
    const QString tooLow = QStringLiteral(" or else its intensity is too low to display in the plot under the "
                                          "current vertical axis min / max settings.");
    if (index >= 1)
        sendReply(name + QStringLiteral(" : The requested molecular spectrum was either not selected for calculation")
                  + tooLow);
    else if (index == 0)
        sendReply(QStringLiteral("The requested high resolution total spectrum is either disabled for display")
                  + tooLow);
    else
        sendReply(QStringLiteral("The requested instrument function processed total spectrum is either disabled "
                                 "for display")
                  + tooLow);
    return QString();
}

void RemoteControl::applyBinarySetting(const QString &name, const QByteArray &payload, int index)
{
    Q_UNUSED(index)
    const QString code = name.left(name.indexOf(QLatin1String("_BIN"), 0, Qt::CaseInsensitive));
    if (code == QLatin1String("CALC")) {
        emit calculate();
    } else if (const BinaryCode *entry = binaryCode(code)) {
        double value = 0.0;
        bool known = true;
        switch (entry->payload) {
        case BinaryCode::Double:
            value = readLittleEndian<double>(payload);
            break;
        case BinaryCode::Int32:
            // The end of the range is taken as a double when the payload is long
            // enough for one, so that it is symmetric with the start.
            if (code == QLatin1String("EWAV") && payload.size() >= 8)
                value = readLittleEndian<double>(payload);
            else
                value = readLittleEndian<qint32>(payload);
            break;
        case BinaryCode::Int8:
        case BinaryCode::Flag:
            value = readLittleEndian<qint8>(payload);
            break;
        case BinaryCode::NoValue:
            known = false;
            break;
        }
        // These forms address the first molecule of the list.
        if (known)
            applyNumber(QLatin1String(entry->command), name, value, 1);
    }
    emit valuesUpdated();
}

QByteArray RemoteControl::queryBinaryValue(const QString &name, int index) const
{
    Q_UNUSED(index)
    const QString code = name.left(name.indexOf(QLatin1String("_BIN"), 0, Qt::CaseInsensitive));
    const BinaryCode *entry = binaryCode(code);
    if (!entry)
        return QByteArray();
    if (code == QLatin1String("SWAV") || code == QLatin1String("EWAV")) {
        if (!m_xAxis)
            return QByteArray();
        // Wavelength units turn the range round: the start shown is the
        // wavelength of the highest wavenumber.
        return doubleBytes(code == QLatin1String("SWAV") ? m_xAxis->displayStart() : m_xAxis->displayEnd());
    }
    double value = 0.0;
    const PathConditions *conditions = m_params ? &m_params->pathConditions() : nullptr;
    if (code == QLatin1String("NWPO") && m_xAxis)
        value = m_xAxis->numPoints();
    else if (code == QLatin1String("PATH") && conditions)
        value = conditions->pathLength;
    else if (code == QLatin1String("TPRE") && conditions)
        value = conditions->totalPressure;
    else if (code == QLatin1String("TEMP") && conditions)
        value = conditions->temperature;
    else if (code == QLatin1String("UBSE"))
        value = m_sensorSettings->useBarometer;
    else if (code == QLatin1String("UTSE"))
        value = m_sensorSettings->useThermometer;
    else if (code == QLatin1String("UHSE"))
        value = m_sensorSettings->useHygrometer;
    else if (code == QLatin1String("HDOP") && m_downloader)
        value = m_downloader->usage();
    else if (code == QLatin1String("LPRO") && m_params)
        value = m_params->lineShapeProfile();
    else if (code == QLatin1String("LITH") && m_params)
        value = m_params->intensityThreshold();
    else if (code == QLatin1String("LWCS") && m_params)
        value = m_params->lineWingHalfwidths();
    else if (code == QLatin1String("LWCA") && m_params)
        value = m_params->lineWingAbsolute();
    else if (code == QLatin1String("LBRO") && m_params)
        value = m_params->broadeningType();
    else if (code == QLatin1String("LSUS") && m_params)
        value = m_params->lineShiftUsage() != 0;
    else if (code == QLatin1String("IFTY") && m_instrumentFunction)
        value = m_instrumentFunction->type();
    else if (code == QLatin1String("IRES") && m_instrumentFunction)
        value = m_instrumentFunction->resolution();
    else if (code == QLatin1String("IFWI") && m_instrumentFunction)
        value = m_instrumentFunction->wing();
    else if (code == QLatin1String("AAMO") && m_atmosphereModels)
        value = m_atmosphereModels->currentIndex();
    else if (code == QLatin1String("MCON") && m_params && !m_params->pathConditions().concentrations.empty())
        value = m_params->pathConditions().concentrations.front();
    else if (code == QLatin1String("MSEL") && m_params && m_params->moleculeCount() > 0)
        value = m_params->molecule(0).selected;
    else if (code == QLatin1String("CFAM") && m_params)
        value = m_params->calcNotSelected();

    switch (entry->reply) {
    case BinaryCode::Double:
        return doubleBytes(value);
    case BinaryCode::Int32:
    case BinaryCode::Int8:
        return int32Bytes(qint32(value));
    case BinaryCode::Flag:
        return QByteArray(1, value != 0.0 ? '\1' : '\0');
    case BinaryCode::NoValue:
        break;
    }
    return QByteArray();
}
