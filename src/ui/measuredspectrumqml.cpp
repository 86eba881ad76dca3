#include "ui/measuredspectrumqml.h"

#include "app/kolvexcore.h"
#include "app/measuredfit.h"
#include "calc/instrumentfunction.h"
#include "calc/totalspectra.h"
#include "core/measuredoverlay.h"
#include "core/params.h"
#include "core/spectraset.h"
#include "core/xaxis.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>
#include <QVariantMap>

#include <algorithm>
#include <cmath>
#include <limits>

MeasuredSpectrumQml::MeasuredSpectrumQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_core(core)
    , m_fit(core->measuredFit())
{
    connect(m_fit, &MeasuredFit::measuredChanged, this, &MeasuredSpectrumQml::measuredChanged);
    connect(m_fit, &MeasuredFit::measuredChanged, this, &MeasuredSpectrumQml::resultChanged);
    connect(m_fit, &MeasuredFit::variedChanged, this, &MeasuredSpectrumQml::variedChanged);
    connect(m_fit, &MeasuredFit::runningChanged, this, &MeasuredSpectrumQml::runningChanged);
    connect(m_fit, &MeasuredFit::measuredChanged, this, &MeasuredSpectrumQml::invalidateOverlay);
    connect(m_fit, &MeasuredFit::fitted, this, &MeasuredSpectrumQml::invalidateOverlay);
    // The outcome of a fit replaces a refusal to start one.
    connect(m_fit, &MeasuredFit::fitted, this, [this] {
        m_startProblem.clear();
        emit resultChanged();
    });
    connect(m_fit, &MeasuredFit::failed, this, [this] {
        m_startProblem.clear();
        emit resultChanged();
    });
}

bool MeasuredSpectrumQml::loaded() const
{
    return m_fit->isLoaded();
}

QString MeasuredSpectrumQml::fileName() const
{
    return m_fit->isLoaded() ? m_fit->measuredName() : QString();
}

QString MeasuredSpectrumQml::rowsText() const
{
    if (!m_fit->isLoaded())
        return QString();
    MeasuredSpectrum within = m_fit->measured();
    const std::size_t rows = within.points().size();
    const XAxis *axis = m_core->xAxis();
    const std::size_t leftOut = within.restrictTo(std::min(axis->minWavenumber(), axis->maxWavenumber()),
                                                  std::max(axis->minWavenumber(), axis->maxWavenumber()));
    return tr("%1 rows: %2 within the calculated range, %3 left out").arg(rows).arg(rows - leftOut).arg(leftOut);
}

QStringList MeasuredSpectrumQml::molecules() const
{
    // The selected molecules that the last calculation found lines of (all
    // selected ones before a calculation), and those chosen to vary: a fit of
    // a molecule without lines in the range is refused anyway.
    const SpectraSet *spectra = m_core->spectra();
    bool calculated = false;
    for (const MoleculeSpectra &molecule : spectra->molecules)
        calculated = calculated || molecule.hasValues();
    const QStringList varied = variedMolecules();
    QStringList names;
    const std::vector<Molecule> &molecules = m_core->params()->molecules();
    for (std::size_t m = 0; m < molecules.size(); ++m) {
        const bool withLines = !calculated || (m < spectra->molecules.size() && spectra->molecules[m].hasValues());
        if ((molecules[m].selected && withLines) || varied.contains(molecules[m].name, Qt::CaseInsensitive))
            names << molecules[m].name;
    }
    return names;
}

QStringList MeasuredSpectrumQml::variedItems() const
{
    QStringList items;
    for (const QString &item : m_fit->varied().split(QLatin1Char(','), Qt::SkipEmptyParts))
        items << item.trimmed();
    return items;
}

QStringList MeasuredSpectrumQml::variedMolecules() const
{
    QStringList names;
    for (const QString &item : variedItems())
        if (item != QLatin1String("T") && item != QLatin1String("P") && item.compare(QLatin1String("shift"), Qt::CaseInsensitive) != 0
            && !item.startsWith(QLatin1String("baseline"), Qt::CaseInsensitive))
            names << item;
    return names;
}

int MeasuredSpectrumQml::baselineOrder() const
{
    for (const QString &item : variedItems()) {
        if (!item.startsWith(QLatin1String("baseline"), Qt::CaseInsensitive))
            continue;
        const int equals = item.indexOf(QLatin1Char('='));
        return equals < 0 ? 0 : item.mid(equals + 1).toInt();
    }
    return -1;
}

bool MeasuredSpectrumQml::running() const
{
    return m_fit->isRunning();
}

QStringList MeasuredSpectrumQml::resultLines() const
{
    if (m_fit->isRunning() || !m_fit->result().ok)
        return QStringList();
    QStringList lines = m_fit->resultLines();
    lines << QStringLiteral("iterations %1").arg(m_fit->result().iterations);
    lines << QStringLiteral("outside %1").arg(m_fit->leftOut());
    return lines;
}

QString MeasuredSpectrumQml::fitProblem() const
{
    if (!m_startProblem.isEmpty())
        return m_startProblem;
    return m_fit->isRunning() ? QString() : m_fit->lastProblem();
}

bool MeasuredSpectrumQml::load(const QString &file)
{
    // A file dialog hands a URL; a typed name is a name in the data folder or a path.
    const QUrl url(file);
    const QString path = url.isLocalFile() ? url.toLocalFile() : file.trimmed();
    QString problem;
    const bool loaded = !path.isEmpty() && m_fit->load(path, &problem);
    if (path.isEmpty())
        problem = tr("Name a file in the data folder, or give its path.");
    m_loadProblem = loaded ? QString() : problem;
    emit loadProblemChanged();
    return loaded;
}

void MeasuredSpectrumQml::browse()
{
    if (m_dialog) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    const QString folder = m_lastFolder.isEmpty() ? m_core->dataFolder() : m_lastFolder;
    // Not modal and not waited for: the window and the calculation go on
    // while the user looks for the file.
    m_dialog = new QFileDialog(nullptr, tr("Open a measured spectrum"), folder,
                               tr("Spectra (*.txt *.csv *.dat *.tsv *.asc);;All files (*)"));
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_dialog->setFileMode(QFileDialog::ExistingFile);
    m_dialog->setAcceptMode(QFileDialog::AcceptOpen);
    connect(m_dialog, &QFileDialog::fileSelected, this, [this](const QString &path) {
        m_lastFolder = QFileInfo(path).absolutePath();
        emit fileChosen(path);
        load(path);
    });
    m_dialog->open();
}

void MeasuredSpectrumQml::remove()
{
    QString problem;
    m_loadProblem = m_fit->unload(&problem) ? QString() : problem;
    emit loadProblemChanged();
}

void MeasuredSpectrumQml::setVaried(const QString &item, bool varied)
{
    QStringList items = variedItems();
    const auto same = [&item](const QString &other) { return other.compare(item, Qt::CaseInsensitive) == 0; };
    items.erase(std::remove_if(items.begin(), items.end(), same), items.end());
    if (varied)
        items << item;
    setVariedItems(items);
}

void MeasuredSpectrumQml::setBaselineOrder(int order)
{
    QStringList items = variedItems();
    items.erase(std::remove_if(items.begin(), items.end(),
                               [](const QString &other) {
                                   return other.startsWith(QLatin1String("baseline"), Qt::CaseInsensitive);
                               }),
                items.end());
    if (order >= 0)
        items << QStringLiteral("baseline=%1").arg(order);
    setVariedItems(items);
}

void MeasuredSpectrumQml::setVariedItems(QStringList items)
{
    // Molecules first, in the order of the molecule list, then T, P, shift and
    // the baseline: the order the results are listed in.
    const QStringList order = molecules() + QStringList{"T", "P", "shift"};
    const auto rank = [&order](const QString &item) {
        for (int i = 0; i < order.size(); ++i)
            if (order[i].compare(item, Qt::CaseInsensitive) == 0)
                return i;
        return item.startsWith(QLatin1String("baseline"), Qt::CaseInsensitive) ? int(order.size()) + 1
                                                                                : int(order.size());
    };
    std::stable_sort(items.begin(), items.end(),
                     [&rank](const QString &a, const QString &b) { return rank(a) < rank(b); });
    QString problem;
    m_variedProblem = m_fit->setVaried(items.join(QLatin1Char(',')), &problem) ? QString() : problem;
    // The boxes show what the fit keeps, also after a refusal.
    emit variedChanged();
}

void MeasuredSpectrumQml::fit()
{
    QString problem;
    m_startProblem = m_fit->start(&problem) ? QString() : problem;
    emit resultChanged();
}

void MeasuredSpectrumQml::invalidateOverlay()
{
    m_overlay.reset();
    emit overlayChanged();
}

std::shared_ptr<const MeasuredOverlay> MeasuredSpectrumQml::overlay() const
{
    if (m_overlay)
        return m_overlay;
    // The calculated optical depth the plot shows as its total: the
    // instrument-function total where it was computed when there is one, the
    // sum of the shown molecules otherwise; read between grid points as a line.
    const XAxis &axis = m_core->calculationAxis();
    SpectraSet *spectra = m_core->spectra();
    const Params &params = *m_core->params();
    const std::size_t n = std::size_t(std::max(0, axis.numPoints()));
    const Spectrum &instrument = spectra->instrOpticalDepthTotal;
    const bool smoothed = m_core->instrumentFunction()->type() != InstrumentFunction::None
        && instrument.values.size() == n && n > 0;
    bool anyValues = smoothed;
    for (std::size_t m = 0; m < spectra->molecules.size() && !anyValues; ++m)
        anyValues = spectra->molecules[m].hasValues() && TotalSpectra::moleculeShown(params, m)
            && spectra->molecules[m].crossSection.values.size() == n;
    MeasuredOverlay::OpticalDepthAt calculated;
    if (anyValues && n >= 2 && axis.step() > 0.0) {
        const auto at = [spectra, &params, &instrument, smoothed](std::size_t i) {
            if (smoothed) {
                const bool valid = int(i) >= instrument.windowStart && int(i) <= instrument.windowEnd;
                return valid ? instrument.values[i] : std::numeric_limits<double>::quiet_NaN();
            }
            double tau = 0.0;
            for (std::size_t m = 0; m < spectra->molecules.size(); ++m)
                if (spectra->molecules[m].hasValues() && TotalSpectra::moleculeShown(params, m))
                    tau += spectra->molecules[m].opticalDepth(i);
            return tau;
        };
        const double start = axis.minWavenumber();
        const double step = axis.step();
        calculated = [at, start, step, n](double wavenumber) {
            const double position = (wavenumber - start) / step;
            if (!(position >= 0.0) || position > double(n - 1))
                return std::numeric_limits<double>::quiet_NaN();
            const std::size_t i = std::min(std::size_t(position), n - 2);
            const double t = position - double(i);
            return (1.0 - t) * at(i) + t * at(i + 1);
        };
    }
    static const std::vector<MeasuredSpectrum::Point> none;
    static const std::vector<double> noResiduals;
    const bool fitted = m_fit->result().ok && !m_fit->isRunning();
    m_overlay = MeasuredOverlay::make(m_fit->measured(), *m_core->yAxis(), m_core->xAxis()->units(), calculated,
                                      fitted ? m_fit->fittedPoints() : none,
                                      fitted ? m_fit->result().residuals : noResiduals);
    return m_overlay;
}

QVariantList MeasuredSpectrumQml::legend() const
{
    QVariantList entries;
    const std::shared_ptr<const MeasuredOverlay> shown = overlay();
    if (shown->name().isEmpty())
        return entries;
    if (!shown->shown()) {
        // Nothing is drawn: the entry says why, beside no stroke.
        entries << QVariantMap{{QStringLiteral("name"), shown->name()}, {QStringLiteral("color"), QStringLiteral("white")}};
        return entries;
    }
    entries << QVariantMap{{QStringLiteral("name"), shown->name()},
                           {QStringLiteral("color"), QString::fromLatin1(measuredColor())}};
    if (shown->hasResiduals())
        entries << QVariantMap{{QStringLiteral("name"), shown->fitted() ? QStringLiteral("Residual (fit)")
                                                                         : QStringLiteral("Residual")},
                               {QStringLiteral("color"), QString::fromLatin1(residualColor())}};
    return entries;
}
