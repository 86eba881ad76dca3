#include "ui/measuredspectrumqml.h"

#include "app/kolvexcore.h"
#include "app/measuredfit.h"
#include "core/params.h"
#include "core/xaxis.h"

#include <QUrl>

#include <algorithm>

MeasuredSpectrumQml::MeasuredSpectrumQml(QObject *parent, KolvexCore *core)
    : QObject(parent)
    , m_core(core)
    , m_fit(core->measuredFit())
{
    connect(m_fit, &MeasuredFit::measuredChanged, this, &MeasuredSpectrumQml::measuredChanged);
    connect(m_fit, &MeasuredFit::measuredChanged, this, &MeasuredSpectrumQml::resultChanged);
    connect(m_fit, &MeasuredFit::variedChanged, this, &MeasuredSpectrumQml::variedChanged);
    connect(m_fit, &MeasuredFit::runningChanged, this, &MeasuredSpectrumQml::runningChanged);
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
    QStringList names;
    for (const Molecule &molecule : m_core->params()->molecules())
        if (molecule.selected)
            names << molecule.name;
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
