#include "app/measuredfit.h"

#include "app/kolvexcore.h"
#include "calc/instrumentfunction.h"
#include "calc/lbl.h"
#include "calc/totalspectra.h"
#include "core/linefeed.h"
#include "core/linesource.h"
#include "core/params.h"
#include "core/settingrules.h"
#include "core/spectraset.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

namespace {

// The lines of a fit, read again by every trial calculation, in batches of
// the size a download hands in.
class RecordedLineFeed : public LineFeed
{
public:
    explicit RecordedLineFeed(const std::vector<LineRecord> *lines)
        : m_lines(lines)
    {
    }
    bool next(LineBatch &batch) override
    {
        batch.clear();
        if (m_interrupted.load() || m_position >= m_lines->size())
            return false;
        const std::size_t end = std::min(m_lines->size(), m_position + batchSize);
        batch.assign(m_lines->begin() + std::ptrdiff_t(m_position), m_lines->begin() + std::ptrdiff_t(end));
        m_position = end;
        return true;
    }
    qint64 expectedRecordCount() const override { return qint64(m_lines->size()); }
    void interrupt() override { m_interrupted = true; }

private:
    static constexpr std::size_t batchSize = 20000;
    const std::vector<LineRecord> *m_lines;
    std::size_t m_position = 0;
    std::atomic<bool> m_interrupted{false};
};

// `values` smoothed with `kernel` (2h + 1 values, unit sum) where it fits,
// into `out` over the same points; the points within h of an end stay 0.
void smooth(const std::vector<double> &values, const std::vector<double> &kernel, std::vector<double> &out)
{
    const std::size_t n = values.size();
    out.assign(n, 0.0);
    const std::size_t h = kernel.size() / 2;
    if (kernel.size() >= n)
        return;
    const double *k = kernel.data();
    for (std::size_t j = h; j + h < n; ++j) {
        const double *window = values.data() + (j - h);
        double sum = 0.0;
        for (std::size_t i = 0; i < kernel.size(); ++i)
            sum += k[i] * window[i];
        out[j] = sum;
    }
}

} // namespace

MeasuredFit::MeasuredFit(KolvexCore *core, QObject *parent)
    : QObject(parent)
    , m_core(core)
{
}

MeasuredFit::~MeasuredFit() = default;

namespace {

const QString runningRefusal = QStringLiteral("The fit refuses: a fit is running.");

} // namespace

bool MeasuredFit::load(const QString &file, QString *problem)
{
    QString path = file;
    // A bare name is one in the data folder, unless it is at hand where the
    // program was started.
    if (QFileInfo(file).isRelative() && !QFileInfo::exists(file))
        path = QDir(m_core->dataFolder()).filePath(file);
    return readFrom(path, problem);
}

bool MeasuredFit::readFrom(const QString &path, QString *problem)
{
    if (m_running) {
        *problem = QStringLiteral("A measured spectrum cannot be loaded while a fit runs.");
        return false;
    }
    MeasuredSpectrum measured;
    if (!measured.read(path, problem))
        return false;
    replaceMeasured(std::move(measured));
    return true;
}

void MeasuredFit::replaceMeasured(MeasuredSpectrum measured)
{
    m_measured = std::move(measured);
    m_result = SpectrumFit::Result();
    m_points.clear();
    m_leftOut = 0;
    m_lastProblem.clear();
    emit measuredChanged();
}

bool MeasuredFit::unload(QString *problem)
{
    if (m_running) {
        *problem = QStringLiteral("The measured spectrum cannot be removed while a fit runs.");
        return false;
    }
    if (m_measured.isEmpty()) {
        *problem = QStringLiteral("No measured spectrum is loaded.");
        return false;
    }
    replaceMeasured(MeasuredSpectrum());
    return true;
}

bool MeasuredFit::loadFromDataFolder(const QString &name, QString *problem)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))
        || name.startsWith(QLatin1Char('.'))) {
        *problem = QStringLiteral("\"%1\" is not the name of a file in the data folder (a name without a path is "
                                  "needed).")
                       .arg(name);
        return false;
    }
    return readFrom(QDir(m_core->dataFolder()).filePath(name), problem);
}

bool MeasuredFit::setVaried(const QString &list, QString *problem)
{
    if (m_running) {
        *problem = QStringLiteral("What varies cannot change while a fit runs.");
        return false;
    }
    std::vector<Choice> choices;
    // An empty list: nothing varies (a fit then refuses).
    const QStringList items = list.trimmed().isEmpty() ? QStringList() : list.split(QLatin1Char(','));
    for (QString item : items) {
        item = item.trimmed();
        const QString lower = item.toLower();
        const auto already = [&choices](SpectrumFit::Kind kind, const QString &molecule) {
            return std::any_of(choices.begin(), choices.end(), [kind, &molecule](const Choice &c) {
                return c.kind == kind && c.molecule.compare(molecule, Qt::CaseInsensitive) == 0;
            });
        };
        Choice choice{SpectrumFit::Kind::Concentration, QString(), 0};
        if (item.isEmpty()) {
            *problem = QStringLiteral("The list of what varies has an empty item: \"%1\".").arg(list);
            return false;
        } else if (item == QLatin1String("T")) {
            choice.kind = SpectrumFit::Kind::Temperature;
        } else if (item == QLatin1String("P")) {
            choice.kind = SpectrumFit::Kind::Pressure;
        } else if (lower == QLatin1String("shift")) {
            choice.kind = SpectrumFit::Kind::Shift;
        } else if (lower.startsWith(QLatin1String("baseline"))) {
            choice.kind = SpectrumFit::Kind::Baseline;
            const QString order = lower.mid(8);
            bool ok = order.isEmpty();
            if (order.startsWith(QLatin1Char('=')))
                choice.order = order.mid(1).toInt(&ok);
            if (!ok || choice.order < 0 || choice.order > 2) {
                *problem = QStringLiteral("\"%1\": the baseline is a polynomial of order 0, 1 or 2 (baseline=N).")
                               .arg(item);
                return false;
            }
        } else {
            choice.molecule = item;
        }
        if (already(choice.kind, choice.molecule)) {
            *problem = QStringLiteral("\"%1\" is named twice in the list of what varies.").arg(item);
            return false;
        }
        choices.push_back(choice);
    }
    m_choices = std::move(choices);
    m_variedText = list;
    emit variedChanged();
    return true;
}

QString MeasuredFit::unitOf(const SpectrumFit::Parameter &parameter) const
{
    switch (parameter.kind) {
    case SpectrumFit::Kind::Concentration: return QStringLiteral("ppmv");
    case SpectrumFit::Kind::Temperature: return QStringLiteral("K");
    case SpectrumFit::Kind::Pressure: return QStringLiteral("atm");
    case SpectrumFit::Kind::Shift: return QStringLiteral("cm-1");
    case SpectrumFit::Kind::Baseline: break;
    }
    return MeasuredSpectrum::quantityName(m_measured.quantity());
}

QStringList MeasuredFit::resultLines() const
{
    QStringList lines;
    if (!m_result.ok)
        return lines;
    const QLocale c = QLocale::c();
    for (std::size_t j = 0; j < m_parameters.size(); ++j)
        lines << QStringLiteral("%1 %2 %3 %4")
                     .arg(m_parameters[j].name, c.toString(m_result.values[j], 'g', 8),
                          c.toString(m_result.sigmas[j], 'g', 3), unitOf(m_parameters[j]));
    lines << QStringLiteral("rms %1").arg(c.toString(m_result.rms, 'g', 6));
    lines << QStringLiteral("points %1").arg(m_result.points);
    return lines;
}

bool MeasuredFit::collectLines(QString *problem)
{
    m_lines.clear();
    LineSource *source = m_core->lineSource();
    Params *params = m_core->params();
    QEventLoop loop;
    bool ready = false;
    bool failed = false;
    QString failure;
    const QMetaObject::Connection onReady = connect(source, &LineSource::ready, &loop, [&] {
        ready = true;
        loop.quit();
    });
    const QMetaObject::Connection onFailed = connect(source, &LineSource::failed, &loop, [&](const QString &why) {
        failed = true;
        failure = why;
        loop.quit();
    });
    const double reach = Lbl::lineReach(*params) + std::fabs(m_axis.step());
    source->prepare(LineRequest::of(m_axis.minWavenumber(), m_axis.maxWavenumber(), reach, &params->molecules()));
    if (!ready && !failed)
        loop.exec();
    disconnect(onReady);
    disconnect(onFailed);
    if (!ready) {
        *problem = QStringLiteral("The fit refuses: the lines of %1-%2 cm-1 cannot be had%3")
                       .arg(m_axis.minWavenumber())
                       .arg(m_axis.maxWavenumber())
                       .arg(failure.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + failure);
        return false;
    }
    // The feed may wait for lines that this thread downloads: it is read on a
    // thread of its own while this one serves the download.
    std::shared_ptr<LineFeed> feed(source->takeFeed());
    if (!feed)
        return true;
    std::vector<LineRecord> lines;
    QEventLoop reading;
    std::thread reader([&lines, &reading, feed] {
        LineBatch batch;
        while (feed->next(batch))
            lines.insert(lines.end(), batch.begin(), batch.end());
        QMetaObject::invokeMethod(&reading, [&reading] { reading.quit(); }, Qt::QueuedConnection);
    });
    reading.exec();
    reader.join();
    m_lines = std::move(lines);
    return true;
}

bool MeasuredFit::calculate(double temperature, double pressure, FitModelSpectra *model, QString *problem)
{
    Params *params = m_core->params();
    QString why = SettingRules::temperatureProblem(temperature, *params);
    if (why.isEmpty())
        why = SettingRules::totalPressureProblem(pressure);
    if (!why.isEmpty()) {
        *problem = why;
        return false;
    }
    // The engine takes the conditions when it starts: the trial ones are in
    // place only for that moment. A varied molecule without an amount is
    // calculated with 1 ppmv, since its optical depth per ppmv is wanted.
    const PathConditions saved = params->pathConditions();
    PathConditions &conditions = params->pathConditions();
    conditions.temperature = temperature;
    conditions.totalPressure = pressure;
    conditions.concentrations.resize(std::size_t(params->moleculeCount()), 0.0);
    for (int molecule : m_variedMolecules)
        if (!(conditions.concentrations[std::size_t(molecule)] > 0.0))
            conditions.concentrations[std::size_t(molecule)] = 1.0;
    const std::vector<double> used = conditions.concentrations;

    QEventLoop loop;
    bool complete = false;
    const QMetaObject::Connection onComplete = connect(m_lbl.get(), &Lbl::calculationComplete, &loop, [&] {
        complete = true;
        loop.quit();
    });
    m_lbl->start(std::make_unique<RecordedLineFeed>(&m_lines), false);
    params->pathConditions() = saved;
    if (!complete)
        loop.exec();
    disconnect(onComplete);
    // The loop also ends when the program quits: the spectra are then not whole.
    if (!complete) {
        *problem = QStringLiteral("the calculation was interrupted");
        return false;
    }

    const std::size_t n = m_axis.grid().size();
    const InstrumentFunction *instrument = m_core->instrumentFunction();
    std::vector<double> kernel;
    if (instrument->type() != InstrumentFunction::None) {
        kernel = instrument->kernel(m_axis.step(), &why);
        if (kernel.empty() || kernel.size() >= n) {
            *problem = why.isEmpty() ? QStringLiteral("the instrument function is wider than the calculated range")
                                     : why.simplified();
            return false;
        }
    }
    const std::size_t h = kernel.size() / 2;
    model->gridStart = m_axis.grid()[0];
    model->gridStep = m_axis.step();
    model->first = h;
    model->last = n - 1 - h;
    model->perPpmv.assign(m_variedMolecules.size(), std::vector<double>(n, 0.0));
    std::vector<double> fixed(n, 0.0);
    std::vector<double> tau(n);
    for (int molecule = 0; molecule < params->moleculeCount(); ++molecule) {
        const std::size_t m = std::size_t(molecule);
        const auto varied = std::find(m_variedMolecules.begin(), m_variedMolecules.end(), molecule);
        const bool shown = TotalSpectra::moleculeShown(*params, m);
        if (varied == m_variedMolecules.end() && !shown)
            continue;
        if (m >= m_spectra->molecules.size() || !m_spectra->molecules[m].hasValues())
            continue;
        const MoleculeSpectra &spectra = m_spectra->molecules[m];
        if (varied != m_variedMolecules.end()) {
            std::vector<double> &target = model->perPpmv[std::size_t(varied - m_variedMolecules.begin())];
            for (std::size_t i = 0; i < n; ++i)
                target[i] = spectra.opticalDepth(i) / used[m];
        } else {
            for (std::size_t i = 0; i < n; ++i)
                fixed[i] += spectra.opticalDepth(i);
        }
    }
    if (kernel.empty()) {
        model->fixed = std::move(fixed);
        return true;
    }
    smooth(fixed, kernel, model->fixed);
    for (std::vector<double> &perPpmv : model->perPpmv) {
        tau.swap(perPpmv);
        smooth(tau, kernel, perPpmv);
    }
    return true;
}

bool MeasuredFit::run(QString *problem)
{
    if (m_running) {
        *problem = runningRefusal;
        return false;
    }
    m_running = true;
    emit runningChanged();
    return fitAndAnnounce(problem);
}

bool MeasuredFit::start(QString *problem)
{
    if (m_running) {
        *problem = runningRefusal;
        return false;
    }
    // Running from now on, so that a second start before the first has begun
    // is refused too.
    m_running = true;
    emit runningChanged();
    QTimer::singleShot(0, this, [this] {
        QString problem;
        fitAndAnnounce(&problem);
    });
    return true;
}

bool MeasuredFit::fitAndAnnounce(QString *problem)
{
    const bool fitted = fit(problem);
    m_lastProblem = fitted ? QString() : *problem;
    m_running = false;
    emit runningChanged();
    if (fitted)
        emit this->fitted();
    else
        emit failed(*problem);
    return fitted;
}

bool MeasuredFit::fit(QString *problem)
{
    m_result = SpectrumFit::Result();
    if (m_measured.isEmpty()) {
        *problem = QStringLiteral("The fit refuses: no measured spectrum is loaded.");
        return false;
    }
    if (m_choices.empty()) {
        *problem = QStringLiteral("The fit refuses: nothing is chosen to vary.");
        return false;
    }
    if (!m_core->tipsLoaded()) {
        *problem = QStringLiteral("The fit refuses: the partition sums are not loaded.");
        return false;
    }
    if (m_core->calculationIsRunning()) {
        *problem = QStringLiteral("The fit refuses: a calculation is running.");
        return false;
    }
    Params *params = m_core->params();
    m_axis = *m_core->xAxis();
    const QString axisProblem = m_axis.validationProblem();
    if (!axisProblem.isEmpty()) {
        *problem = QStringLiteral("The fit refuses: %1").arg(axisProblem);
        return false;
    }
    m_axis.buildGrid();

    // The parameters, with the settings in use as start values.
    const PathConditions &conditions = params->pathConditions();
    m_parameters.clear();
    m_variedMolecules.clear();
    for (const Choice &choice : m_choices) {
        SpectrumFit::Parameter parameter{choice.kind, 0, QString(), 0.0};
        switch (choice.kind) {
        case SpectrumFit::Kind::Concentration: {
            int index = -1;
            for (int m = 0; m < params->moleculeCount(); ++m)
                if (params->molecule(m).name.compare(choice.molecule, Qt::CaseInsensitive) == 0)
                    index = m;
            if (index < 0) {
                *problem = QStringLiteral("The fit refuses: \"%1\" is no molecule Kolvex knows.").arg(choice.molecule);
                return false;
            }
            if (!params->molecule(index).selected) {
                *problem = QStringLiteral("The fit refuses: %1 is not among the selected molecules.")
                               .arg(params->molecule(index).name);
                return false;
            }
            parameter.index = int(m_variedMolecules.size());
            parameter.name = params->molecule(index).name;
            parameter.start = std::size_t(index) < conditions.concentrations.size()
                ? conditions.concentrations[std::size_t(index)]
                : 0.0;
            m_variedMolecules.push_back(index);
            break;
        }
        case SpectrumFit::Kind::Temperature:
            parameter.name = QStringLiteral("T");
            parameter.start = conditions.temperature;
            break;
        case SpectrumFit::Kind::Pressure:
            parameter.name = QStringLiteral("P");
            parameter.start = conditions.totalPressure;
            break;
        case SpectrumFit::Kind::Shift:
            parameter.name = QStringLiteral("shift");
            break;
        case SpectrumFit::Kind::Baseline:
            // baseline=N varies the terms of order 0 to N.
            for (int order = 0; order <= choice.order; ++order)
                m_parameters.push_back({SpectrumFit::Kind::Baseline, order,
                                        QStringLiteral("baseline%1").arg(order), 0.0});
            continue;
        }
        m_parameters.push_back(parameter);
    }

    if (!m_lbl) {
        m_lbl = std::make_unique<Lbl>();
        m_spectra = std::make_unique<SpectraSet>();
        m_lbl->setSpectra(m_spectra.get());
        m_lbl->setParams(params);
        m_lbl->setXAxis(&m_axis);
    }
    if (!collectLines(problem))
        return false;
    FitModelSpectra model;
    const double temperature = conditions.temperature;
    const double pressure = conditions.totalPressure;
    QString why;
    if (!calculate(temperature, pressure, &model, &why)) {
        *problem = QStringLiteral("The fit refuses: %1").arg(why);
        return false;
    }

    // The measured points where the calculation (smoothed) has values.
    MeasuredSpectrum within = m_measured;
    m_leftOut = within.restrictTo(model.gridStart + double(model.first) * model.gridStep,
                                  model.gridStart + double(model.last) * model.gridStep);
    m_points = within.points();

    m_result = SpectrumFit::fit(m_points, m_measured.hasUncertainties(), m_measured.quantity(), m_parameters,
                                temperature, pressure, model,
                                [this](double t, double p, FitModelSpectra *spectra, QString *reason) {
                                    return calculate(t, p, spectra, reason);
                                });
    if (!m_result.ok) {
        *problem = m_result.problem;
        return false;
    }
    return true;
}
