#include "hitranstandinserver.h"

#include "download/linefilestore.h"

#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSet>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

namespace {
const QByteArray sessionCookie = "sessionid=kolvex-test-session";
}

HitranStandInServer::HitranStandInServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &HitranStandInServer::onNewConnection);
}

HitranStandInServer::~HitranStandInServer()
{
    const auto sockets = m_pending.keys();
    for (QTcpSocket *socket : sockets)
        socket->abort();
}

bool HitranStandInServer::start(const QHostAddress &address)
{
    return m_server.listen(address, 0);
}

QString HitranStandInServer::baseUrl() const
{
    return QStringLiteral("http://%1:%2").arg(m_server.serverAddress().toString()).arg(m_server.serverPort());
}

void HitranStandInServer::setLineFile(const QString &path)
{
    m_lineFile = path;
    m_lines.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    LineRecord record;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (!LineFileStore::parseRecord(line.constData(), line.size(), record))
            continue;
        LineEntry entry;
        entry.globalId = m_globalIds.value(record.molecule * 100 + record.isotopologue, 0);
        entry.wavenumber = record.wavenumber;
        entry.text = line;
        m_lines.push_back(entry);
    }
}

void HitranStandInServer::setGlobalIds(const std::vector<Molecule> &molecules)
{
    m_globalIds.clear();
    for (size_t m = 0; m < molecules.size(); ++m) {
        for (size_t i = 0; i < molecules[m].isotopologues.size(); ++i)
            m_globalIds.insert(int(m + 1) * 100 + int(i + 1), molecules[m].isotopologues[i].globalId);
    }
    if (!m_lineFile.isEmpty())
        setLineFile(m_lineFile);
}

void HitranStandInServer::setFailure(const QString &pathPart, Failure failure, int skip)
{
    m_failures.append({pathPart, failure, skip});
    m_matchCounts.remove(pathPart);
}

int HitranStandInServer::requestCount(const QString &pathPart) const
{
    int count = 0;
    for (const Request &request : m_requests) {
        if (QString::fromLatin1(request.target).contains(pathPart))
            ++count;
    }
    return count;
}

QByteArray HitranStandInServer::linesBetween(double numin, double numax) const
{
    QByteArray out;
    for (const LineEntry &entry : m_lines) {
        if (entry.wavenumber >= numin && entry.wavenumber <= numax)
            out += entry.text + (m_crlf ? "\r\n" : "\n");
    }
    return out;
}

void HitranStandInServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_pending.insert(socket, QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_pending.remove(socket);
            socket->deleteLater();
        });
    }
}

void HitranStandInServer::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buffer = m_pending[socket];
    buffer += socket->readAll();
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    Request request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.target = first.value(1);
    int contentLength = 0;
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-length")
            contentLength = value.toInt();
        else if (name == "content-type")
            request.contentType = value;
        else if (name == "cookie")
            request.cookie = value;
    }
    if (buffer.size() < headerEnd + 4 + contentLength)
        return;
    request.body = buffer.mid(headerEnd + 4, contentLength);
    buffer.clear();
    m_requests.append(request);
    handle(socket, request);
}

HitranStandInServer::Failure HitranStandInServer::failureFor(const QByteArray &target)
{
    for (const FailureRule &rule : qAsConst(m_failures)) {
        if (!QString::fromLatin1(target).contains(rule.pathPart))
            continue;
        const int seen = m_matchCounts.value(rule.pathPart, 0);
        m_matchCounts.insert(rule.pathPart, seen + 1);
        if (seen >= rule.skip)
            return rule.failure;
    }
    return Failure::None;
}

void HitranStandInServer::handle(QTcpSocket *socket, const Request &request)
{
    for (auto it = m_redirects.constBegin(); it != m_redirects.constEnd(); ++it) {
        if (QString::fromLatin1(request.target).contains(it.key())) {
            reply(socket, 302, "<html>Moved</html>", Failure::None, "Location: " + it.value().toLatin1() + "\r\n");
            return;
        }
    }
    const Failure failure = failureFor(request.target);
    if (failure == Failure::NeverAnswer) {
        m_stalled.append(socket);
        return;
    }
    if (failure == Failure::NotFound) {
        reply(socket, 404, "<html>Not found</html>", Failure::None);
        return;
    }
    if (failure == Failure::ServerError) {
        reply(socket, 500, "<html>Internal error</html>", Failure::None);
        return;
    }
    const QString path = QUrl(QString::fromLatin1(request.target)).path();
    auto serveFile = [&](const QString &fileName) {
        QFile file(fileName);
        if (fileName.isEmpty() || !file.open(QIODevice::ReadOnly))
            reply(socket, 404, "no such file", Failure::None);
        else
            reply(socket, 200, file.readAll(), failure);
    };
    if (request.method == "POST" && path == QLatin1String("/login/")) {
        reply(socket, 200, "<html>Welcome</html>", failure,
              "Set-Cookie: " + sessionCookie + "; Path=/\r\n");
    } else if (path == QLatin1String("/lbl/api")) {
        reply(socket, 200, lineQuery(request.target), failure);
    } else if (path == QLatin1String("/lbl/5")) {
        if (!request.cookie.contains(sessionCookie))
            reply(socket, 403, "<html>Please log in</html>", Failure::None);
        else
            reply(socket, 200, lineQuery(request.target), failure);
    } else if (path.startsWith(QLatin1String("/data/Q/"))) {
        const QString name = path.mid(8);
        static const QRegularExpression tipsName(QStringLiteral("^q\\d+\\.txt$"));
        serveFile(tipsName.match(name).hasMatch() && !m_tipsFolder.isEmpty()
                      ? m_tipsFolder + QLatin1Char('/') + name
                      : QString());
    } else if (path == QLatin1String("/media/molparam.txt")) {
        serveFile(m_molparamFile);
    } else if (path == QLatin1String("/exe/globalid.txt")) {
        serveFile(m_globalIdFile);
    } else {
        reply(socket, 404, "no such page", Failure::None);
    }
}

QByteArray HitranStandInServer::lineQuery(const QByteArray &target) const
{
    const QUrlQuery query(QUrl(QString::fromLatin1(target)));
    QSet<int> ids;
    const QStringList idTexts = query.queryItemValue(QStringLiteral("iso_ids_list"), QUrl::FullyDecoded)
                                    .split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &id : idTexts)
        ids.insert(id.toInt());
    const double numin = query.queryItemValue(QStringLiteral("numin")).toDouble();
    const double numax = query.queryItemValue(QStringLiteral("numax")).toDouble();
    QByteArray out;
    for (const LineEntry &entry : m_lines) {
        if (entry.wavenumber >= numin && entry.wavenumber <= numax && ids.contains(entry.globalId))
            out += entry.text + (m_crlf ? "\r\n" : "\n");
    }
    return out;
}

bool HitranStandInServer::replyHostile(QTcpSocket *socket, Failure failure, const QByteArray &body)
{
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n";
    switch (failure) {
    case Failure::CutWithoutLength: {
        // Without a length the client cannot tell the cut from the end.
        const int secondLine = body.indexOf('\n') + 1;
        socket->write(head + "\r\n" + body.left(secondLine + 80));
        socket->disconnectFromHost();
        return true;
    }
    case Failure::RecordThenHtml: {
        const QByteArray text = body.left(body.indexOf('\n') + 1) + "<html><body>Internal error</body></html>\n";
        socket->write(head + "Content-Length: " + QByteArray::number(text.size()) + "\r\n\r\n" + text);
        socket->disconnectFromHost();
        return true;
    }
    case Failure::WrongRange: {
        const QByteArray text = linesBetween(0.0, 50000.0);
        socket->write(head + "Content-Length: " + QByteArray::number(text.size()) + "\r\n\r\n" + text);
        socket->disconnectFromHost();
        return true;
    }
    case Failure::HtmlPage: {
        const QByteArray text = "<!DOCTYPE html>\n<html><body>Please log in</body></html>\n";
        socket->write(head + "Content-Length: " + QByteArray::number(text.size()) + "\r\n\r\n" + text);
        socket->disconnectFromHost();
        return true;
    }
    case Failure::Drip: {
        // A length a good reply could have: only the time limit ends the drip.
        socket->write(head + "Content-Length: 100000\r\n\r\n");
        auto *timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket] { socket->write("1"); });
        timer->start(m_dripIntervalMs);
        return true;
    }
    case Failure::Endless: {
        socket->write(head + "\r\n");
        const QByteArray chunk(64 * 1024, '7');
        auto more = [this, socket, chunk] {
            if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 4 * chunk.size()) {
                socket->write(chunk);
                m_endlessBytes += chunk.size();
            }
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, more);
        more();
        return true;
    }
    default:
        return false;
    }
}

void HitranStandInServer::reply(QTcpSocket *socket, int status, const QByteArray &body, Failure failure,
                                const QByteArray &extraHeaders)
{
    if (status == 200 && replyHostile(socket, failure, body))
        return;
    const QByteArray reason = status == 200 ? "OK" : status == 302 ? "Found" : status == 404 ? "Not Found"
        : status == 403                                                      ? "Forbidden"
                                                                             : "Internal Server Error";
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n"
        + "Content-Type: text/plain\r\n" + "Content-Length: " + QByteArray::number(body.size()) + "\r\n"
        + extraHeaders + "Connection: close\r\n\r\n";
    socket->write(head);
    if (failure == Failure::CutShort)
        socket->write(body.left(body.size() / 2));
    else
        socket->write(body);
    socket->disconnectFromHost();
}
