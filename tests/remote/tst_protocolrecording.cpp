#include "consolescript.h"

#include <QCoreApplication>
#include <QFile>
#include <QtTest>

// Every command and query of the remote protocol, in its text and binary forms
// and with valid, refused and odd values, sent to kolvex-console; its replies
// must match the recording in tests/data/remote byte for byte. The recording was
// made before the command processor was rebuilt around a table, so any reply,
// message or byte that changes shows up here.
//
// To record anew after a deliberate change of the protocol, run the test with
// KOLVEX_PROTOCOL_RECORD set to the path the new recording is to be written to.
class TestProtocolRecording : public QObject
{
    Q_OBJECT

private slots:
    void repliesMatchTheRecording();
};

namespace {

const QString scriptPath = QStringLiteral(KOLVEX_TEST_DATA "/remote/protocol-script.txt");
const QString recordingPath = QStringLiteral(KOLVEX_TEST_DATA "/remote/protocol-recording.txt");

// The bytes a script line stands for: \xHH, \\, \r and \t are escapes.
QByteArray unescaped(const QByteArray &line)
{
    QByteArray bytes;
    for (int i = 0; i < line.size(); ++i) {
        if (line.at(i) != '\\' || i + 1 >= line.size()) {
            bytes += line.at(i);
            continue;
        }
        const char next = line.at(++i);
        if (next == 'x' && i + 2 < line.size()) {
            bytes += char(line.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else {
            bytes += next == 'r' ? '\r' : next == 't' ? '\t' : next;
        }
    }
    return bytes;
}

// A reply line as the recording shows it: printable ASCII as it is, every other
// byte, a backslash and a blank at the end as escapes.
QByteArray escaped(const QByteArray &bytes)
{
    QByteArray text;
    for (int i = 0; i < bytes.size(); ++i) {
        const uchar c = uchar(bytes.at(i));
        if (c < 0x20 || c >= 0x7f || c == '\\' || (c == ' ' && i == bytes.size() - 1))
            text += "\\x" + QByteArray::number(c, 16).rightJustified(2, '0');
        else
            text += char(c);
    }
    return text;
}

// A command that no script line sends and whose reply names it: the console
// answers each in turn, so the replies between two of them belong to one line.
QByteArray marker(int line)
{
    return "#ZMARK" + QByteArray::number(line);
}

QByteArray markerReply(int line)
{
    return "ZMARK" + QByteArray::number(line) + " : Parameter out of range. Parameter values have to be >= 0.\n";
}

} // namespace

void TestProtocolRecording::repliesMatchTheRecording()
{
    QFile script(scriptPath);
    QVERIFY2(script.open(QIODevice::ReadOnly), qPrintable(scriptPath));
    QList<QByteArray> lines;
    for (const QByteArray &line : script.readAll().split('\n')) {
        if (!line.isEmpty() && !line.startsWith("--"))
            lines.append(line);
    }
    QByteArray input;
    for (int i = 0; i < lines.size(); ++i)
        input += unescaped(lines.at(i)) + '\n' + marker(i) + ";-1\n";
    QVERIFY(input.size() < 60000);

    const ConsoleScript console = ConsoleScript::run(input, 240000);
    QVERIFY(console.finished);
    QCOMPARE(console.exitCode, 0);
    const QByteArray &output = console.output;

    QByteArray transcript("Protocol recording: each message sent to kolvex-console (>) and its replies (<), "
                          "one per line; the replies to binary forms as the hex bytes of all their lines.\n");
    int position = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const int end = output.indexOf(markerReply(i), position);
        QVERIFY2(end >= 0, qPrintable(QStringLiteral("no marker after line %1: %2").arg(i).arg(QString::fromLatin1(lines.at(i)))));
        const QByteArray replies = output.mid(position, end - position);
        position = end + markerReply(i).size();
        transcript += "> " + lines.at(i) + '\n';
        if (lines.at(i).toUpper().contains("_BIN")) {
            if (!replies.isEmpty())
                transcript += "< hex " + replies.toHex(' ') + '\n';
            continue;
        }
        QList<QByteArray> replyLines = replies.split('\n');
        replyLines.removeLast();   // the text after the last line end, always empty
        for (const QByteArray &reply : qAsConst(replyLines))
            transcript += reply.isEmpty() ? QByteArray("<\n") : "< " + escaped(reply) + '\n';
    }
    QCOMPARE(output.mid(position), QByteArray());

    const QByteArray recordTo = qgetenv("KOLVEX_PROTOCOL_RECORD");
    if (!recordTo.isEmpty()) {
        QFile record(QString::fromLocal8Bit(recordTo));
        QVERIFY(record.open(QIODevice::WriteOnly) && record.write(transcript) == transcript.size());
    }
    QFile recording(recordingPath);
    QVERIFY2(recording.open(QIODevice::ReadOnly), qPrintable(recordingPath));
    const QList<QByteArray> expected = recording.readAll().split('\n');
    const QList<QByteArray> actual = transcript.split('\n');
    for (int i = 0; i < std::min(expected.size(), actual.size()); ++i)
        QVERIFY2(actual.at(i) == expected.at(i),
                 qPrintable(QStringLiteral("recording line %1\n   actual: %2\n expected: %3")
                                .arg(i + 1)
                                .arg(QString::fromUtf8(actual.at(i)), QString::fromUtf8(expected.at(i)))));
    QCOMPARE(actual.size(), expected.size());
}

QTEST_GUILESS_MAIN(TestProtocolRecording)
#include "tst_protocolrecording.moc"
