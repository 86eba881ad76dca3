#pragma once

#include "core/linefeed.h"
#include "core/molecule.h"
#include "core/settingrules.h"

#include <QObject>
#include <QString>

#include <algorithm>
#include <memory>
#include <vector>

// The lines a calculation asks for: the calculation's range, and the range
// of the lines to read, which is wider by the reach of a line's wings.
struct LineRequest
{
    double start = 0.0;   // of the calculation, cm-1
    double end = 0.0;
    double lineStart = 0.0;   // of the lines to read, cm-1
    double lineEnd = 0.0;
    const std::vector<Molecule> *molecules = nullptr;

    // The request of a calculation of [start, end] whose lines reach `reach`
    // beyond their positions, within the wavenumbers a line can have.
    static LineRequest of(double start, double end, double reach, const std::vector<Molecule> *molecules)
    {
        return {start, end, std::max(SettingRules::lowestWavenumber, start - reach),
                std::min(SettingRules::highestWavenumber, end + reach), molecules};
    }
};

// One place the line records of a calculation can come from: a line file of
// the user's, the regions stored on the device, the service, the sample
// shipped with the program. prepare() starts getting the lines of a request;
// the source answers ready(), after which takeFeed() gives them to the
// calculation's thread, or failed(reason) when it cannot serve (an empty
// reason: it has nothing for the request at all).
//
// A source whose feed is read while it still fetches (a download during the
// calculation) may fail after ready(): its feed then waits at resumeFrom()
// for the rest, which continueWith() hands it from elsewhere.
//
// message() tells what the source is doing (a progress banner; empty text: it
// is done), note() a circumstance the user should know without answering it
// (`key` names its kind, so that it is told once), problem() one that needs the
// user's attention.
class LineSource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void prepare(const LineRequest &request) = 0;
    // The lines prepared, once; null before ready().
    virtual std::unique_ptr<LineFeed> takeFeed() = 0;
    // Where the lines come from, in words for the user.
    virtual QString origin() const = 0;
    // The lines are the small sample shipped with the program, not the HITRAN database.
    virtual bool isSample() const { return false; }
    // Gives up what is under way; a source that is fetching then fails.
    virtual void cancel() {}

    // After a failure that follows ready(): where the lines still missing begin,
    // and their feed.
    virtual double resumeFrom() const { return 0.0; }
    virtual void continueWith(std::unique_ptr<LineFeed> rest) { Q_UNUSED(rest) }

signals:
    void ready();
    void failed(const QString &reason);
    void message(const QString &text, double progress);
    void note(const QString &key, const QString &text);
    void problem(const QString &text);
};
