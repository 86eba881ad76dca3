#include "core/optionlists.h"
#include "core/pathlengthunit.h"
#include "core/pressureunits.h"
#include "core/settingrules.h"
#include "core/temperatureunit.h"
#include "core/xaxis.h"
#include "core/yaxissettings.h"

#include <QtTest>

// The lists of choices are defined once: the rules accept exactly the choices
// listed, every choice has its words, and every unit code a file may hold is
// named by its own unit.
class TestOptionLists : public QObject
{
    Q_OBJECT

private slots:
    void rulesAcceptExactlyTheListedChoices_data();
    void rulesAcceptExactlyTheListedChoices();
    void everyUnitIsNamedByItself();
    void screensOfferTheChoicesBeforeTheFileOnlyOnes();
};

void TestOptionLists::rulesAcceptExactlyTheListedChoices_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<int>("listed");
    using Option = SettingRules::Option;
    QTest::newRow("access") << int(Option::AccessOption) << 3;
    QTest::newRow("line shape") << int(Option::LineShapeProfile) << 4;
    QTest::newRow("broadening") << int(Option::BroadeningType) << 3;
    QTest::newRow("instrument function") << int(Option::InstrumentFunction) << 8;
    QTest::newRow("atmosphere") << int(Option::AtmosphereModel) << 6;
    QTest::newRow("y quantity") << int(Option::YQuantity) << 2;
    QTest::newRow("y units") << int(Option::YUnits) << 4;
}

void TestOptionLists::rulesAcceptExactlyTheListedChoices()
{
    QFETCH(int, option);
    QFETCH(int, listed);
    const auto which = SettingRules::Option(option);
    for (int value = 0; value < listed; ++value)
        QVERIFY2(SettingRules::optionProblem(which, value).isEmpty(), qPrintable(QString::number(value)));
    QCOMPARE(SettingRules::optionProblem(which, listed), SettingRules::allowedOptions(which));
    QCOMPARE(SettingRules::optionProblem(which, -1), SettingRules::allowedOptions(which));
    QVERIFY(SettingRules::allowedOptions(which).contains(QString::number(listed - 1)));
}

void TestOptionLists::everyUnitIsNamedByItself()
{
    // Codes a configuration file of another version may hold: before, they
    // were named "atm" whatever they were.
    QCOMPARE(PressureUnits::pressureLabel(PressureUnits::InchHg), QStringLiteral("inHg"));
    QCOMPARE(PressureUnits::pressureLabel(PressureUnits::TorrAlternative), QStringLiteral("Torr"));
    PressureUnits units;
    units.setConcentrationCode(2 + PressureUnits::InchHg);
    QCOMPARE(units.concentrationLabel(), QStringLiteral("inHg"));
    QCOMPARE(PathLengthUnit::label(PathLengthUnit::Foot), QStringLiteral("ft"));
    QCOMPARE(TemperatureUnit::label(TemperatureUnit::Celsius), QStringLiteral("°C"));
    QCOMPARE(XAxis::unitName(XAxis::WavelengthMicron), QStringLiteral("micron"));
    QCOMPARE(XAxis::title(XAxis::FrequencyHz), QStringLiteral("Frequency, Hz"));
    // Titles and the description write units as units are; messages, which
    // also go to peers, keep plain text.
    QCOMPARE(XAxis::title(XAxis::Wavenumber), QStringLiteral("Wavenumber, cm⁻¹"));
    QCOMPARE(XAxis::unitSymbol(XAxis::WavelengthMicron), QStringLiteral("µm"));
    QCOMPARE(XAxis::unitSymbol(XAxis::WavelengthNm), QStringLiteral("nm"));
    QCOMPARE(XAxis::unitName(XAxis::Wavenumber), QStringLiteral("cm-1"));
    QCOMPARE(YAxisSettings::title(YAxisSettings::CrossSection), QStringLiteral("Cross-section, cm²/molecule"));
    // Codes beyond the lists fall back to the base unit.
    QCOMPARE(PathLengthUnit::label(200), QStringLiteral("m"));
    QCOMPARE(XAxis::unitName(200), QStringLiteral("cm-1"));
}

void TestOptionLists::screensOfferTheChoicesBeforeTheFileOnlyOnes()
{
    // The screens list the offered choices, whose positions are their codes.
    QCOMPARE(OptionLists::labels(OptionLists::pressureUnits).size(), 5);
    QCOMPARE(OptionLists::labels(OptionLists::concentrationUnits).size(), 7);
    QCOMPARE(OptionLists::labels(OptionLists::instrumentFunctions).at(7), QStringLiteral("Cosine"));
    QCOMPARE(OptionLists::notes(OptionLists::instrumentFunctions).size(), 8);
    QCOMPARE(OptionLists::words(OptionLists::instrumentFunctions, 7), QStringLiteral("raised cosine"));
}

QTEST_GUILESS_MAIN(TestOptionLists)
#include "tst_optionlists.moc"
