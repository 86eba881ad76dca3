#include "remote/commandtable.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

// The screens know settings, not the wire protocol: no QML document names a
// command of the protocol (text or binary form) in a string; the peers hear of
// a change through the command that sets it, which the remote layer finds.
class TestQmlKnowsNoProtocol : public QObject
{
    Q_OBJECT

private slots:
    void noDocumentNamesACommand();
};

void TestQmlKnowsNoProtocol::noDocumentNamesACommand()
{
    QStringList names;
    for (const Command &command : CommandTable::rows()) {
        names << QString::fromLatin1(command.name);
        if (command.binaryCode)
            names << QString::fromLatin1(command.binaryCode) + QStringLiteral("_BIN");
    }
    QVERIFY(names.contains(QStringLiteral("PATH")));
    const QDir folder(QStringLiteral(KOLVEX_SOURCE_DIR "/qml"));
    const QStringList documents = folder.entryList({QStringLiteral("*.qml")}, QDir::Files);
    QVERIFY(documents.size() > 20);
    QStringList found;
    for (const QString &document : documents) {
        QFile file(folder.filePath(document));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size(); ++i) {
            for (const QString &name : qAsConst(names)) {
                // A command as a string of its own, or at the start of command text.
                const QRegularExpression quoted(QStringLiteral("[\"'#]%1[\"';]").arg(QRegularExpression::escape(name)));
                if (quoted.match(lines.at(i)).hasMatch())
                    found << QStringLiteral("%1:%2 %3").arg(document).arg(i + 1).arg(name);
            }
            if (lines.at(i).contains(QLatin1String("broadcastCommand")))
                found << QStringLiteral("%1:%2 broadcastCommand").arg(document).arg(i + 1);
        }
    }
    QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(TestQmlKnowsNoProtocol)
#include "tst_qmlknowsnoprotocol.moc"
