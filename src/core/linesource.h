#pragma once

#include "core/linefeed.h"
#include "core/linerecord.h"
#include "core/molecule.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

// Where the line records of a calculation come from. The core starts it with
// fetchForCalculation(); it answers hitranDownloadComplete() when its records are
// ready or hitranDownloadUnsuccessful() when they cannot be had. After
// prepareLineData() the engine takes the records in one of two ways: a source
// whose lines lie in files hands out a feed (takeLineFeed()) that the engine's
// own thread reads; any other source is asked for batches with
// requestNextChunk() on its own thread and answers with dataAvailable() or
// noMoreDataAvailable(), or with lineFeedReady() when the rest of its lines
// come from a feed after all. The HITRANonline downloader is the program's
// source; tests put stand-ins in its place.
class LineSource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void setMolecules(std::vector<Molecule> *molecules) = 0;
    virtual void setCalcStart(double wavenumber) = 0;
    virtual void setCalcEnd(double wavenumber) = 0;
    // Lines centred up to this far (cm-1) outside [start, end] can reach into
    // the range; the source delivers them too. Not negative; 0 until set.
    void setLineReach(double wavenumbers) { m_lineReach = wavenumbers > 0.0 ? wavenumbers : 0.0; }
    double lineReach() const { return m_lineReach; }
    virtual void setCancelRequested(bool cancel) = 0;
    virtual bool cancelRequested() const = 0;

    virtual void fetchForCalculation() = 0;
    virtual void prepareLineData() = 0;
    // The feed of the lines prepared (once; null when the lines come through
    // requestNextChunk() instead).
    virtual std::unique_ptr<LineFeed> takeLineFeed() { return nullptr; }
    // Records the calculation reads in all; 0 while unknown.
    virtual qint64 expectedRecordCount() const = 0;
    virtual void requestNextChunk() = 0;
    // The batch in hand after dataAvailable().
    virtual const LineBatch &lineRecords() const = 0;
    // Empties the batch of line records in hand.
    virtual void clearLineRecords() = 0;
    // Where the lines of the calculation in hand come from, in words (empty
    // when the source does not say), and whether they are only the small
    // sample shipped with the program rather than the HITRAN database.
    virtual QString lineDataOrigin() const { return QString(); }
    virtual bool usesSampleLines() const { return false; }

signals:
    void notify(const QString &message, double value, bool visible, bool cancelButtonVisible);
    void hitranDownloadComplete();
    void dataAvailable();
    void noMoreDataAvailable();
    // Answers requestNextChunk(): the rest of the lines come from takeLineFeed().
    void lineFeedReady();
    void hitranDownloadUnsuccessful();
    void openOkDialog(const QString &text);
    // A message that needs no answer; `key` names its kind, so that it can be
    // shown once and later ones only logged.
    void note(const QString &key, const QString &text);

private:
    double m_lineReach = 0.0;
};
