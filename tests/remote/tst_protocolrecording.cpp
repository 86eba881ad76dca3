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

} // namespace

void TestProtocolRecording::repliesMatchTheRecording()
{
    const QList<QByteArray> lines = ConsoleScript::scriptLines(scriptPath);
    QVERIFY2(!lines.isEmpty(), qPrintable(scriptPath));
    const ConsoleScript::Replies console = ConsoleScript::runMarked(lines, 240000, unescaped);
    QVERIFY2(console.problem.isEmpty(), qPrintable(console.problem));

    QByteArray transcript("Protocol recording: each message sent to kolvex-console (>) and its replies (<), "
                          "one per line; the replies to binary forms as the hex bytes of all their lines.\n");
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray &replies = console.replies.at(i);
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
    QCOMPARE(console.rest, QByteArray());

    const QString difference = ConsoleScript::recordingDifference(transcript, recordingPath,
                                                                  qEnvironmentVariable("KOLVEX_PROTOCOL_RECORD"));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

QTEST_GUILESS_MAIN(TestProtocolRecording)
#include "tst_protocolrecording.moc"
