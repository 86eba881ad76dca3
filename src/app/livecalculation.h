#pragma once

#include "core/liveswitch.h"

#include <QObject>
#include <QString>

class KolvexCore;

// Live mode: while it is on, every accepted change of a calculation input
// (a field committed, a slider moved, a molecule ticked, a model atmosphere,
// a sensor average, a peer's set command) starts a calculation by itself.
//
// Changes are coalesced. Those of one pass of the event loop (the commands of
// one message, a slider's value and the text that follows it) make one
// calculation, started once the pass is over. A change while a calculation
// runs leaves at most one calculation pending, with whatever values are
// current when it starts: the running one is abandoned (its spectra thrown
// away) unless it is nearly done, or unless it took the place of an abandoned
// one itself, so that changes faster than the calculations still show a new
// spectrum at least every second calculation. The last change always ends in
// a calculation with exactly its values; a change that leaves the inputs as
// the last calculation had them starts none.
class LiveCalculation : public QObject, public LiveSwitch
{
    Q_OBJECT
    Q_PROPERTY(bool enabled READ liveCalculation WRITE setLiveCalculation NOTIFY enabledChanged)
    Q_PROPERTY(bool updating READ updating NOTIFY updatingChanged)
    Q_PROPERTY(QString problem READ problem NOTIFY problemChanged)

public:
    // A calculation this far done is let finish when a change comes.
    static constexpr double nearlyDone = 0.75;

    explicit LiveCalculation(KolvexCore *core, QObject *parent = nullptr);

    // LiveSwitch
    bool liveCalculation() const override { return m_enabled; }
    void setLiveCalculation(bool on) override;
    // The switch of the main screen: the peers hear of it, as of a setting.
    Q_INVOKABLE void switchFromWindow(bool on);

    // A live calculation runs or is about to: the plot shows the last
    // finished spectra, which are no longer those of the inputs.
    bool updating() const { return m_updating; }
    // Why the inputs as they are cannot be calculated (a range whose ends
    // were set in the wrong order); empty otherwise. Live mode shows no
    // dialog for it: the next change may well mend it.
    QString problem() const { return m_problem; }
    // A change waits to be calculated (for the end of the event-loop pass or
    // of the running calculation).
    bool pending() const { return m_scheduled || m_pending; }

    // Whether a calculation `fractionDone` done is abandoned for a newer
    // one; `replacesAbandoned`: it took the place of one abandoned before.
    static bool abandons(double fractionDone, bool replacesAbandoned);

signals:
    void enabledChanged();
    void updatingChanged();
    void problemChanged();

public slots:
    // An input may have changed.
    void inputChanged();

private:
    void schedule();
    void follow();
    void calculationEnded();
    void setProblem(const QString &problem);
    void updateState();

    KolvexCore *m_core;
    bool m_enabled = false;
    bool m_scheduled = false;
    bool m_pending = false;
    bool m_updating = false;
    // The calculation in hand took the place of an abandoned one; the next
    // one will.
    bool m_runReplacesAbandoned = false;
    bool m_nextReplacesAbandoned = false;
    QString m_problem;
};
