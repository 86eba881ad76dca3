#pragma once

#include <QByteArray>
#include <QString>

// Judges the line data the service sent for one region before they are kept:
// a stored region is never fetched again, so a reply cut inside a record, a
// record followed by an error page, or records of another range would make
// the spectrum wrong for good without a word. A reply holds whole 160-character
// records only, each within the range asked for; an empty reply is the honest
// answer for a region without lines.
namespace LineReplyCheck {

constexpr int recordLength = 160;

// Empty when the body can be kept, otherwise why not, for the user. start and
// end are the bounds as written in the request.
QString problem(const QByteArray &body, double start, double end);

} // namespace LineReplyCheck
