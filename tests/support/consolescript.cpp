#include "consolescript.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

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
