#include "core/params.h"

#include "core/atmospheremodel.h"
#include "core/builtinmoleculetable.h"
#include "core/pressureunits.h"

#include <algorithm>
#include <cmath>

Params::Params(QObject *parent)
    : QObject(parent)
{
    m_molecules.reserve(maxMoleculeCount);
    restoreBuiltinTable();
    m_pathConditions.concentrations.assign(std::size_t(moleculeCount()), 0.0);
    m_replySeparator = QStringLiteral(";");
}

void Params::restoreBuiltinTable()
{
    int moleculeRowCount = 0;
    int isotopologueRowCount = 0;
    const auto *moleculeRows = BuiltinMoleculeTable::molecules(&moleculeRowCount);
    const auto *isotopologueRows = BuiltinMoleculeTable::isotopologues(&isotopologueRowCount);

    m_molecules.clear();
    m_molecules.resize(std::size_t(moleculeRowCount));
    for (int i = 0; i < moleculeRowCount; ++i) {
        Molecule &molecule = m_molecules[std::size_t(moleculeRows[i].number - 1)];
        molecule.name = QString::fromLatin1(moleculeRows[i].name);
        molecule.selected = true;
    }
    for (int i = 0; i < isotopologueRowCount; ++i) {
        const auto &row = isotopologueRows[i];
        Isotopologue isotopologue;
        isotopologue.afglCode = row.afglCode;
        isotopologue.naturalAbundance = row.abundance;
        isotopologue.abundance = row.abundance;
        isotopologue.q296 = row.q296;
        isotopologue.gj = row.gj;
        isotopologue.molarMass = row.molarMass;
        isotopologue.globalId = row.globalId;
        m_molecules[std::size_t(row.molecule - 1)].isotopologues.push_back(isotopologue);
    }
    resetMoleculeColorsAndIds();
}

bool Params::isValidIsotopologue(int molecule, int isotopologue) const
{
    return isValidMolecule(molecule) && isotopologue >= 0
        && isotopologue < int(m_molecules[std::size_t(molecule)].isotopologues.size());
}

double Params::tipsTemperature(int index) const
{
    if (index < 0 || index >= int(m_tipsTemperatures.size()))
        return 0.0;
    return m_tipsTemperatures[std::size_t(index)];
}

void Params::resetMoleculeColorsAndIds()
{
    int moleculeRowCount = 0;
    int isotopologueRowCount = 0;
    const auto *moleculeRows = BuiltinMoleculeTable::molecules(&moleculeRowCount);
    const auto *isotopologueRows = BuiltinMoleculeTable::isotopologues(&isotopologueRowCount);

    for (int i = 0; i < moleculeRowCount; ++i) {
        const int index = moleculeRows[i].number - 1;
        if (isValidMolecule(index))
            m_molecules[std::size_t(index)].color = QString::fromLatin1(moleculeRows[i].color);
    }
    int previousMolecule = 0;
    int position = 0;
    for (int i = 0; i < isotopologueRowCount; ++i) {
        const auto &row = isotopologueRows[i];
        position = row.molecule == previousMolecule ? position + 1 : 0;
        previousMolecule = row.molecule;
        if (isValidIsotopologue(row.molecule - 1, position))
            m_molecules[std::size_t(row.molecule - 1)].isotopologues[std::size_t(position)].globalId
                = row.globalId;
    }
}

bool Params::applyAtmosphereModelToParams(const AtmosphereModel &model)
{
    if (!model.hasGroundValues())
        return false;
    m_pathConditions.totalPressure = PressureUnits::toAtm(model.pressure.values.front(), PressureUnits::Mbar);
    m_pathConditions.temperature = model.temperature.values.front();
    m_pathConditions.airDensity = model.airDensity.values.front();
    // One concentration per molecule of the table, whatever the model was built
    // for: every reader of the list indexes it by molecule.
    std::vector<double> &concentrations = m_pathConditions.concentrations;
    concentrations.assign(std::size_t(moleculeCount()), 0.0);
    const std::size_t profiles = std::min(concentrations.size(), model.concentrations.size());
    for (std::size_t k = 0; k < profiles; ++k) {
        const SpectrumValues &values = model.concentrations[k].values;
        concentrations[k] = values.empty() ? 0.0 : values.front();
    }
    return true;
}

bool Params::isCalculated(int molecule) const
{
    return isValidMolecule(molecule) && (m_calcNotSelected || m_molecules[std::size_t(molecule)].selected);
}


void Params::fillConstantPartitionSums(Isotopologue &isotopologue) const
{
    isotopologue.tipsLoaded = false;
    isotopologue.partitionSumsFirstTemperature = 1.0;
    isotopologue.partitionSums.assign(std::size_t(std::floor(m_tipsMaxTemperature)) + 1, isotopologue.q296);
}
