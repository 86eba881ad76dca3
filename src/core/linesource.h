#pragma once

#include "core/linerecord.h"
#include "core/molecule.h"

#include <QObject>
#include <QString>

#include <vector>

// Where the line records of a calculation come from. The core starts it with
// fetchForCalculation(); it answers hitranDownloadComplete() when its records are
// ready or hitranDownloadUnsuccessful() when they cannot be had. The engine then
// asks for batches with requestNextChunk() and is answered with dataAvailable()
// or noMoreDataAvailable(). The HITRANonline downloader is the program's source;
// tests put stand-ins in its place.
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
    void hitranDownloadUnsuccessful();
    void openOkDialog(const QString &text);
    // A message that needs no answer; `key` names its kind, so that it can be
    // shown once and later ones only logged.
    void note(const QString &key, const QString &text);

private:
    double m_lineReach = 0.0;
};
