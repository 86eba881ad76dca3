#pragma once

#include <QByteArray>
#include <QString>

// Judges a downloaded parameter file before it is stored: a stored file is
// never fetched again, so a web page, binary bytes or an empty body sent with
// status 200 would otherwise stand in for the file for good. Each returns
// empty for a body that is the file, otherwise why not, for the user.
namespace ParameterFileCheck {

// Text without NUL bytes that is not a web page.
QString textProblem(const QByteArray &body);
// molparam.txt: names at least one molecule by its number in parentheses.
QString molparamProblem(const QByteArray &body);
// globalid.txt: at least one line of a global number, a molecule and an isotopologue.
QString globalIdProblem(const QByteArray &body);
// A partition-sum table: its first line is a temperature and a partition sum.
QString tipsProblem(const QByteArray &body);

} // namespace ParameterFileCheck
