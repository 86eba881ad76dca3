#pragma once

#include "core/molecule.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

#include <vector>

class QTcpSocket;

// A local stand-in for the HITRANonline service and the product's web host, for
// the tests: a real HTTP/1.1 server on 127.0.0.1 (any free port). It answers the
// line queries (/lbl/api and, with a login cookie, /lbl/5) with the records of a
// line file filtered by the isotopologue list and numin/numax, serves
// /data/Q/q<N>.txt from a folder, /media/molparam.txt and /exe/globalid.txt from
// files, accepts the login form at /login/, and fails on request.
class HitranStandInServer : public QObject
{
    Q_OBJECT

public:
    enum class Failure {
        None,
        NotFound,       // 404 with a body
        ServerError,    // 500 with a body
        CutShort,       // 200 announcing the full length, then half of it and closed
        NeverAnswer,    // the connection is accepted and nothing is ever sent
        // Hostile or broken servers:
        CutWithoutLength,   // 200 without a length, cut inside the second record and closed
        RecordThenHtml,     // 200: the first record, then an HTML page
        WrongRange,         // 200: records of a range far from the one asked for
        HtmlPage,           // 200: an HTML page instead of the file
        Drip,               // 200, then one byte every dripInterval ms, for ever
        Endless             // 200 without a length, then bytes as fast as they go, for ever
    };

    struct Request
    {
        QByteArray method;
        QByteArray target;        // path and query as sent
        QByteArray contentType;
        QByteArray cookie;
        QByteArray body;
    };

    explicit HitranStandInServer(QObject *parent = nullptr);
    ~HitranStandInServer() override;

    // Listens on address (127.0.0.1 unless told otherwise; 127.0.0.2 makes
    // another host on the same machine).
    bool start(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost));
    QString baseUrl() const;

    void setLineFile(const QString &path);
    // Global isotopologue number of each (molecule, isotopologue) from a molecule table.
    void setGlobalIds(const std::vector<Molecule> &molecules);
    void setTipsFolder(const QString &folder) { m_tipsFolder = folder; }
    void setMolparamFile(const QString &path) { m_molparamFile = path; }
    void setGlobalIdFile(const QString &path) { m_globalIdFile = path; }
    // Serve line records with CRLF line ends instead of LF.
    void setCrlf(bool crlf) { m_crlf = crlf; }

    // Requests whose target contains pathPart fail as given, once skip such requests
    // have been answered normally.
    void setFailure(const QString &pathPart, Failure failure, int skip = 0);
    void clearFailures() { m_failures.clear(); }
    // Requests whose target contains pathPart are answered "302 Found" with
    // the given Location.
    void setRedirect(const QString &pathPart, const QString &location) { m_redirects.insert(pathPart, location); }

    void setDripInterval(int milliseconds) { m_dripIntervalMs = milliseconds; }
    // Bytes sent by the endless replies so far.
    qint64 endlessBytesSent() const { return m_endlessBytes; }

    QList<Request> requests() const { return m_requests; }
    int requestCount(const QString &pathPart) const;
    // The records a line query for these bounds returns (every isotopologue).
    QByteArray linesBetween(double numin, double numax) const;

private:
    struct FailureRule
    {
        QString pathPart;
        Failure failure = Failure::None;
        int skip = 0;
    };
    struct LineEntry
    {
        int globalId = 0;
        double wavenumber = 0.0;
        QByteArray text;   // the 160 characters
    };

    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void handle(QTcpSocket *socket, const Request &request);
    void reply(QTcpSocket *socket, int status, const QByteArray &body, Failure failure,
               const QByteArray &extraHeaders = QByteArray());
    QByteArray lineQuery(const QByteArray &target) const;
    Failure failureFor(const QByteArray &target);
    // Serves the replies of the hostile failures; false for any other.
    bool replyHostile(QTcpSocket *socket, Failure failure, const QByteArray &body);

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_pending;
    QList<QTcpSocket *> m_stalled;
    QList<Request> m_requests;
    QList<FailureRule> m_failures;
    QHash<QString, QString> m_redirects;
    QHash<QString, int> m_matchCounts;
    std::vector<LineEntry> m_lines;
    QHash<int, int> m_globalIds;   // molecule * 100 + isotopologue -> global number
    QString m_lineFile;
    QString m_tipsFolder;
    QString m_molparamFile;
    QString m_globalIdFile;
    bool m_crlf = false;
    int m_dripIntervalMs = 200;
    qint64 m_endlessBytes = 0;
};
