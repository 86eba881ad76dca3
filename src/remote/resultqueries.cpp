#include "remote/resultqueries.h"

#include "core/calculationresults.h"
#include "core/measuredfitting.h"
#include "core/params.h"
#include "core/yaxissettings.h"
#include "remote/commandline.h"
#include "remote/commandtargets.h"
#include "remote/replyformat.h"

#include <QStringList>

#include <algorithm>

namespace {

// The RESULT item that returns one spectrum ("RESULT;<item>;<molecule>").
const QString spectrumItem = QStringLiteral("SPEC");

QString noResultYet(const QString &item)
{
    return QLatin1String("RESULT;") + item + QLatin1String(" : There is no result yet: no calculation has been "
                                                            "performed.");
}

} // namespace

bool ResultQueries::takesMolecule(const QString &item)
{
    return item == spectrumItem || item == QLatin1String("MCONC");
}

QString ResultQueries::answer(const QString &item, int molecule, const CommandTargets &targets,
                              const ReplyFormat &format, const Reply &reply, const ShowTotal &showTotal)
{
    if (item == QLatin1String("FIT") || item == QLatin1String("RESIDUALS")) {
        const QStringList lines = targets.fitting ? targets.fitting->fitLines() : QStringList();
        if (lines.isEmpty()) {
            reply(QLatin1String("RESULT;") + item + QLatin1String(" : There is no fit yet: no fit to a measured "
                                                                  "spectrum has succeeded."));
            return QString();
        }
        if (item == QLatin1String("FIT"))
            return lines.join(format.separator());
        QStringList values;
        for (double residual : targets.fitting->fitResiduals())
            values << format.real(residual);
        return values.join(format.separator());
    }
    const CalculationResults *results = targets.results;
    if (!results)
        return QString();
    // Before the first calculation every item would answer with defaults as
    // if one had run; the known items say that there is nothing yet (a
    // spectrum once its molecule field is known to be valid).
    static const QStringList items = {QStringLiteral("SWAVE"), QStringLiteral("EWAVE"), QStringLiteral("NUMWNPTS"),
                                      QStringLiteral("PATH"), QStringLiteral("TPRES"), QStringLiteral("TEMP"),
                                      QStringLiteral("MCONC"), QStringLiteral("WNGRID")};
    if (!results->hasResults() && items.contains(item)) {
        reply(noResultYet(item));
        return QString();
    }
    const XAxis &grid = results->xAxis();
    if (item == QLatin1String("SWAVE"))
        return format.real(grid.minWavenumber());
    if (item == QLatin1String("EWAVE"))
        return format.real(grid.maxWavenumber());
    if (item == QLatin1String("NUMWNPTS"))
        return format.unsignedInteger(uint(std::max(0, grid.numPoints())));
    if (item == QLatin1String("PATH"))
        return format.real(results->pathLength());
    if (item == QLatin1String("TPRES"))
        return format.real(results->totalPressure());
    if (item == QLatin1String("TEMP"))
        return format.real(results->temperature());
    if (item == QLatin1String("MCONC")) {
        const int count = results->moleculeNames().size();
        if (molecule < 1 || molecule > count) {
            reply(QStringLiteral("RESULT;MCONC : Index out of range. Allowed values: 1 to ") + QString::number(count));
            return QString();
        }
        return format.real(results->concentration(molecule - 1));
    }
    if (item == QLatin1String("WNGRID"))
        return results->gridText(format.separator(), format.format(), format.precision());
    if (item == spectrumItem)
        return spectrum(molecule, targets, format, reply, showTotal);
    return QString();
}

QString ResultQueries::spectrum(int molecule, const CommandTargets &targets, const ReplyFormat &format,
                                const Reply &reply, const ShowTotal &showTotal)
{
    const int count = targets.params ? targets.params->moleculeCount() : 0;
    const QString itemName = QLatin1String("RESULT;") + spectrumItem;
    if (molecule < -1 || molecule > count) {
        if (molecule == CommandLine::unknownMoleculeIndex)
            reply(itemName + QLatin1String(" : String parameter unknown. Allowed values: TOTAL, INSTR or the "
                                           "molecule chemical formula."));
        else
            reply(itemName + QLatin1String(" : Index out of range. Allowed values: -1 to ") + QString::number(count));
        return QString();
    }
    if (!targets.results->hasResults()) {
        reply(noResultYet(spectrumItem));
        return QString();
    }
    // The totals are columns of the table only while the display shows them.
    const YAxisSettings *yAxis = targets.yAxis;
    const bool totalShown = yAxis && yAxis->showTotal;
    if (!totalShown && molecule <= 0)
        showTotal(true);
    else if (totalShown && molecule >= 1)
        showTotal(false);

    QString name;
    if (molecule >= 1) {
        name = targets.params->molecule(molecule - 1).name;
    } else if (molecule == 0) {
        // The plain total is titled after the quantity shown.
        if (yAxis && yAxis->displayedValue == YAxisSettings::Radiance)
            name = QStringLiteral("Radiance");
        else if (yAxis && yAxis->yUnits == YAxisSettings::CrossSection)
            name = QStringLiteral("XSect_Total");
        else
            name = QStringLiteral("Total");
    } else {
        name = QStringLiteral("Instr. funct.");
    }
    const QString text = targets.results->spectrumText(name, format.separator(), format.format(), format.precision());
    if (!text.isEmpty())
        return text;
    const QString tooLow = QStringLiteral(" or else its intensity is too low to display in the plot under the "
                                          "current vertical axis min / max settings.");
    if (molecule >= 1)
        reply(name + QStringLiteral(" : The requested molecular spectrum was either not selected for calculation")
              + tooLow);
    else if (molecule == 0)
        reply(QStringLiteral("The requested high resolution total spectrum is either disabled for display") + tooLow);
    else
        reply(QStringLiteral("The requested instrument function processed total spectrum is either disabled "
                             "for display")
              + tooLow);
    return QString();
}
