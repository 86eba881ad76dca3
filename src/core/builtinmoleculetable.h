#pragma once

// The molecule and isotopologue table compiled into the program. Params builds
// its list from it and re-applies its colours and global numbers by position
// after a downloaded isotopologue parameter file has replaced the numbers.
class BuiltinMoleculeTable
{
public:
    struct MoleculeRow {
        int number;           // HITRAN molecule number, 1-based
        const char *name;
        const char *color;
    };
    struct IsotopologueRow {
        int molecule;         // HITRAN molecule number, 1-based
        int afglCode;
        double abundance;
        double q296;
        double gj;
        double molarMass;
        int globalId;
    };

    // Rows in HITRAN order; molecules by number, isotopologues most abundant first.
    static const MoleculeRow *molecules(int *count);
    static const IsotopologueRow *isotopologues(int *count);
};
