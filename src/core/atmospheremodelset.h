#pragma once

#include "core/atmospheremodel.h"
#include "core/optionlists.h"

#include <QString>
#include <QtGlobal>

#include <vector>

// The six standard model atmospheres (AFGL 1986 profiles rounded to three
// significant digits) and the one currently chosen. The numbers are read from
// the tables compiled into the program; only their ground level reaches the
// path conditions.
class AtmosphereModelSet
{
public:
    static constexpr int modelCount = OptionLists::count(OptionLists::atmosphereModels);
    static constexpr int levelCount = 50;
    static constexpr int usStandardIndex = 5;
    // Molecules 1 to 28 (H2O to PH3) have profiles; every other molecule is zero.
    static constexpr int profiledMoleculeCount = 28;

    AtmosphereModelSet();

    // Sizes the concentration profiles of every model; takes effect at the next build.
    void setMoleculeCount(int count);
    int moleculeCount() const { return m_moleculeCount; }

    // Builds the six models from the program's tables. Returns false when the
    // tables cannot be read; the models then have names but no profiles.
    bool buildModels();
    // The same from table texts in the layout of the program's tables.
    bool buildModels(const QString &modelTable, const QString &traceTable);

    // Out-of-range indices are refused and leave the current model in place.
    bool setCurrentIndex(int index);
    quint8 currentIndex() const { return m_currentIndex; }
    const AtmosphereModel &currentModel() const { return m_models[m_currentIndex]; }
    const AtmosphereModel &model(int index) const { return m_models[std::size_t(index)]; }
    const std::vector<AtmosphereModel> &models() const { return m_models; }

    static QString modelName(int index);
    // Level altitudes, km: 0-25 by 1, 27.5-50 by 2.5, 55-120 by 5.
    static std::vector<double> altitudeGrid();

    static QString modelTableResource();
    static QString traceTableResource();

private:
    void resetModels();

    std::vector<AtmosphereModel> m_models;
    int m_moleculeCount = 0;
    quint8 m_currentIndex = usStandardIndex;
};
