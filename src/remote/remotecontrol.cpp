#include "remote/remotecontrol.h"

#include "core/measuredfitting.h"
#include "core/params.h"
#include "core/settingrules.h"
#include "core/xaxis.h"
#include "core/yaxissettings.h"
#include "remote/binaryvalue.h"
#include "remote/commandline.h"
#include "remote/commandtable.h"
#include "remote/readywait.h"
#include "remote/replyformat.h"
#include "remote/resultqueries.h"
#include "remote/transport.h"

#include <algorithm>
#include <cmath>

namespace {

const QString outOfRange = QStringLiteral(" : Parameter out of range. ");

} // namespace

RemoteControl::RemoteControl(QObject *parent)
    : QObject(parent)
    , m_readyWait(new ReadyWait(this))
{
    connect(this, &RemoteControl::ready, m_readyWait, &ReadyWait::ready);
    m_locale.setNumberOptions(QLocale::OmitGroupSeparator);
}

RemoteControl::~RemoteControl() = default;

// ---------------------------------------------------------------- transports

void RemoteControl::setTransport(CommunicationMode mode, Transport *transport)
{
    if (Transport *previous = m_transports.value(mode))
        disconnect(previous, nullptr, this, nullptr);
    m_transports.insert(mode, transport);
    if (!transport)
        return;
    listenTo(transport);
    transport->setEnabled(mode == m_communicationMode);
}

void RemoteControl::setConsole(Transport *console)
{
    if (m_console)
        disconnect(m_console, nullptr, this, nullptr);
    m_console = console;
    if (console)
        listenTo(console);
}

void RemoteControl::listenTo(Transport *transport)
{
    connect(transport, &Transport::commandReceived, this,
            [this, transport](const QString &message, quint64 peer) { receive(transport, peer, message); });
    connect(transport, &Transport::peerLeft, this, [this, transport](quint64 peer) { forgetPeer(transport, peer); });
}

void RemoteControl::setCommunicationMode(int mode)
{
    if (mode < NoCommunication || mode > WebSocketMode)
        mode = NoCommunication;
    m_communicationMode = mode;
    for (auto it = m_transports.cbegin(); it != m_transports.cend(); ++it) {
        if (it.value())
            it.value()->setEnabled(it.key() == mode);
    }
}

bool RemoteControl::isConnected() const
{
    if (m_console)
        return true;
    const Transport *active = m_transports.value(m_communicationMode);
    return m_communicationMode != NoCommunication && active && active->isConnected();
}

void RemoteControl::sendReply(const QString &text)
{
    if (!isConnected())
        return;
    if (m_console)
        m_console->send(text);
    if (Transport *active = m_transports.value(m_communicationMode))
        active->send(text);
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
    const Command *known = CommandTable::find(command);
    if (known && known->perMolecule)
        sendReply(QLatin1Char('#') + command + QLatin1Char(';') + QString::number(index) + QLatin1Char(';') + value);
    else
        sendReply(QLatin1Char('#') + command + QLatin1Char(';') + value);
}

void RemoteControl::announceChange(Setting setting, int index)
{
    if (const Command *command = CommandTable::find(setting))
        broadcastValue(QString::fromLatin1(command->name), index);
}

void RemoteControl::emitReadyMessage()
{
    // Commands that waited for the calculation's end go on.
    scheduleProcessing();
    if (!isConnected())
        return;
    sendReply(QStringLiteral("READY"));
    emit ready();
}

void RemoteControl::setReady()
{
    emit ready();
}

// ---------------------------------------------------------------- framing

void RemoteControl::bufferAndProcessCommands(const QString &message)
{
    receive(nullptr, 0, message);
}

QString RemoteControl::bufferedText() const
{
    QString text;
    for (const Pending &pending : m_queue)
        text += pending.text.mid(pending.position);
    return text;
}

bool RemoteControl::peerHasWaiting(const PeerKey &peer) const
{
    return std::any_of(m_queue.begin(), m_queue.end(), [&peer](const Pending &pending) { return pending.peer == peer; });
}

void RemoteControl::receive(const Transport *transport, quint64 peer, const QString &message)
{
    if (!isConnected())
        return;
    if (m_queuedCharacters + message.size() > maxBufferLength) {
        sendReply(QStringLiteral("The receive buffer is full; the message was dropped."));
        return;
    }
    // Text in front of the first command is never run, so nothing of it is kept.
    const int first = message.indexOf(QLatin1Char('#'));
    if (first < 0)
        return;
    Pending pending{PeerKey(transport, peer), message, first, int(message.count(QLatin1Char('#')))};
    const bool blocked = m_processing || m_held || m_readyWait->waiting() || !m_queue.empty()
        || m_readyWait->calculating();
    if (blocked && !m_held && !peerHasWaiting(pending.peer)) {
        // Queries about settings are answered from the settings as they are now,
        // whatever runs or waits.
        bool onlySettingQueries = true;
        for (int at = first; at >= 0 && onlySettingQueries;) {
            const int next = message.indexOf(QLatin1Char('#'), at + 1);
            onlySettingQueries = isSettingQuery(message.mid(at, next < 0 ? -1 : next - at));
            at = next;
        }
        if (onlySettingQueries) {
            for (int at = first; at >= 0;) {
                const int next = message.indexOf(QLatin1Char('#'), at + 1);
                processCommandString(message.mid(at, next < 0 ? -1 : next - at));
                at = next;
            }
            return;
        }
    }
    if (blocked) {
        int &waiting = m_waitingCommands[pending.peer];
        if (waiting + pending.commands > maxWaitingCommands) {
            if (!m_refusedPeers.contains(pending.peer)) {
                m_refusedPeers.insert(pending.peer);
                sendReply(QStringLiteral("The message was dropped: at most %1 commands of one peer can wait while "
                                         "a calculation runs.")
                              .arg(maxWaitingCommands));
            }
            return;
        }
        waiting += pending.commands;
    }
    m_queuedCharacters += message.size() - first;
    m_queue.push_back(std::move(pending));
    if (!blocked)
        processQueue();
}

void RemoteControl::forgetPeer(const Transport *transport, quint64 peer)
{
    const PeerKey key(transport, peer);
    m_waitingCommands.remove(key);
    m_refusedPeers.remove(key);
    // A command of the peer's that is running finishes (its results are
    // shared); the rest of what it sent goes.
    const bool frontRunning = m_processing || m_readyWait->waiting();
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if (it->peer != key || (frontRunning && it == m_queue.begin())) {
            ++it;
            continue;
        }
        m_queuedCharacters -= it->text.size() - it->position;
        it = m_queue.erase(it);
    }
    if (frontRunning && !m_queue.empty() && m_queue.front().peer == key) {
        Pending &front = m_queue.front();
        m_queuedCharacters -= front.text.size() - front.position;
        front.position = front.text.size();
        front.commands = 0;
    }
}

void RemoteControl::setHeld(bool held)
{
    m_held = held;
    if (!held)
        scheduleProcessing();
}

void RemoteControl::scheduleProcessing()
{
    if (m_processingScheduled)
        return;
    m_processingScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_processingScheduled = false;
            processQueue();
        },
        Qt::QueuedConnection);
}

bool RemoteControl::isSettingQuery(const QString &command) const
{
    const CommandLine line = CommandLine::parse(command, m_targets.params, m_locale);
    if (line.empty() || !line.query)
        return false;
    const Command *known = line.binary
        ? CommandTable::findBinary(line.name.left(line.name.indexOf(QLatin1String("_BIN"), 0, Qt::CaseInsensitive)))
        : CommandTable::find(line.name);
    // Results belong to the calculation, and the query form of CALC starts one.
    return known && known->kind != Command::Kind::Action;
}

bool RemoteControl::waitsForCalculation(const QString &command) const
{
    if (isSettingQuery(command))
        return false;
    // CALC itself waits for the end of the calculation that runs, as for its own.
    const CommandLine line = CommandLine::parse(command, m_targets.params, m_locale);
    const Command *known = line.binary ? nullptr : CommandTable::find(line.name);
    return !line.empty() && !(known && known->kind == Command::Kind::Action && !line.query);
}

bool RemoteControl::isResultQuery(const QString &command) const
{
    const CommandLine line = CommandLine::parse(command, m_targets.params, m_locale);
    return !line.empty() && line.query && line.name.startsWith(QLatin1String("RESULT"), Qt::CaseInsensitive);
}

// Runs the commands received, one after the other, until one waits (for a
// calculation's end or the redrawn plot) or none is left; a wait that ends
// goes on from there.
void RemoteControl::processQueue()
{
    if (m_processing || m_held || m_readyWait->waiting())
        return;
    m_processing = true;
    QPointer<RemoteControl> alive(this);
    while (!m_queue.empty()) {
        // Every peer is gone (a peer that did not read its replies is dropped):
        // what was sent is not run for nobody.
        if (!isConnected()) {
            m_queue.clear();
            m_queuedCharacters = 0;
            m_waitingCommands.clear();
            break;
        }
        Pending &pending = m_queue.front();
        const int first = pending.text.indexOf(QLatin1Char('#'), pending.position);
        if (first < 0) {
            m_queuedCharacters -= pending.text.size() - pending.position;
            const PeerKey peer = pending.peer;
            m_queue.pop_front();
            if (!peerHasWaiting(peer)) {
                m_waitingCommands.remove(peer);
                m_refusedPeers.remove(peer);
            }
            continue;
        }
        const int next = pending.text.indexOf(QLatin1Char('#'), first + 1);
        const int end = next < 0 ? pending.text.size() : next;
        const QString command = pending.text.mid(first, end - first);
        // Set commands and CALC wait while a calculation runs; its end
        // (emitReadyMessage) lets them go on.
        if (m_readyWait->calculating() && waitsForCalculation(command))
            break;
        if (m_renewing && m_renewing() && isResultQuery(command))
            break;
        m_queuedCharacters -= end - pending.position;
        pending.position = end;
        pending.commands = std::max(0, pending.commands - 1);
        auto waiting = m_waitingCommands.find(pending.peer);
        if (waiting != m_waitingCommands.end())
            waiting.value() = std::max(0, waiting.value() - 1);
        processCommandString(command);
        if (!alive)
            return;
        if (m_readyWait->waiting())
            break;
    }
    m_processing = false;
}

void RemoteControl::processCommandString(const QString &message)
{
    const CommandLine line = CommandLine::parse(message, m_targets.params, m_locale);
    if (line.empty())
        return;
    if (!line.query) {
        if (line.binary)
            applyBinarySetting(line.name, line.parameter.toUtf8(), line.index);
        else
            applySetting(line.name, line.parameter, line.index);
        return;
    }
    if (line.binary) {
        // Every byte goes, NULs included (the QByteArray overload would stop at the first).
        const QByteArray bytes = queryBinaryValue(line.name, line.index);
        sendReply(QString::fromUtf8(bytes.constData(), bytes.size()));
    } else {
        sendReply(queryValue(line.name, line.index, false));
    }
}

// ---------------------------------------------------------------- sets

void RemoteControl::applySetting(const QString &name, const QString &parameter, int index)
{
    const Command *command = CommandTable::find(name);
    const bool text = command && command->kind == Command::Kind::Text;
    if (command && command->kind == Command::Kind::Action) {
        runEffect(*command, 0.0);
    } else if (command && command->readOnly) {
        refuse(name, QStringLiteral("This value can only be asked for."));
    } else if (text) {
        QString problem = command->textProblem ? command->textProblem(parameter) : QString();
        if (problem.isEmpty() && command->setTextOrRefuse && CommandTable::hasTarget(*command, m_targets))
            problem = command->setTextOrRefuse(m_targets, parameter);
        if (!problem.isEmpty())
            refuse(name, problem);
        else if (command->setText && CommandTable::hasTarget(*command, m_targets))
            command->setText(m_targets, parameter);
    } else {
        // A parameter that is not a number reads as 0.
        bool ok = false;
        double value = m_locale.toDouble(parameter.trimmed(), &ok);
        if (!ok)
            value = 0.0;
        const bool whole
            = command && (command->kind == Command::Kind::Integer || command->kind == Command::Kind::Option);
        if (whole && std::isfinite(value))
            value = std::trunc(value);
        applyValue(command, name, value, index);
    }
    emit valuesUpdated();
}

void RemoteControl::applyValue(const Command *command, const QString &replyName, double value, int index)
{
    if (command && (command->readOnly || !command->set)) {
        refuse(replyName, QStringLiteral("This value can only be asked for."));
        return;
    }
    if (command && command->perMolecule) {
        if (index < 1) {
            refuse(replyName, QStringLiteral("The molecule index has to be >= 1."));
            return;
        }
        if (index > moleculeCount()) {
            refuse(replyName, QStringLiteral("The molecule index has to be <= %1.").arg(moleculeCount()));
            return;
        }
        const QString problem = command->problem ? command->problem(m_targets, value) : QString();
        if (!problem.isEmpty())
            refuse(replyName, problem);
        else
            command->set(m_targets, index, value);
        return;
    }

    // Every command, and every unknown name, refuses a negative or infinite
    // number; a model atmosphere is applied even then.
    QString problem;
    if (value < 0.0)
        problem = QStringLiteral("Parameter values have to be >= 0.");
    else if (!std::isfinite(value))
        problem = QStringLiteral("The value must be a finite number.");
    else if (command && command->kind == Command::Kind::Option)
        problem = SettingRules::optionProblem(command->option, value);
    if (!problem.isEmpty()) {
        refuse(replyName, problem);
        if (command && command->effect == Command::Effect::ApplyAtmosphere)
            runEffect(*command, value);
        return;
    }
    if (!command)
        return;
    if (CommandTable::hasTarget(*command, m_targets)) {
        problem = command->problem ? command->problem(m_targets, value) : QString();
        if (!problem.isEmpty()) {
            refuse(replyName, problem);
            return;
        }
        command->set(m_targets, index, value);
    }
    runEffect(*command, value);
}

void RemoteControl::runEffect(const Command &command, double value)
{
    switch (command.effect) {
    case Command::Effect::None:
        break;
    case Command::Effect::ApplyAtmosphere:
        emit applyCurrentAtmModel();
        break;
    case Command::Effect::Redraw:
        emit updateSpectra(true, true);
        break;
    case Command::Effect::ShowTotal:
        applyTotal(value != 0.0);
        break;
    case Command::Effect::Calculate:
        applyCalc();
        break;
    case Command::Effect::Fit:
        applyFit();
        break;
    }
}

void RemoteControl::applyFit()
{
    if (!m_targets.fitting)
        return;
    // The fit waits for its lines and calculations in event loops of its own;
    // the commands that arrive meanwhile wait in the queue.
    QString problem;
    if (!m_targets.fitting->fitMeasured(&problem)) {
        sendReply(QStringLiteral("FIT : ") + problem.simplified());
        return;
    }
    sendReply(m_targets.fitting->fitLines().join(m_targets.params ? m_targets.params->replySeparator()
                                                                   : QStringLiteral(";")));
}

void RemoteControl::refuse(const QString &name, const QString &problem)
{
    // One reply is one line: the screens' messages may break lines.
    QString text = problem;
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    sendReply(name + outOfRange + text);
}

void RemoteControl::applyBinarySetting(const QString &name, const QByteArray &payload, int index)
{
    Q_UNUSED(index)
    const QString code = name.left(name.indexOf(QLatin1String("_BIN"), 0, Qt::CaseInsensitive));
    const Command *command = CommandTable::findBinary(code);
    if (command && command->kind == Command::Kind::Action) {
        // Unlike the text form, the binary one returns at once.
        emit calculate();
    } else if (command && command->binaryPayload != Command::Bytes::None) {
        double value = 0.0;
        if (!BinaryValue::decode(payload, command->binaryPayload, &value))
            refuse(name, BinaryValue::lengthProblem(command->binaryPayload));
        else
            applyValue(command, name, value, 1);   // these forms address the first molecule of the list
    }
    emit valuesUpdated();
}

// ---------------------------------------------------------------- waits

void RemoteControl::applyCalc()
{
    const Params *params = m_targets.params;
    QString problem = m_targets.xAxis ? m_targets.xAxis->validationProblem() : QString();
    if (problem.isEmpty() && params)
        problem = SettingRules::temperatureProblem(params->pathConditions().temperature, *params);
    if (!problem.isEmpty()) {
        sendReply(QStringLiteral("CALC : ") + QString(problem).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        return;
    }
    const bool alreadyRunning = m_readyWait->calculating();
    m_readyWait->run([this] { emit calculate(); }, true, [this, alreadyRunning](bool started) {
        if (!started && !alreadyRunning)
            sendReply(QStringLiteral("CALC : The calculation could not be started."));
        scheduleProcessing();
    });
}

void RemoteControl::applyTotal(bool show)
{
    m_readyWait->run(
        [this, show] {
            if (show) {
                emit showPlainTotalChanged(true);
                emit showInstrTotalChanged(true);
            }
            emit showTotalChanged(show);
            // The display changes only with a new assembly of the curves; the
            // wait ends when the redrawn plot reports ready.
            emit updateSpectra(false, true);
        },
        false, [this](bool) { scheduleProcessing(); });
}

// ---------------------------------------------------------------- queries

QString RemoteControl::queryValue(const QString &name, int index, bool broadcast)
{
    const ReplyFormat format(m_locale, m_targets.params);
    if (const Command *command = CommandTable::find(name)) {
        if (command->kind == Command::Kind::Action) {
            // The query form starts a calculation and does not wait for it.
            if (!broadcast)
                emit calculate();
            return QString();
        }
        if (!CommandTable::hasTarget(*command, m_targets))
            return QString();
        if (command->perMolecule && (index < 1 || index > moleculeCount())) {
            sendReply(name + QStringLiteral(" : Index out of range. Allowed values: 1 to ")
                      + QString::number(moleculeCount()));
            return QString();
        }
        switch (command->reply) {
        case Command::Reply::Real:
            return format.real(command->get(m_targets, index));
        case Command::Reply::Integer:
            return format.integer(qint64(command->get(m_targets, index)));
        case Command::Reply::PlainInteger:
            return QString::number(qint64(command->get(m_targets, index)));
        case Command::Reply::Text:
            return command->getText(m_targets);
        case Command::Reply::Empty:
            break;
        }
        return QString();
    }
    if (!name.startsWith(QLatin1String("RESULT;")))
        return QString();
    const auto reply = [this](const QString &text) { sendReply(text); };
    const auto showTotal = [this](bool show) {
        applySetting(QStringLiteral("TOTAL"), show ? QStringLiteral("1") : QStringLiteral("0"), 0);
    };
    return ResultQueries::answer(name.mid(7), index, m_targets, format, reply, showTotal);
}

QByteArray RemoteControl::queryBinaryValue(const QString &name, int index) const
{
    Q_UNUSED(index)
    const QString code = name.left(name.indexOf(QLatin1String("_BIN"), 0, Qt::CaseInsensitive));
    const Command *command = CommandTable::findBinary(code);
    if (!command || command->binaryReply == Command::Bytes::None || !CommandTable::hasTarget(*command, m_targets))
        return QByteArray();
    // These forms address the first molecule of the list.
    const double value = command->binaryGet ? command->binaryGet(m_targets) : command->get(m_targets, 1);
    return BinaryValue::encode(value, command->binaryReply);
}

int RemoteControl::moleculeCount() const
{
    return m_targets.params ? m_targets.params->moleculeCount() : 0;
}
