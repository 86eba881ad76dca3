#pragma once

#include "core/molecule.h"
#include "core/pathconditions.h"

#include <QObject>
#include <QString>

#include <vector>

struct AtmosphereModel;

// The parameter store: the HITRAN molecule and isotopologue table with the
// partition sums, the path conditions and the line-calculation options. The
// files that fill it are read by ParameterFiles.
class Params : public QObject
{
    Q_OBJECT

public:
    // Molecules the program knows. Colours, global numbers, the configuration file
    // and the atmosphere profiles are laid out by this many positions, so the table
    // never holds more; molecules beyond it in a downloaded parameter file are ignored.
    static constexpr int maxMoleculeCount = 49;

    explicit Params(QObject *parent = nullptr);

    PathConditions &pathConditions() { return m_pathConditions; }
    const PathConditions &pathConditions() const { return m_pathConditions; }

    std::vector<Molecule> &molecules() { return m_molecules; }
    const std::vector<Molecule> &molecules() const { return m_molecules; }
    Molecule &molecule(int index) { return m_molecules[std::size_t(index)]; }
    const Molecule &molecule(int index) const { return m_molecules[std::size_t(index)]; }
    int moleculeCount() const { return int(m_molecules.size()); }
    bool isValidMolecule(int index) const { return index >= 0 && index < moleculeCount(); }
    bool isValidIsotopologue(int molecule, int isotopologue) const;

    // The temperatures of the first partition-sum table, as its file lists them.
    const std::vector<double> &tipsTemperatures() const { return m_tipsTemperatures; }
    void setTipsTemperatures(std::vector<double> temperatures) { m_tipsTemperatures = std::move(temperatures); }
    double tipsTemperature(int index) const;

    int lineShapeProfile() const { return m_lineShapeProfile; }
    void setLineShapeProfile(int profile) { m_lineShapeProfile = profile; }
    int lineWingHalfwidths() const { return m_lineWingHalfwidths; }
    void setLineWingHalfwidths(int halfwidths) { m_lineWingHalfwidths = halfwidths; }
    double lineWingAbsolute() const { return m_lineWingAbsolute; }
    void setLineWingAbsolute(double wavenumbers) { m_lineWingAbsolute = wavenumbers; }
    int broadeningType() const { return m_broadeningType; }
    void setBroadeningType(int type) { m_broadeningType = type; }
    double intensityThreshold() const { return m_intensityThreshold; }
    void setIntensityThreshold(double threshold) { m_intensityThreshold = threshold; }
    int lineShiftUsage() const { return m_lineShiftUsage; }
    void setLineShiftUsage(int usage) { m_lineShiftUsage = usage; }
    double tipsMaxTemperature() const { return m_tipsMaxTemperature; }
    bool calcNotSelected() const { return m_calcNotSelected; }
    void setCalcNotSelected(bool calculate) { m_calcNotSelected = calculate; }
    bool crossSectionOnly() const { return m_crossSectionOnly; }
    void setCrossSectionOnly(bool only) { m_crossSectionOnly = only; }
    quint8 replyPrecision() const { return m_replyPrecision; }
    void setReplyPrecision(quint8 precision) { m_replyPrecision = precision; }
    char replyFormat() const { return m_replyFormat; }
    void setReplyFormat(char format) { m_replyFormat = format; }
    QString replySeparator() const { return m_replySeparator; }
    void setReplySeparator(const QString &separator) { m_replySeparator = separator; }

    // Puts back the molecule and isotopologue table compiled into the program.
    void restoreBuiltinTable();
    // Re-applies the built-in colours and global numbers by position.
    void resetMoleculeColorsAndIds();
    // The partition-sum table of an isotopologue without a file of its own: the
    // constant Q(296 K) from 1 K to the highest temperature of the tables.
    void fillConstantPartitionSums(Isotopologue &isotopologue) const;

    // Puts the ground level of a model atmosphere into the path conditions: total
    // pressure, temperature, air density and every concentration. Molecules the
    // model has no profile for get 0. A model without profiles changes nothing
    // and gives false.
    bool applyAtmosphereModelToParams(const AtmosphereModel &model);

    // Whether a molecule takes part in a calculation with the current options.
    bool isCalculated(int molecule) const;

private:

    PathConditions m_pathConditions;
    std::vector<Molecule> m_molecules;
    std::vector<double> m_tipsTemperatures;
    bool m_crossSectionOnly = true;
    int m_lineShapeProfile = 1;
    int m_lineWingHalfwidths = 50;
    double m_lineWingAbsolute = 1.0;
    int m_broadeningType = 2;
    double m_intensityThreshold = 1e-25;
    int m_lineShiftUsage = 1;
    double m_tipsMaxTemperature = 2930.0;
    bool m_calcNotSelected = true;
    quint8 m_replyPrecision = 8;
    char m_replyFormat = 'g';
    QString m_replySeparator;
};
