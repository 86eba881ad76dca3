#pragma once

#include "core/setting.h"
#include "core/settingrules.h"

#include <QString>

struct CommandTargets;

// One command of the remote protocol, as a row of the command table: how its
// parameter is read, which rule it obeys, what it sets and how a query writes
// it, what follows a set, and its binary form ("<code>_BIN"). The command
// processor reads the rows; it knows no command by name.
struct Command
{
    // How the text parameter is read.
    enum class Kind {
        Real,      // a number as it is
        Integer,   // a number cut to a whole one (switches: non-zero is on)
        Option,    // a whole number among the options of `option`
        Text,      // the text itself
        Action,    // no value: the command starts something
    };
    // How a query writes the value.
    enum class Reply {
        Real,           // the reply format and precision, in the locale
        Integer,        // in the locale
        PlainInteger,   // plain digits
        Text,
        Empty,
    };
    // What follows a set, beyond storing the value.
    enum class Effect {
        None,
        ApplyAtmosphere,   // the chosen model atmosphere fills the path conditions, also after a refusal
        Redraw,            // the displayed spectra are assembled anew
        ShowTotal,         // the display shows the totals or the molecules; waits for the redrawn plot
        Calculate,         // a calculation runs; the text form waits for it, the binary form does not
        Fit,               // the calculation is fitted to the measured spectrum; the reply is the result
    };
    // Binary values, little-endian.
    enum class Bytes {
        None,
        Double,          // 8 bytes
        Int32,           // 4 bytes, signed
        Int32OrDouble,   // 4 bytes, or a double when the payload holds 8
        Int8,            // 1 byte, signed
        Flag,            // 1 byte, 0 or 1
    };
    // The object of CommandTargets that the command needs.
    enum class Target { None, Params, XAxis, YAxis, Sensors, InstrumentFunction, Atmosphere, Downloader, Fitting, Live };

    using Getter = double (*)(const CommandTargets &, int molecule);
    using Setter = void (*)(CommandTargets &, int molecule, double value);
    using Rule = QString (*)(const CommandTargets &, double value);

    const char *name = "";
    Kind kind = Kind::Real;
    Target target = Target::None;
    Reply reply = Reply::Real;
    // The parameter follows a molecule field: "#MCONC;<molecule>;<value>".
    bool perMolecule = false;
    // The parameter is all the text after the first ";", semicolons included.
    bool takesRestOfText = false;
    // The value can be asked for but not set.
    bool readOnly = false;
    Getter get = nullptr;
    Setter set = nullptr;
    // A value must pass this besides the protocol's own checks (not negative,
    // finite, one of the options).
    Rule problem = nullptr;
    SettingRules::Option option = SettingRules::Option::AccessOption;
    Effect effect = Effect::None;
    // The setting the command sets: a change of it made on this device's
    // screens goes to the peers as this command.
    Setting setting = Setting::None;
    // Text commands.
    QString (*getText)(const CommandTargets &) = nullptr;
    void (*setText)(CommandTargets &, const QString &) = nullptr;
    QString (*textProblem)(const QString &) = nullptr;
    // A text whose setting can fail on more than its form (a file that is
    // read): sets it, or returns why not.
    QString (*setTextOrRefuse)(CommandTargets &, const QString &) = nullptr;
    // The binary form; the query reads binaryGet where there is one, else get.
    const char *binaryCode = nullptr;
    Bytes binaryReply = Bytes::None;
    Bytes binaryPayload = Bytes::None;
    double (*binaryGet)(const CommandTargets &) = nullptr;

    // The setters that make the table's rows read as sentences.
    Command &readAs(Kind k) { kind = k; return *this; }
    Command &repliedAs(Reply r) { reply = r; return *this; }
    Command &checkedBy(Rule rule) { problem = rule; return *this; }
    Command &among(SettingRules::Option o) { kind = Kind::Option; option = o; reply = Reply::Integer; return *this; }
    Command &then(Effect e) { effect = e; return *this; }
    Command &sets(Setting s) { setting = s; return *this; }
    Command &forEachMolecule() { perMolecule = true; return *this; }
    Command &withRestOfText() { takesRestOfText = true; return *this; }
    Command &onlyAsked() { readOnly = true; return *this; }
    Command &binary(const char *code, Bytes replyBytes, Bytes payloadBytes)
    {
        binaryCode = code;
        binaryReply = replyBytes;
        binaryPayload = payloadBytes;
        return *this;
    }
    Command &binaryQuery(double (*getter)(const CommandTargets &)) { binaryGet = getter; return *this; }
};
