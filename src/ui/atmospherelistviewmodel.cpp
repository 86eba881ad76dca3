#include "ui/atmospherelistviewmodel.h"

#include "app/kolvexcore.h"
#include "core/atmospheremodelset.h"
#include "core/params.h"

#include <algorithm>
#include <limits>

AtmosphereListViewModel::AtmosphereListViewModel(QObject *parent, KolvexCore *core)
    : QAbstractListModel(parent)
    , m_core(core)
{
    qRegisterMetaType<Spectrum>("Spectrum");
    m_rows.push_back(Row{QStringLiteral("  Press."), PressureProfile});
    m_rows.push_back(Row{QStringLiteral("  Temp."), TemperatureProfile});
    m_rows.push_back(Row{QStringLiteral("  Dens."), AirDensityProfile});
    const Params *params = m_core->params();
    for (int k = 0; k < params->moleculeCount(); ++k) {
        const QString number = QString::number(k + 1);
        const QString text = (number.size() < 2 ? QLatin1String("  ") + number : number) + QLatin1String("  ")
            + params->molecule(k).name;
        m_rows.push_back(Row{text, FirstMoleculeProfile + k});
    }
    connect(m_core, &KolvexCore::applyCurrentAtmModel, this, &AtmosphereListViewModel::setUpdatedValues);
    plotSpectrum();
}

int AtmosphereListViewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant AtmosphereListViewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= int(m_rows.size()) || role != ItemNameRole)
        return QVariant();
    return m_rows[std::size_t(index.row())].itemName;
}

QHash<int, QByteArray> AtmosphereListViewModel::roleNames() const
{
    return {{ItemNameRole, "itemName"}};
}

int AtmosphereListViewModel::profileIndex(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? m_rows[std::size_t(row)].profileIndex : -1;
}

void AtmosphereListViewModel::setSelectedItem(int item)
{
    if (m_selectedItem == item)
        return;
    m_selectedItem = item;
    emit selectedItemChanged();
    plotSpectrum();
}

quint8 AtmosphereListViewModel::modelNum() const
{
    return m_core->atmosphereModels()->currentIndex();
}

void AtmosphereListViewModel::setModelNum(quint8 index)
{
    // The new model reaches the path only when it is applied.
    if (index == modelNum() || !m_core->atmosphereModels()->setCurrentIndex(index))
        return;
    emit modelNumChanged();
    plotSpectrum();
}

void AtmosphereListViewModel::setMinX(double value)
{
    if (m_minX == value)
        return;
    m_minX = value;
    emit minXChanged();
}

void AtmosphereListViewModel::setMaxX(double value)
{
    if (m_maxX == value)
        return;
    m_maxX = value;
    emit maxXChanged();
}

void AtmosphereListViewModel::setMinY(double value)
{
    if (m_minY == value)
        return;
    m_minY = value;
    emit minYChanged();
}

void AtmosphereListViewModel::setMaxY(double value)
{
    if (m_maxY == value)
        return;
    m_maxY = value;
    emit maxYChanged();
}

void AtmosphereListViewModel::setXAxisTitle(const QString &title)
{
    if (m_xAxisTitle == title)
        return;
    m_xAxisTitle = title;
    emit xAxisTitleChanged();
}

void AtmosphereListViewModel::setCurrSpecIndex(int index)
{
    if (m_currSpecIndex == index)
        return;
    m_currSpecIndex = index;
    emit currSpecIndexChanged();
}

void AtmosphereListViewModel::setUpdatedValues()
{
    m_core->params()->applyAtmosphereModelToParams(m_core->atmosphereModels()->currentModel());
    // The model may have been chosen elsewhere (remote control); the screen follows.
    emit modelNumChanged();
    plotSpectrum();
}

void AtmosphereListViewModel::assignNewValues()
{
    m_core->params()->applyAtmosphereModelToParams(m_core->atmosphereModels()->currentModel());
    // Every setting holder re-reads the path conditions it shows; the peers
    // apply the same model to their own.
    emit m_core->valuesUpdated();
    m_core->announce(Setting::AtmosphereModel);
}

void AtmosphereListViewModel::plotSpectrum()
{
    m_currSpecIndex = -1;
    emit currSpecIndexChanged();

    const AtmosphereModel &model = m_core->atmosphereModels()->currentModel();
    const AtmosphereProfile *profile = nullptr;
    QString title;
    switch (m_selectedItem) {
    case PressureProfile:
        profile = &model.pressure;
        title = QStringLiteral("Total pressure, mbar");
        break;
    case TemperatureProfile:
        profile = &model.temperature;
        title = QStringLiteral("Temperature, Kelvin");
        break;
    case AirDensityProfile:
        profile = &model.airDensity;
        title = QStringLiteral("Air density, cm-3");
        break;
    default: {
        const int molecule = m_selectedItem - FirstMoleculeProfile;
        if (molecule < 0 || molecule >= int(model.concentrations.size())
            || !m_core->params()->isValidMolecule(molecule))
            return;
        profile = &model.concentrations[std::size_t(molecule)];
        title = QStringLiteral("Concentration of ") + m_core->params()->molecule(molecule).name
            + QStringLiteral(", ppmv");
        break;
    }
    }

    m_spectrum = *profile;
    m_xAxisTitle = title;
    m_lineColor = QStringLiteral("#ff0000");
    m_minX = 0.0;
    m_maxX = m_spectrum.auxValues.empty() ? 0.0 : m_spectrum.auxValues.back();
    m_minY = 0.0;
    // Starting at the smallest positive normal double keeps a profile of zeros
    // from giving an empty vertical range.
    m_maxY = std::numeric_limits<double>::min();
    for (double value : m_spectrum.values)
        m_maxY = std::max(m_maxY, value);

    emit spectrumChanged();
    emit xAxisTitleChanged();
    emit minXChanged();
    emit maxXChanged();
    emit minYChanged();
    emit maxYChanged();
    emit lineColorChanged();
    m_currSpecIndex = 0;
    emit currSpecIndexChanged();
    m_currSpecIndex = -2;
    emit currSpecIndexChanged();
}
