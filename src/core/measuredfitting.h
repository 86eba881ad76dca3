#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The fit of the calculation to a measured spectrum as a remote peer reaches
// it: the measured file, what varies, the fit and its results. The program's
// fit implements it.
class MeasuredFitting
{
public:
    virtual ~MeasuredFitting() = default;

    // A path, or the name of a file in the data folder; on failure the
    // spectrum loaded before stays and `problem` names the line and the fault.
    virtual bool loadMeasured(const QString &file, QString *problem) = 0;
    virtual QString measuredName() const = 0;
    // "CO2,H2O[,T][,P][,shift][,baseline=N]".
    virtual bool setVariedList(const QString &list, QString *problem) = 0;
    virtual QString variedList() const = 0;
    // Fits, waiting for it; false with the reason when there is no result.
    virtual bool fitMeasured(QString *problem) = 0;
    // "<name> <value> <1-sigma> <unit>" per varied quantity, then "rms <value>"
    // and "points <n>"; empty before a fit.
    virtual QStringList fitLines() const = 0;
    // Measured minus fitted y at each row used, in rising wavenumber.
    virtual std::vector<double> fitResiduals() const = 0;
};
