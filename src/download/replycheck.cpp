#include "download/replycheck.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace ReplyCheck {

QString problem(QNetworkReply *reply, const QByteArray &body, bool timedOut, int timeoutMs)
{
    if (timedOut) {
        return QStringLiteral("The server did not answer within %1 s.")
            .arg(QString::number(timeoutMs / 1000.0, 'g', 3));
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::OperationCanceledError)
        return QStringLiteral("The transfer was cancelled.");
    if (status != 0 && status != 200)
        return QStringLiteral("The server answered with HTTP status %1.").arg(status);
    const QString network = networkFailure(reply);
    if (!network.isEmpty())
        return network;
    if (reply->error() != QNetworkReply::NoError)
        return reply->errorString();
    if (status != 200)
        return QStringLiteral("The server sent no valid answer.");
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    // With a compressed transfer the length counts the compressed bytes.
    if (length.isValid() && reply->rawHeader("Content-Encoding").isEmpty()
        && length.toLongLong() != body.size())
        return QStringLiteral("The reply was cut short.");
    return QString();
}

QString networkFailure(QNetworkReply *reply)
{
    // Qt numbers the network-layer errors below 100 and the proxy errors below 200.
    const int error = int(reply->error());
    if (error <= 0 || error >= 200 || reply->error() == QNetworkReply::OperationCanceledError)
        return QString();
    QString reason = reply->errorString();
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return QStringLiteral("Network failure: %1.").arg(reason);
}

} // namespace ReplyCheck
