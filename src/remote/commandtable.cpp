#include "remote/commandtable.h"

#include "calc/instrumentfunction.h"
#include "core/atmospheremodelset.h"
#include "core/measuredfitting.h"
#include "core/liveswitch.h"
#include "core/params.h"
#include "core/sensorsettings.h"
#include "core/xaxis.h"
#include "core/yaxissettings.h"
#include "download/hitranonlinedownloader.h"
#include "remote/commandtargets.h"

#include <algorithm>
#include <limits>

namespace {

using Bytes = Command::Bytes;
using Effect = Command::Effect;
using Kind = Command::Kind;
using Option = SettingRules::Option;
using Reply = Command::Reply;
using Target = Command::Target;
using T = CommandTargets;

// A count or a size sent as a number; beyond the integer range it stays at its end.
int whole(double value)
{
    return int(std::min(double(std::numeric_limits<int>::max()), value));
}

Command number(const char *name, Target target, Command::Getter get, Command::Setter set)
{
    Command command;
    command.name = name;
    command.target = target;
    command.get = get;
    command.set = set;
    return command;
}

Command integer(const char *name, Target target, Command::Getter get, Command::Setter set)
{
    return number(name, target, get, set).readAs(Kind::Integer).repliedAs(Reply::Integer);
}

Command text(const char *name, QString (*get)(const T &), void (*set)(T &, const QString &),
             QString (*problem)(const QString &))
{
    Command command = number(name, Target::Params, nullptr, nullptr).readAs(Kind::Text).repliedAs(Reply::Text);
    command.getText = get;
    command.setText = set;
    command.textProblem = problem;
    return command;
}

// A text of the measured spectrum's fit, set by reading or checking it.
Command fittingText(const char *name, QString (*get)(const T &), QString (*set)(T &, const QString &))
{
    Command command = number(name, Target::Fitting, nullptr, nullptr).readAs(Kind::Text).repliedAs(Reply::Text);
    command.getText = get;
    command.setTextOrRefuse = set;
    return command;
}

// Switches a quantity between the sensors and the user's value; switching on
// is refused, with the screen's words, while nothing can supply the quantity.
template <SensorSettings::Quantity quantity>
Command sensorSwitch(const char *name)
{
    return integer(name, Target::Sensors, [](const T &t, int) { return double(t.sensors->sensorEnabled(quantity)); },
                   [](T &t, int, double v) { t.sensors->setSensorEnabled(quantity, v != 0.0); })
        .checkedBy([](const T &t, double v) {
            return v != 0.0 && !t.sensors->sensorPresent(quantity)
                ? SensorSettings::noSensorText(quantity).simplified() + QLatin1Char('.') : QString();
        });
}

std::vector<Command> buildRows()
{
    return {
        // The spectral range and grid, cm-1; the binary queries answer in the
        // display unit, where for wavelengths the start is the highest wavenumber.
        number("SWAVE", Target::XAxis, [](const T &t, int) { return t.xAxis->minWavenumber(); },
               [](T &t, int, double v) { t.xAxis->setMinWavenumber(v); })
            .checkedBy([](const T &, double v) { return SettingRules::wavenumberProblem(v); })
            .binary("SWAV", Bytes::Double, Bytes::Double)
            .binaryQuery([](const T &t) { return t.xAxis->displayStart(); })
            .sets(Setting::SpectralStart),
        number("EWAVE", Target::XAxis, [](const T &t, int) { return t.xAxis->maxWavenumber(); },
               [](T &t, int, double v) { t.xAxis->setMaxWavenumber(v); })
            .checkedBy([](const T &, double v) { return SettingRules::wavenumberProblem(v); })
            .binary("EWAV", Bytes::Double, Bytes::Int32OrDouble)
            .binaryQuery([](const T &t) { return t.xAxis->displayEnd(); })
            .sets(Setting::SpectralEnd),
        integer("NUMWNPTS", Target::XAxis, [](const T &t, int) { return double(t.xAxis->numPoints()); },
                [](T &t, int, double v) { t.xAxis->setNumPoints(whole(v)); })
            .repliedAs(Reply::PlainInteger)
            .checkedBy([](const T &, double v) { return SettingRules::pointsProblem(whole(v)); })
            .binary("NWPO", Bytes::Int32, Bytes::Int32)
            .sets(Setting::Points),

        // The path conditions, in metres, atmospheres, kelvin and ppmv.
        number("PATH", Target::Params, [](const T &t, int) { return t.params->pathConditions().pathLength; },
               [](T &t, int, double v) { t.params->pathConditions().pathLength = v; })
            .checkedBy([](const T &, double v) { return SettingRules::pathLengthProblem(v); })
            .binary("PATH", Bytes::Double, Bytes::Double)
            .sets(Setting::PathLength),
        number("TPRES", Target::Params, [](const T &t, int) { return t.params->pathConditions().totalPressure; },
               [](T &t, int, double v) { t.params->pathConditions().totalPressure = v; })
            .checkedBy([](const T &, double v) { return SettingRules::totalPressureProblem(v); })
            .binary("TPRE", Bytes::Double, Bytes::Double)
            .sets(Setting::TotalPressure),
        number("TEMP", Target::Params, [](const T &t, int) { return t.params->pathConditions().temperature; },
               [](T &t, int, double v) { t.params->pathConditions().temperature = v; })
            .checkedBy([](const T &t, double v) { return SettingRules::temperatureProblem(v, *t.params); })
            .binary("TEMP", Bytes::Double, Bytes::Double)
            .sets(Setting::Temperature),
        number("MCONC", Target::Params,
               [](const T &t, int molecule) {
                   const std::vector<double> &concentrations = t.params->pathConditions().concentrations;
                   const std::size_t i = std::size_t(molecule - 1);
                   return i < concentrations.size() ? concentrations[i] : 0.0;
               },
               [](T &t, int molecule, double v) {
                   std::vector<double> &concentrations = t.params->pathConditions().concentrations;
                   concentrations.resize(std::max(concentrations.size(), std::size_t(t.params->moleculeCount())), 0.0);
                   concentrations[std::size_t(molecule - 1)] = v;
               })
            .forEachMolecule()
            .checkedBy([](const T &, double v) { return SettingRules::concentrationProblem(v); })
            .binary("MCON", Bytes::Double, Bytes::Double)
            .sets(Setting::Concentration),
        integer("MSEL", Target::Params,
                [](const T &t, int molecule) { return double(t.params->molecule(molecule - 1).selected); },
                [](T &t, int molecule, double v) { t.params->molecule(molecule - 1).selected = v != 0.0; })
            .forEachMolecule()
            .binary("MSEL", Bytes::Flag, Bytes::Int32)
            .sets(Setting::MoleculeSelected),
        integer("ALLCALC", Target::Params, [](const T &t, int) { return double(t.params->calcNotSelected()); },
                [](T &t, int, double v) { t.params->setCalcNotSelected(v != 0.0); })
            .binary("CFAM", Bytes::Flag, Bytes::Flag)
            .sets(Setting::CalculateAll),
        integer("ATMMODEL", Target::Atmosphere,
                [](const T &t, int) { return double(t.atmosphereModels->currentIndex()); },
                [](T &t, int, double v) { t.atmosphereModels->setCurrentIndex(int(v)); })
            .among(Option::AtmosphereModel)
            .then(Effect::ApplyAtmosphere)
            .binary("AAMO", Bytes::Int32, Bytes::None)
            .sets(Setting::AtmosphereModel),

        // The sensors: which quantities follow them, the SensorTag, the
        // sampling. A switch without a source to follow is refused.
        sensorSwitch<SensorSettings::Quantity::Pressure>("USEBAROM").binary("UBSE", Bytes::Flag, Bytes::Flag)
            .sets(Setting::PressureSensor),
        sensorSwitch<SensorSettings::Quantity::Temperature>("USETHERM").binary("UTSE", Bytes::Flag, Bytes::Flag)
            .sets(Setting::TemperatureSensor),
        sensorSwitch<SensorSettings::Quantity::Humidity>("USEHUMID").binary("UHSE", Bytes::Flag, Bytes::Flag)
            .sets(Setting::HumiditySensor),
        integer("USESENSTAG", Target::Sensors, [](const T &t, int) { return double(t.sensors->useSensorTag()); },
                [](T &t, int, double v) { t.sensors->setUseSensorTag(v != 0.0); })
            .checkedBy([](const T &t, double v) {
                return v != 0.0 && !t.sensors->sensorTagConnected()
                    ? QStringLiteral("The SensorTag is not connected.") : QString();
            })
            .sets(Setting::SensorTag),
        integer("SMPLPERIOD", Target::Sensors, [](const T &t, int) { return double(t.sensors->samplingPeriod()); },
                [](T &t, int, double v) { t.sensors->setSamplingPeriod(whole(v)); })
            .repliedAs(Reply::PlainInteger)
            .checkedBy([](const T &, double v) { return SettingRules::samplingProblem(v); })
            .sets(Setting::SamplingPeriod),
        integer("SMPLSTOAVG", Target::Sensors,
                [](const T &t, int) { return double(t.sensors->numSamplesToAverage()); },
                [](T &t, int, double v) { t.sensors->setNumSamplesToAverage(whole(v)); })
            .repliedAs(Reply::PlainInteger)
            .checkedBy([](const T &, double v) { return SettingRules::samplingProblem(v); })
            .sets(Setting::SamplesToAverage),

        // The line data and the line options.
        integer("HITOPT", Target::Downloader, [](const T &t, int) { return double(t.downloader->usage()); },
                [](T &t, int, double v) { t.downloader->setUsage(int(v)); })
            .among(Option::AccessOption)
            .binary("HDOP", Bytes::Int32, Bytes::Int8)
            .sets(Setting::AccessOption),
        integer("LSHAPE", Target::Params, [](const T &t, int) { return double(t.params->lineShapeProfile()); },
                [](T &t, int, double v) { t.params->setLineShapeProfile(int(v)); })
            .among(Option::LineShapeProfile)
            .binary("LPRO", Bytes::Int32, Bytes::Int8)
            .sets(Setting::LineShape),
        number("LTHRESH", Target::Params, [](const T &t, int) { return t.params->intensityThreshold(); },
               [](T &t, int, double v) { t.params->setIntensityThreshold(v); })
            .checkedBy([](const T &, double v) { return SettingRules::intensityThresholdProblem(v); })
            .binary("LITH", Bytes::Double, Bytes::Double)
            .sets(Setting::IntensityThreshold),
        integer("LWINGSAT", Target::Params, [](const T &t, int) { return double(t.params->lineWingHalfwidths()); },
                [](T &t, int, double v) { t.params->setLineWingHalfwidths(whole(v)); })
            .checkedBy([](const T &, double v) { return SettingRules::wingHalfwidthsProblem(v); })
            .binary("LWCS", Bytes::Int32, Bytes::Int32)
            .sets(Setting::WingHalfwidths),
        number("LWINGABS", Target::Params, [](const T &t, int) { return t.params->lineWingAbsolute(); },
               [](T &t, int, double v) { t.params->setLineWingAbsolute(v); })
            .checkedBy([](const T &, double v) { return SettingRules::wingAbsoluteProblem(v); })
            .binary("LWCA", Bytes::Double, Bytes::Double)
            .sets(Setting::WingAbsolute),
        integer("LBROAD", Target::Params, [](const T &t, int) { return double(t.params->broadeningType()); },
                [](T &t, int, double v) { t.params->setBroadeningType(int(v)); })
            .among(Option::BroadeningType)
            .binary("LBRO", Bytes::Int32, Bytes::Int8)
            .sets(Setting::Broadening),
        integer("LSHIFTUSE", Target::Params, [](const T &t, int) { return double(t.params->lineShiftUsage()); },
                [](T &t, int, double v) { t.params->setLineShiftUsage(v != 0.0 ? 1 : 0); })
            .binary("LSUS", Bytes::Flag, Bytes::Flag)
            .sets(Setting::LineShift),

        // The instrument function.
        integer("INSTRFUNCT", Target::InstrumentFunction,
                [](const T &t, int) { return double(t.instrumentFunction->type()); },
                [](T &t, int, double v) { t.instrumentFunction->setType(quint8(v)); })
            .among(Option::InstrumentFunction)
            .binary("IFTY", Bytes::Int32, Bytes::Int8)
            .sets(Setting::InstrumentFunction),
        number("INSTRRES", Target::InstrumentFunction,
               [](const T &t, int) { return t.instrumentFunction->resolution(); },
               [](T &t, int, double v) { t.instrumentFunction->setResolution(v); })
            .checkedBy([](const T &, double v) { return SettingRules::instrumentResolutionProblem(v); })
            .binary("IRES", Bytes::Double, Bytes::Double)
            .sets(Setting::InstrumentResolution),
        number("INSTRWING", Target::InstrumentFunction, [](const T &t, int) { return t.instrumentFunction->wing(); },
               [](T &t, int, double v) { t.instrumentFunction->setWing(v); })
            .checkedBy([](const T &, double v) { return SettingRules::instrumentWingProblem(v); })
            .binary("IFWI", Bytes::Double, Bytes::Double)
            .sets(Setting::InstrumentWing),

        // What is shown, and how replies are written.
        integer("YPARAM", Target::YAxis, [](const T &t, int) { return double(t.yAxis->displayedValue); },
                [](T &t, int, double v) { t.yAxis->displayedValue = quint8(v); })
            .among(Option::YQuantity)
            .then(Effect::Redraw)
            .sets(Setting::YQuantity),
        integer("YUNITS", Target::YAxis, [](const T &t, int) { return double(t.yAxis->yUnits); },
                [](T &t, int, double v) { t.yAxis->yUnits = quint8(v); })
            .among(Option::YUnits)
            .then(Effect::Redraw)
            .sets(Setting::YUnits),
        integer("TOTAL", Target::YAxis, [](const T &t, int) { return double(t.yAxis->showTotal); },
                [](T &t, int, double v) { t.yAxis->showTotal = v != 0.0; })
            .then(Effect::ShowTotal)
            .sets(Setting::ShowTotal),
        integer("PREC", Target::Params, [](const T &t, int) { return double(t.params->replyPrecision()); },
                [](T &t, int, double v) { t.params->setReplyPrecision(quint8(v)); })
            .among(Option::ReplyPrecision),
        text("FORMAT", [](const T &t) { return QString(QLatin1Char(t.params->replyFormat())); },
             [](T &t, const QString &format) { t.params->setReplyFormat(format.at(0).toLatin1()); },
             SettingRules::replyFormatProblem),
        text("DELIMITER", [](const T &t) { return t.params->replySeparator(); },
             [](T &t, const QString &separator) { t.params->setReplySeparator(separator); },
             SettingRules::replySeparatorProblem)
            .withRestOfText(),

        fittingText("MEASFILE", [](const T &t) { return t.fitting->measuredName(); },
                    [](T &t, const QString &file) {
                        QString problem;
                        t.fitting->loadMeasured(file.trimmed(), &problem);
                        return problem;
                    }),
        fittingText("FITVARY", [](const T &t) { return t.fitting->variedList(); },
                    [](T &t, const QString &list) {
                        QString problem;
                        t.fitting->setVariedList(list, &problem);
                        return problem;
                    })
            .withRestOfText(),
        number("FIT", Target::Fitting, nullptr, nullptr).readAs(Kind::Action).repliedAs(Reply::Empty).then(Effect::Fit),
        // Live: every accepted change of an input starts a calculation by
        // itself, and each one that finishes answers READY, as CALC does.
        integer("LIVE", Target::Live, [](const T &t, int) { return double(t.live->liveCalculation()); },
                [](T &t, int, double v) { t.live->setLiveCalculation(v != 0.0); })
            .binary("LIVE", Bytes::Flag, Bytes::Flag)
            .sets(Setting::Live),

        number("CALC", Target::None, nullptr, nullptr)
            .readAs(Kind::Action)
            .repliedAs(Reply::Empty)
            .then(Effect::Calculate)
            .binary("CALC", Bytes::None, Bytes::None)
            .sets(Setting::Calculation),
    };
}

} // namespace

const std::vector<Command> &CommandTable::rows()
{
    static const std::vector<Command> table = [] {
        std::vector<Command> built = buildRows();
        const QStringList wrong = problems(built);
        if (!wrong.isEmpty())
            qFatal("The command table is not sound:\n%s", qPrintable(wrong.join(QLatin1Char('\n'))));
        return built;
    }();
    return table;
}

QStringList CommandTable::problems(const std::vector<Command> &table)
{
    QStringList found;
    QStringList names;
    QStringList codes;
    QList<Setting> settings;
    for (const Command &command : table) {
        const QString name = QString::fromLatin1(command.name);
        if (name.isEmpty())
            found << QStringLiteral("a row without a name");
        if (names.contains(name))
            found << QStringLiteral("%1: named twice").arg(name);
        names << name;
        if (command.binaryCode) {
            const QString code = QString::fromLatin1(command.binaryCode);
            if (codes.contains(code))
                found << QStringLiteral("%1: binary code %2 given twice").arg(name, code);
            codes << code;
        }
        if (command.setting != Setting::None) {
            if (settings.contains(command.setting))
                found << QStringLiteral("%1: its setting is set by another command too").arg(name);
            settings << command.setting;
        }
        if (command.kind == Command::Kind::Action)
            continue;
        const bool settable = !command.readOnly;
        if (command.kind == Command::Kind::Text) {
            if (!command.getText)
                found << QStringLiteral("%1: a text that cannot be asked for").arg(name);
            if (settable && !command.setTextOrRefuse && (!command.setText || !command.textProblem))
                found << QStringLiteral("%1: a text that can be set without a setter and a rule").arg(name);
            continue;
        }
        if (!command.get && !command.binaryGet)
            found << QStringLiteral("%1: a value that cannot be asked for").arg(name);
        if (settable && !command.set)
            found << QStringLiteral("%1: a value that can be set without a setter").arg(name);
        if (!settable && command.binaryPayload != Command::Bytes::None)
            found << QStringLiteral("%1: a read-only value with a binary form that sets it").arg(name);
    }
    return found;
}

const Command *CommandTable::find(const QString &name)
{
    for (const Command &command : rows()) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

const Command *CommandTable::find(Setting setting)
{
    if (setting == Setting::None)
        return nullptr;
    const std::vector<Command> &all = rows();
    const auto it = std::find_if(all.begin(), all.end(), [setting](const Command &c) { return c.setting == setting; });
    return it == all.end() ? nullptr : &*it;
}

const Command *CommandTable::findBinary(const QString &code)
{
    for (const Command &command : rows()) {
        if (command.binaryCode && code == QLatin1String(command.binaryCode))
            return &command;
    }
    return nullptr;
}

bool CommandTable::hasTarget(const Command &command, const CommandTargets &targets)
{
    switch (command.target) {
    case Target::None: return true;
    case Target::Params: return targets.params;
    case Target::XAxis: return targets.xAxis;
    case Target::YAxis: return targets.yAxis;
    case Target::Sensors: return targets.sensors;
    case Target::InstrumentFunction: return targets.instrumentFunction;
    case Target::Atmosphere: return targets.atmosphereModels;
    case Target::Downloader: return targets.downloader;
    case Target::Fitting: return targets.fitting;
    case Target::Live: return targets.live;
    }
    return false;
}
