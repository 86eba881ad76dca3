#include "ui/mollistviewmodel.h"

#include "app/kolvexcore.h"
#include "core/params.h"
#include "core/pressureunits.h"
#include "core/settingrules.h"
#include "sensors/sensors.h"
#include "ui/numbertext.h"

#include <QColor>
#include <QDebug>

#include <cmath>

MolListViewModel::MolListViewModel(QObject *parent, KolvexCore *core)
    : QAbstractListModel(parent)
    , m_core(core)
{
    m_shownUnits = units();
    const int molecules = m_core->params()->moleculeCount();
    m_rows.reserve(std::size_t(molecules));
    for (int i = 0; i < molecules; ++i) {
        beginInsertRows(QModelIndex(), i, i);
        m_rows.push_back(rowFor(i));
        endInsertRows();
    }
    m_allSelected = allSelected();
    connect(m_core->sensors(), &Sensors::humidityUpdated, this, &MolListViewModel::updateH2OValue);
    // A new total pressure changes every partial pressure shown.
    connect(m_core->sensors(), &Sensors::totalPressureUpdated, this, &MolListViewModel::updateAllPartPressValues);
    connect(m_core, &KolvexCore::valuesUpdated, this, &MolListViewModel::updateAllPartPressValues);
    connect(m_core, &KolvexCore::valuesUpdated, this, &MolListViewModel::updateAllCheckedStates);
    connect(m_core, &KolvexCore::valuesUpdated, this, &MolListViewModel::calcNotSelectedMolsChanged);
    connect(this, &MolListViewModel::updateSpectra, m_core, &KolvexCore::updateSpectra);
    // Partial pressures follow the total pressure and the model atmosphere.
    connect(m_core, &KolvexCore::settingChanged, this, [this](Setting setting) {
        if (setting == Setting::TotalPressure)
            updateAllPartPressValues();
        else if (setting == Setting::AtmosphereModel)
            updatePartPress();
    });
}

MolListViewModel::~MolListViewModel() = default;

MolListViewModel::Row MolListViewModel::rowFor(int molecule) const
{
    const Molecule &entry = m_core->params()->molecule(molecule);
    Row row;
    // Numbers below 10 get two leading blanks: "  1" ... "  9", "10".
    const QString number = QString::number(molecule + 1);
    row.index = number.size() < 2 ? QLatin1String("  ") + number : number;
    row.checked = entry.selected;
    row.molName = entry.name;
    row.color = entry.color;
    row.pressValue = displayText(concentration(molecule));
    return row;
}

double MolListViewModel::concentration(int molecule) const
{
    const std::vector<double> &concentrations = m_core->params()->pathConditions().concentrations;
    return molecule >= 0 && std::size_t(molecule) < concentrations.size() ? concentrations[std::size_t(molecule)]
                                                                          : 0.0;
}

int MolListViewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant MolListViewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= int(m_rows.size()))
        return QVariant();
    const Row &row = m_rows[std::size_t(index.row())];
    switch (role) {
    case IndexRole: return row.index;
    case CheckedRole: return row.checked;
    case MolNameRole: return row.molName;
    case PressValueRole: return row.pressValue;
    case ColorRole: return row.color;
    default: return QVariant();
    }
}

bool MolListViewModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() < 0 || index.row() >= int(m_rows.size()))
        return false;
    const int molecule = index.row();
    Row &row = m_rows[std::size_t(molecule)];
    Params *params = m_core->params();
    switch (role) {
    case CheckedRole:
        row.checked = value.toBool();
        if (params->isValidMolecule(molecule))
            params->molecule(molecule).selected = row.checked;
        emit dataChanged(index, index);
        followAllSelected();
        m_core->announce(Setting::MoleculeSelected, molecule + 1);
        return true;
    case PressValueRole:
        // A number still being typed ("1.", "1e", "-") is not applied; a
        // refusal leaves the row showing the concentration in use.
        if (!NumberText::isComplete(value.toString())
            || !enterConcentration(molecule + 1, value.toString()).isEmpty()) {
            emit dataChanged(index, index);
            return false;
        }
        return true;
    case ColorRole:
        row.color = value.toString();
        break;
    default:
        return false;
    }
    emit dataChanged(index, index);
    return true;
}

QString MolListViewModel::enterConcentration(int number, const QString &text)
{
    const int molecule = number - 1;
    Params *params = m_core->params();
    if (!params->isValidMolecule(molecule) || molecule >= int(m_rows.size()))
        return QStringLiteral("There is no molecule %1.").arg(number);
    Row &row = m_rows[std::size_t(molecule)];
    if (text.trimmed() == row.pressValue)
        return QString();
    double ppmv = 0.0;
    const QString problem = toPpmv(text, &ppmv);
    if (!problem.isEmpty())
        return problem;
    std::vector<double> &concentrations = params->pathConditions().concentrations;
    if (concentrations.size() < std::size_t(params->moleculeCount()))
        concentrations.resize(std::size_t(params->moleculeCount()), 0.0);
    concentrations[std::size_t(molecule)] = ppmv;
    // The row keeps the text as typed, not a rounding of it.
    row.pressValue = text.trimmed();
    const QModelIndex changed = this->index(molecule);
    emit dataChanged(changed, changed);
    m_core->announce(Setting::Concentration, number);
    return QString();
}

QHash<int, QByteArray> MolListViewModel::roleNames() const
{
    return {{IndexRole, "index"}, {CheckedRole, "checked"}, {MolNameRole, "molName"},
            {PressValueRole, "pressValue"}, {ColorRole, "color"}};
}

int MolListViewModel::units() const
{
    return m_core->pressureUnits()->concentrationCode();
}

void MolListViewModel::setUnits(int code)
{
    if (code == units() || !PressureUnits::isValidConcentrationCode(code))
        return;
    m_core->pressureUnits()->setConcentrationCode(quint8(code));
    m_shownUnits = code;
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        m_rows[i].pressValue = displayText(concentration(int(i)));
    emit unitsChanged();
    emitAllRowsChanged();
}

void MolListViewModel::setSelectedColor(const QString &color)
{
    if (m_selectedColor == color)
        return;
    m_selectedColor = color;
    emit selectedColorChanged();
}

void MolListViewModel::setActiveIndex(int index)
{
    if (m_activeIndex == index)
        return;
    m_activeIndex = index;
    emit activeIndexChanged();
}

bool MolListViewModel::allSelected() const
{
    if (m_rows.empty())
        return false;
    for (const Row &row : m_rows) {
        if (!row.checked)
            return false;
    }
    return true;
}

void MolListViewModel::setAllSelected(bool selected)
{
    selectAll(selected);
}

void MolListViewModel::followAllSelected()
{
    const bool all = allSelected();
    if (all == m_allSelected)
        return;
    m_allSelected = all;
    emit allSelectedChanged();
}

bool MolListViewModel::calcNotSelectedMols() const
{
    return m_core->params()->calcNotSelected();
}

void MolListViewModel::setCalcNotSelectedMols(bool calculate)
{
    if (calcNotSelectedMols() == calculate)
        return;
    m_core->params()->setCalcNotSelected(calculate);
    emit calcNotSelectedMolsChanged();
    m_core->announce(Setting::CalculateAll);
}

QString MolListViewModel::displayText(double ppmv) const
{
    const PressureUnits *record = m_core->pressureUnits();
    double shown = ppmv;
    switch (record->concentrationMode) {
    case PressureUnits::Percent:
        shown = ppmv * 1e-4;
        break;
    case PressureUnits::Ppmv:
        break;
    default:
        shown = PressureUnits::fromAtm(ppmv * 1e-6 * m_core->params()->pathConditions().totalPressure,
                                       record->pressureUnit);
        break;
    }
    return NumberText::locale().toString(shown, 'g', 5);
}

QString MolListViewModel::toPpmv(const QString &text, double *ppmv) const
{
    double entered = 0.0;
    const QString problem = NumberText::parse(text, &entered);
    if (!problem.isEmpty())
        return problem;
    const PressureUnits *record = m_core->pressureUnits();
    double value = entered;
    switch (record->concentrationMode) {
    case PressureUnits::Percent:
        value = entered * 10000.0;
        break;
    case PressureUnits::Ppmv:
        break;
    default: {
        // A partial pressure is a share of the total pressure; without a total
        // pressure no concentration follows from it.
        const double totalPressure = m_core->params()->pathConditions().totalPressure;
        if (!(totalPressure > 0.0))
            return QStringLiteral("A partial pressure needs a total pressure above zero.");
        // The share first: a partial pressure equal to the total gives exactly 1e6.
        value = PressureUnits::toAtm(entered, record->pressureUnit) / totalPressure * 1e6;
        break;
    }
    }
    const QString rule = SettingRules::concentrationProblem(value);
    if (rule.isEmpty())
        *ppmv = value;
    return rule;
}

void MolListViewModel::updateActiveColor()
{
    const int molecule = m_activeIndex - 1;
    Params *params = m_core->params();
    if (!params->isValidMolecule(molecule) || molecule >= int(m_rows.size())
        || !QColor::isValidColor(m_selectedColor))
        return;
    // Stored as "#rrggbb" in lower case, the form the configuration file keeps.
    const QString color = QColor(m_selectedColor).name();
    params->molecule(molecule).color = color;
    m_rows[std::size_t(molecule)].color = color;
    emitAllRowsChanged();
}

void MolListViewModel::selectAll(bool selected)
{
    Params *params = m_core->params();
    for (Molecule &molecule : params->molecules())
        molecule.selected = selected;
    for (Row &row : m_rows)
        row.checked = selected;
    emitAllRowsChanged();
    for (int molecule = 1; molecule <= params->moleculeCount(); ++molecule)
        m_core->announce(Setting::MoleculeSelected, molecule);
}

void MolListViewModel::updateAllCheckedStates()
{
    rebuildRowsIfTableChanged();
    const Params *params = m_core->params();
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        m_rows[i].checked = params->molecule(int(i)).selected;
    emitAllRowsChanged();
    emit updateSpectra(false, true);
}

void MolListViewModel::updatePartPress()
{
    updateAllPartPressValues();
}

void MolListViewModel::updateAllPartPressValues()
{
    qDebug() << "Updating the concentrations in the molecules list.";
    rebuildRowsIfTableChanged();
    // The unit may have been changed elsewhere (total-pressure screen, remote
    // control, configuration file); the texts follow it.
    if (m_shownUnits != units()) {
        m_shownUnits = units();
        emit unitsChanged();
    }
    const Params *params = m_core->params();
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        m_rows[i].checked = params->molecule(int(i)).selected;
        m_rows[i].pressValue = displayText(concentration(int(i)));
    }
    emitAllRowsChanged();
}

void MolListViewModel::updateH2OValue()
{
    if (m_rows.empty())
        return;
    m_rows.front().pressValue = displayText(concentration(0));
    const QModelIndex first = index(0);
    emit dataChanged(first, first);
}

// The rows follow the molecule table; should a new parameter file change the
// number of molecules, the list is rebuilt instead of reading past either end.
void MolListViewModel::rebuildRowsIfTableChanged()
{
    const int molecules = m_core->params()->moleculeCount();
    if (int(m_rows.size()) == molecules)
        return;
    beginResetModel();
    m_rows.clear();
    for (int i = 0; i < molecules; ++i)
        m_rows.push_back(rowFor(i));
    endResetModel();
}

void MolListViewModel::emitAllRowsChanged()
{
    if (!m_rows.empty())
        emit dataChanged(index(0), index(int(m_rows.size()) - 1));
    followAllSelected();
}
