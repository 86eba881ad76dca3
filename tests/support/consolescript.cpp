#include "consolescript.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>

ConsoleScript ConsoleScript::run(const QByteArray &input, int timeoutMs)
{
    ConsoleScript result;
    QTemporaryDir folder;
    if (!folder.isValid())
        return result;
    QProcess console;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    console.setProcessEnvironment(environment);
    // No network: port 9 refuses at once, so the shipped data serve.
    console.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../kolvex-console"),
                  {QStringLiteral("--data-dir"), folder.path(), QStringLiteral("--service-url"),
                   QStringLiteral("http://127.0.0.1:9")});
    if (!console.waitForStarted())
        return result;
    console.write(input);
    console.closeWriteChannel();
    result.finished = console.waitForFinished(timeoutMs);
    result.exitCode = console.exitCode();
    result.output = console.readAllStandardOutput();
    return result;
}

QList<QByteArray> ConsoleScript::scriptLines(const QString &path)
{
    QFile script(path);
    QList<QByteArray> lines;
    if (!script.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : script.readAll().split('\n')) {
        if (!line.isEmpty() && !line.startsWith("--"))
            lines.append(line);
    }
    return lines;
}

ConsoleScript::Replies ConsoleScript::runMarked(const QList<QByteArray> &messages, int timeoutMs,
                                                const std::function<QByteArray(const QByteArray &)> &toSend)
{
    // ZMARK is no command; a negative value for it is refused with a fixed reply.
    const auto marker = [](int i) { return "#ZMARK" + QByteArray::number(i) + ";-1\n"; };
    const auto markerReply = [](int i) {
        return "ZMARK" + QByteArray::number(i) + " : Parameter out of range. Parameter values have to be >= 0.\n";
    };
    Replies result;
    QByteArray input;
    for (int i = 0; i < messages.size(); ++i)
        input += (toSend ? toSend(messages.at(i)) : messages.at(i)) + '\n' + marker(i);
    const ConsoleScript console = run(input, timeoutMs);
    if (!console.finished || console.exitCode != 0) {
        result.problem = QStringLiteral("kolvex-console did not end well (finished %1, exit code %2)")
                             .arg(console.finished)
                             .arg(console.exitCode);
        return result;
    }
    int position = 0;
    for (int i = 0; i < messages.size(); ++i) {
        const int end = console.output.indexOf(markerReply(i), position);
        if (end < 0) {
            result.problem = QStringLiteral("no marker after line %1: %2").arg(i).arg(QString::fromLatin1(messages.at(i)));
            return result;
        }
        result.replies.append(console.output.mid(position, end - position));
        position = end + markerReply(i).size();
    }
    result.rest = console.output.mid(position);
    return result;
}

QString ConsoleScript::recordingDifference(const QByteArray &transcript, const QString &path, const QString &recordTo)
{
    if (!recordTo.isEmpty()) {
        QFile record(recordTo);
        if (!record.open(QIODevice::WriteOnly) || record.write(transcript) != transcript.size())
            return QStringLiteral("cannot write %1").arg(recordTo);
    }
    QFile recording(path);
    if (!recording.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1").arg(path);
    const QList<QByteArray> expected = recording.readAll().split('\n');
    const QList<QByteArray> actual = transcript.split('\n');
    for (int i = 0; i < std::min(expected.size(), actual.size()); ++i) {
        if (actual.at(i) != expected.at(i))
            return QStringLiteral("%1 line %2\n   actual: %3\n expected: %4")
                .arg(path)
                .arg(i + 1)
                .arg(QString::fromUtf8(actual.at(i)), QString::fromUtf8(expected.at(i)));
    }
    if (actual.size() != expected.size())
        return QStringLiteral("%1: %2 lines instead of %3").arg(path).arg(actual.size()).arg(expected.size());
    return QString();
}
