#pragma once

#include <QByteArray>
#include <QString>

class QNetworkReply;

// Judges a finished network reply for the downloaders: a reply is good only when
// it arrived whole, without a network error, with HTTP status 200.
namespace ReplyCheck {

// Empty for a good reply, otherwise why it is not, in words for the user.
QString problem(QNetworkReply *reply, const QByteArray &body, bool timedOut, int timeoutMs);

// When the reply failed because the network did not carry it (no connection,
// host not found, refused, proxy), the reason in words; otherwise empty.
QString networkFailure(QNetworkReply *reply);

} // namespace ReplyCheck
