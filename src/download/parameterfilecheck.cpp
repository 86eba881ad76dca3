#include "download/parameterfilecheck.h"

#include <QList>
#include <QRegularExpression>

namespace ParameterFileCheck {

QString textProblem(const QByteArray &body)
{
    if (body.trimmed().isEmpty())
        return QStringLiteral("The server sent an empty file.");
    if (body.contains('\0'))
        return QStringLiteral("The server sent binary data instead of the file.");
    const QByteArray start = body.trimmed().left(64).toLower();
    if (start.startsWith('<'))
        return QStringLiteral("The server sent a web page instead of the file.");
    return QString();
}

QString molparamProblem(const QByteArray &body)
{
    const QString problem = textProblem(body);
    if (!problem.isEmpty())
        return problem;
    static const QRegularExpression molecule(QStringLiteral("^\\s*\\S+\\s*\\(\\s*\\d+\\s*\\)"),
                                             QRegularExpression::MultilineOption);
    if (!molecule.match(QString::fromLatin1(body)).hasMatch())
        return QStringLiteral("The server sent a file that names no molecule.");
    return QString();
}

QString globalIdProblem(const QByteArray &body)
{
    const QString problem = textProblem(body);
    if (!problem.isEmpty())
        return problem;
    const QList<QByteArray> lines = body.split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).trimmed().split('\t');
        bool global = false;
        bool molecule = false;
        bool isotopologue = false;
        if (fields.size() >= 3) {
            fields.at(0).trimmed().toInt(&global);
            fields.at(1).trimmed().toInt(&molecule);
            fields.at(2).trimmed().toInt(&isotopologue);
        }
        if (global && molecule && isotopologue)
            return QString();
    }
    return QStringLiteral("The server sent a file that lists no isotopologue.");
}

QString tipsProblem(const QByteArray &body)
{
    const QString problem = textProblem(body);
    if (!problem.isEmpty())
        return problem;
    const QList<QByteArray> fields = body.trimmed().split('\n').value(0).simplified().split(' ');
    bool temperature = false;
    bool sum = false;
    if (fields.size() == 2) {
        fields.at(0).toDouble(&temperature);
        fields.at(1).toDouble(&sum);
    }
    if (!temperature || !sum)
        return QStringLiteral("The server sent a file that is no partition-sum table.");
    return QString();
}

} // namespace ParameterFileCheck
