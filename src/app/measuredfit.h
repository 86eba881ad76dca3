#pragma once

#include "calc/spectrumfit.h"
#include "core/linerecord.h"
#include "core/measuredfitting.h"
#include "core/measuredspectrum.h"
#include "core/xaxis.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class KolvexCore;
class Lbl;
struct SpectraSet;

// A measured spectrum and the fit of the calculation to it: which quantities
// vary, the fit itself and its results.
//
// The spectra the fit is made of are calculated by an engine of its own, from
// the lines of the calculation's range (read once per fit from where the
// program reads them), at the settings in use apart from what varies: the
// displayed results, the settings and the peers see nothing of the trial
// calculations. The instrument function smooths them as it smooths the plot's
// optical-depth total, with the same kernel on the same grid.
class MeasuredFit : public QObject, public MeasuredFitting
{
    Q_OBJECT

public:
    explicit MeasuredFit(KolvexCore *core, QObject *parent = nullptr);
    ~MeasuredFit() override;

    // Reads a measured spectrum: a path, or the name of a file in the data
    // folder. On failure the spectrum loaded before stays. Refused while a fit
    // runs, which reads the spectrum loaded when it began.
    bool load(const QString &file, QString *problem);
    // Lets the measured spectrum and the results of its fit go (not while a
    // fit runs); false when there was none.
    bool unload(QString *problem);
    // A peer names a file of the data folder only: no path, so that no other
    // file of the device is read (or quoted in a message) for it.
    bool loadFromDataFolder(const QString &name, QString *problem);
    bool isLoaded() const { return !m_measured.isEmpty(); }
    const MeasuredSpectrum &measured() const { return m_measured; }

    // What varies: "CO2,H2O[,T][,P][,shift][,baseline=N]" (molecules by their
    // formula, baseline order 0 to 2). Checked against the molecules when the
    // fit runs.
    bool setVaried(const QString &list, QString *problem);
    QString varied() const { return m_variedText; }

    // Fits, waiting for the lines and the trial calculations in a local event
    // loop. False with the reason in `problem` when there is no result.
    bool run(QString *problem);
    // Starts the same fit from the event loop and returns at once, so that a
    // window goes on drawing while it waits; it ends with `fitted` or
    // `failed`. False (nothing started) while a fit is running.
    bool start(QString *problem);
    bool isRunning() const { return m_running; }
    // Why the last fit that ran gave no result (empty after a result).
    QString lastProblem() const { return m_lastProblem; }

    const SpectrumFit::Result &result() const { return m_result; }
    // Rows of the measured spectrum within the calculated range, and those left out.
    const std::vector<MeasuredSpectrum::Point> &fittedPoints() const { return m_points; }
    std::size_t leftOut() const { return m_leftOut; }
    // One line per varied quantity, "<name> <value> <1-sigma> <unit>", then
    // "rms <value>" and "points <n>".
    QStringList resultLines() const;
    // The unit a parameter is reported in.
    QString unitOf(const SpectrumFit::Parameter &parameter) const;
    const std::vector<SpectrumFit::Parameter> &parameters() const { return m_parameters; }

    // The remote peer's view.
    bool loadMeasured(const QString &file, QString *problem) override { return loadFromDataFolder(file, problem); }
    QString measuredName() const override { return m_measured.name(); }
    bool setVariedList(const QString &list, QString *problem) override { return setVaried(list, problem); }
    QString variedList() const override { return m_variedText; }
    bool fitMeasured(QString *problem) override { return run(problem); }
    QStringList fitLines() const override { return resultLines(); }
    std::vector<double> fitResiduals() const override { return m_result.residuals; }

signals:
    void fitted();
    void failed(const QString &problem);
    void runningChanged();
    // Another measured spectrum was loaded, or it was let go.
    void measuredChanged();
    void variedChanged();

private:
    // Reads the file at `path` in place of the spectrum loaded before, which
    // stays on failure.
    bool readFrom(const QString &path, QString *problem);
    // A new measured spectrum (or none): the fit of the one before is gone.
    void replaceMeasured(MeasuredSpectrum measured);
    struct Choice
    {
        SpectrumFit::Kind kind;
        QString molecule;   // for a concentration
        int order = 0;      // for a baseline
    };
    // The fit with the running state and the signals around it.
    bool fitAndAnnounce(QString *problem);
    bool fit(QString *problem);
    bool collectLines(QString *problem);
    bool calculate(double temperature, double pressure, FitModelSpectra *model, QString *problem);

    KolvexCore *m_core;
    MeasuredSpectrum m_measured;
    QString m_variedText;
    std::vector<Choice> m_choices;

    // The fit in hand or last made.
    std::vector<SpectrumFit::Parameter> m_parameters;
    std::vector<int> m_variedMolecules;   // molecule index of each concentration parameter
    std::vector<LineRecord> m_lines;
    XAxis m_axis;
    std::unique_ptr<Lbl> m_lbl;
    std::unique_ptr<SpectraSet> m_spectra;
    std::vector<MeasuredSpectrum::Point> m_points;
    std::size_t m_leftOut = 0;
    SpectrumFit::Result m_result;
    QString m_lastProblem;
    bool m_running = false;
};
