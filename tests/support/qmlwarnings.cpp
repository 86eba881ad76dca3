#include "qmlwarnings.h"

#include <QCoreApplication>
#include <QDir>

namespace {

QStringList collected;
QtMessageHandler previousHandler = nullptr;

void collect(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg
        && (message.contains(QLatin1String(".qml")) || QByteArray(context.category) == "qml"))
        collected.append(message);
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

void QmlWarnings::install()
{
    collected.clear();
    previousHandler = qInstallMessageHandler(collect);
}

void QmlWarnings::uninstall()
{
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
}

QStringList QmlWarnings::take()
{
    const QStringList warnings = collected;
    collected.clear();
    return warnings;
}

QString screenshotFolder()
{
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    return folder;
}
