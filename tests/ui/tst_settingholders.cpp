#include "app/kolvexcore.h"
#include "core/params.h"
#include "core/settingrules.h"
#include "offlinesettings.h"
#include "ui/numbertext.h"
#include "ui/pathlengthqml.h"
#include "ui/temperatureqml.h"
#include "ui/totalpressqml.h"
#include "ui/wavelengthqml.h"
#include "ui/yaxisqml.h"

#include <QMetaProperty>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

// Counts the change signals of an object's properties (those of QObject aside).
class ChangeLog
{
public:
    explicit ChangeLog(QObject *object)
    {
        const QMetaObject *meta = object->metaObject();
        for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
            const QByteArray signal = "2" + meta->property(i).notifySignal().methodSignature();
            m_spies.emplace_back(QString::fromLatin1(meta->property(i).name()),
                                 std::make_unique<QSignalSpy>(object, signal.constData()));
        }
    }
    // The property names, once per announcement, sorted.
    QStringList announced() const
    {
        QStringList names;
        for (const auto &spy : m_spies)
            for (int i = 0; i < spy.second->count(); ++i)
                names << spy.first;
        names.sort();
        return names;
    }

private:
    std::vector<std::pair<QString, std::unique_ptr<QSignalSpy>>> m_spies;
};

// The five setting holders over one core: unit conversions, printed texts, the
// editing rules and the refusal of values the calculation cannot use.
class TestSettingHolders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void unitFactors_data();
    void unitFactors();
    void printedTexts_data();
    void printedTexts();
    void entries_data();
    void entries();
    void announcements_data();
    void announcements();
    void sameTextKeepsUnroundedValue();
    void wavelengthEndsFollowTheUnit();
    void rangeEndsInEitherOrder_data();
    void rangeEndsInEitherOrder();
    void verticalAxisWritesTheShownPair();
    void decimalCommaLocale();

private:
    QObject *holder(const QString &name) const;
    QString storedValues();
    PathConditions &conditions() { return m_core->params()->pathConditions(); }

    QTemporaryDir m_dataFolder;
    std::unique_ptr<KolvexCore> m_core;
    std::unique_ptr<PathlengthQml> m_pathlength;
    std::unique_ptr<TotalPressQml> m_totalPress;
    std::unique_ptr<TemperatureQml> m_temperature;
    std::unique_ptr<WavelengthQml> m_wavelength;
    std::unique_ptr<YAxisQml> m_yAxis;
};

void TestSettingHolders::initTestCase()
{
    QVERIFY(m_dataFolder.isValid());
    m_core = std::make_unique<KolvexCore>(offlineSettings(m_dataFolder.path()));
    QTRY_VERIFY(m_core->tipsLoaded());
    m_pathlength = std::make_unique<PathlengthQml>(nullptr, m_core.get());
    m_totalPress = std::make_unique<TotalPressQml>(nullptr, m_core.get());
    m_temperature = std::make_unique<TemperatureQml>(nullptr, m_core.get());
    m_wavelength = std::make_unique<WavelengthQml>(nullptr, m_core.get());
    m_yAxis = std::make_unique<YAxisQml>(nullptr, m_core.get());
}

void TestSettingHolders::init()
{
    QLocale::setDefault(QLocale::c());
    conditions().pathLength = 1000.0;
    conditions().totalPressure = 1.0;
    conditions().temperature = 296.0;
    m_core->pathLengthUnit()->unit = PathLengthUnit::Metre;
    m_core->pressureUnits()->pressureUnit = PressureUnits::Atm;
    m_core->temperatureUnit()->unit = TemperatureUnit::Kelvin;
    *m_core->xAxis() = XAxis(XAxis::Wavenumber, 2000.0, 2300.0, 10000);
    *m_core->yAxis() = YAxisSettings();
    m_core->setOkDialogText(QString());
}

QObject *TestSettingHolders::holder(const QString &name) const
{
    if (name == QLatin1String("path"))
        return m_pathlength.get();
    if (name == QLatin1String("pressure"))
        return m_totalPress.get();
    if (name == QLatin1String("temperature"))
        return m_temperature.get();
    if (name == QLatin1String("wavelength"))
        return m_wavelength.get();
    return m_yAxis.get();
}

// Every base value and unit code the holders write, in full precision.
QString TestSettingHolders::storedValues()
{
    const XAxis *x = m_core->xAxis();
    const YAxisSettings *y = m_core->yAxis();
    QStringList values;
    for (double value : {conditions().pathLength, conditions().totalPressure, conditions().temperature,
                         x->minWavenumber(), x->maxWavenumber(), x->step(), y->absMin, y->absMax,
                         y->crossSectionMin, y->crossSectionMax, y->radianceMin, y->radianceMax})
        values << QString::number(value, 'g', 17);
    for (int code : {int(m_core->pathLengthUnit()->unit), int(m_core->pressureUnits()->pressureUnit),
                     int(m_core->temperatureUnit()->unit), int(x->units()), x->numPoints(), int(y->yUnits),
                     int(y->displayedValue)})
        values << QString::number(code);
    return values.join(QLatin1Char(' '));
}

// Each unit against a known physical value in both directions, then a round
// trip. The pressure factors are fixed constants a little off the exact ones
// (psi by 5e-5 relative), hence the tolerance of the physical check.
void TestSettingHolders::unitFactors_data()
{
    QTest::addColumn<char>("quantity");
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("display");
    QTest::addColumn<double>("base");

    QTest::newRow("km") << 'l' << 0 << 1.5 << 1500.0;
    QTest::newRow("m") << 'l' << 1 << 2.0 << 2.0;
    QTest::newRow("cm") << 'l' << 2 << 250.0 << 2.5;
    QTest::newRow("mile") << 'l' << 3 << 1.0 << 1609.344;
    QTest::newRow("foot") << 'l' << 4 << 1.0 << 0.3048;
    QTest::newRow("inch") << 'l' << 5 << 1.0 << 0.0254;
    QTest::newRow("K") << 't' << 0 << 296.0 << 296.0;
    QTest::newRow("C") << 't' << 1 << 22.85 << 296.0;
    QTest::newRow("F") << 't' << 2 << 73.13 << 296.0;
    QTest::newRow("atm") << 'p' << 0 << 2.0 << 2.0;
    QTest::newRow("mbar") << 'p' << 1 << 1013.25 << 1.0;
    QTest::newRow("Torr") << 'p' << 2 << 760.0 << 1.0;
    QTest::newRow("Pa") << 'p' << 3 << 101325.0 << 1.0;
    QTest::newRow("psi") << 'p' << 4 << 14.6959488 << 1.0;
    QTest::newRow("mmHg") << 'p' << 5 << 760.0 << 1.0;
    QTest::newRow("inHg") << 'p' << 6 << 29.9212583 << 1.0;
    QTest::newRow("nm") << 'x' << 0 << 5000.0 << 2000.0;
    QTest::newRow("micron") << 'x' << 1 << 2.5 << 4000.0;
    QTest::newRow("cm-1") << 'x' << 2 << 2150.0 << 2150.0;
    QTest::newRow("Hz") << 'x' << 3 << 5.99584916e13 << 2000.0;
}

void TestSettingHolders::unitFactors()
{
    QFETCH(char, quantity);
    QFETCH(int, code);
    QFETCH(double, display);
    QFETCH(double, base);

    const quint8 unit = quint8(code);
    auto to = [&](double value) {
        return quantity == 'l' ? PathLengthUnit::toMetres(value, unit)
             : quantity == 't' ? TemperatureUnit::toKelvin(value, unit)
             : quantity == 'p' ? PressureUnits::toAtm(value, unit)
                               : XAxis::toWavenumber(value, unit);
    };
    auto from = [&](double value) {
        return quantity == 'l' ? PathLengthUnit::fromMetres(value, unit)
             : quantity == 't' ? TemperatureUnit::fromKelvin(value, unit)
             : quantity == 'p' ? PressureUnits::fromAtm(value, unit)
                               : XAxis::fromWavenumber(value, unit);
    };
    QVERIFY2(std::fabs(to(display) - base) <= 1e-4 * base, qPrintable(QString::number(to(display), 'g', 12)));
    QVERIFY2(std::fabs(from(base) - display) <= 1e-4 * display, qPrintable(QString::number(from(base), 'g', 12)));
    QVERIFY(std::fabs(to(from(base)) - base) <= 1e-7 * base);
}

// The stored base values (1000 m, 1 atm, 296 K, 2000-2300 cm-1 in 10000 points)
// as each holder prints them in a chosen unit.
void TestSettingHolders::printedTexts_data()
{
    QTest::addColumn<QString>("holderName");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<int>("units");
    QTest::addColumn<QString>("text");

    QTest::newRow("296 K in F") << "temperature" << QByteArray("temperature") << 2 << "73.13";
    QTest::newRow("1 atm in mbar") << "pressure" << QByteArray("totalPressure") << 1 << "1013.25";
    QTest::newRow("1000 m in miles") << "path" << QByteArray("pathlength") << 3 << "0.621371";
    QTest::newRow("start in nm") << "wavelength" << QByteArray("startWavelength") << 0 << "4347.83";
    QTest::newRow("end in nm") << "wavelength" << QByteArray("endWavelength") << 0 << "5000";
    QTest::newRow("step of 10000 points") << "wavelength" << QByteArray("resolWavelength") << 2 << "0.030003";
    QTest::newRow("cross-section maximum") << "yaxis" << QByteArray("maximum") << 0 << "1e-22";
}

void TestSettingHolders::printedTexts()
{
    QFETCH(QString, holderName);
    QFETCH(QByteArray, property);
    QFETCH(int, units);
    QFETCH(QString, text);

    QObject *object = holder(holderName);
    QVERIFY(object->setProperty("units", units));
    QCOMPARE(object->property(property.constData()).toString(), text);
}

// An entry a screen cannot store: the reason comes back for the field (no
// dialog opens), nothing is announced and every stored value stays. A write of
// the value property while a number is still being typed is ignored alike.
void TestSettingHolders::entries_data()
{
    QTest::addColumn<QString>("holderName");
    QTest::addColumn<QByteArray>("operation");   // an enter...() operation, or a property to write
    QTest::addColumn<int>("units");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");         // a part of the reason; none for a property write

    for (const char *incomplete : {"", " ", "2.", "2,", "2e", "2E", "-", "+", "2e-"}) {
        QTest::addRow("path \"%s\"", incomplete) << "path" << QByteArray("pathlength") << 0 << incomplete << "";
        QTest::addRow("end \"%s\"", incomplete) << "wavelength" << QByteArray("endWavelength") << 0 << incomplete << "";
    }
    QTest::newRow("nothing") << "path" << QByteArray("enter") << 1 << "" << "Enter a number.";
    QTest::newRow("garbage") << "path" << QByteArray("enter") << 1 << "abc" << "\"abc\" is not a number.";
    QTest::newRow("beyond a double") << "path" << QByteArray("enter") << 1 << "1e309" << "1e309 is too large a number.";
    QTest::newRow("overflows in metres") << "path" << QByteArray("enter") << 3 << "1e307" << "must be a positive number";
    QTest::newRow("pressure infinite") << "pressure" << QByteArray("enter") << 0 << "inf" << "is not a number";
    QTest::newRow("below 0 K in C") << "temperature" << QByteArray("enter") << 1 << "-300" << "above 0 K";
    QTest::newRow("wavelength zero") << "wavelength" << QByteArray("enterStart") << 0 << "0"
                                     << "A wavelength must be a positive number.";
    QTest::newRow("negative wavelength") << "wavelength" << QByteArray("enterEnd") << 1 << "-2"
                                         << "A wavelength must be a positive number.";
    QTest::newRow("100 nm") << "wavelength" << QByteArray("enterStart") << 0 << "100"
                            << "Wavelengths from 200 nm up can be calculated.";
    QTest::newRow("negative frequency") << "wavelength" << QByteArray("enterStart") << 3 << "-1e13"
                                        << "Frequencies from 0 to 1.49896e+15 Hz can be calculated.";
    QTest::newRow("points not whole") << "wavelength" << QByteArray("enterNumPoints") << 2 << "1000.5"
                                      << "1000.5 is not a whole number.";
    QTest::newRow("y minimum above maximum") << "yaxis" << QByteArray("enterMinimum") << 2 << "200"
                                             << "The minimum of the scale, 200, must be below its maximum, 100.";
    QTest::newRow("y maximum NaN") << "yaxis" << QByteArray("enterMaximum") << 0 << "nan" << "is not a number";
}

void TestSettingHolders::entries()
{
    QFETCH(QString, holderName);
    QFETCH(QByteArray, operation);
    QFETCH(int, units);
    QFETCH(QString, text);
    QFETCH(QString, reason);

    QObject *object = holder(holderName);
    QVERIFY(object->setProperty("units", units));
    const QString stored = storedValues();
    ChangeLog log(object);
    if (reason.isEmpty()) {
        QVERIFY(object->setProperty(operation.constData(), text));
    } else {
        QString problem;
        QVERIFY(QMetaObject::invokeMethod(object, operation.constData(), Q_RETURN_ARG(QString, problem),
                                          Q_ARG(QString, text)));
        QVERIFY2(problem.contains(reason), qPrintable(problem));
    }
    QCOMPARE(log.announced(), QStringList());
    QCOMPARE(m_core->okDialogText(), QString());
    QCOMPARE(storedValues(), stored);
}

// Which properties a change announces: a new unit the unit and every text
// printed in it (the same unit again nothing), an accepted value its property
// and what depends on it, valuesUpdated() what the screens re-read.
void TestSettingHolders::announcements_data()
{
    QTest::addColumn<QString>("holderName");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("announced");

    const QStringList none;
    QTest::newRow("path unit") << "path" << QByteArray("units") << "0" << QStringList{"pathlength", "units"};
    QTest::newRow("same path unit") << "path" << QByteArray("units") << "1" << none;
    QTest::newRow("pressure unit") << "pressure" << QByteArray("units") << "4" << QStringList{"totalPressure", "units"};
    QTest::newRow("temperature unit") << "temperature" << QByteArray("units") << "2"
                                      << QStringList{"temperature", "units"};
    QTest::newRow("spectral unit") << "wavelength" << QByteArray("units") << "0"
                                   << QStringList{"endWavelength", "resolWavelength", "startWavelength", "units"};
    QTest::newRow("start") << "wavelength" << QByteArray("startWavelength") << "2100"
                           << QStringList{"resolWavelength", "startWavelength"};
    QTest::newRow("points") << "wavelength" << QByteArray("numPoints") << "301"
                            << QStringList{"numPoints", "resolWavelength"};
    QTest::newRow("same points") << "wavelength" << QByteArray("numPoints") << "10000" << none;
    QTest::newRow("y unit") << "yaxis" << QByteArray("units") << "0" << QStringList{"autoRecalc", "maximum", "minimum", "units"};
    QTest::newRow("y quantity") << "yaxis" << QByteArray("displayedValue") << "1"
                                << QStringList{"autoRecalc", "displayedValue", "maximum", "minimum"};
    QTest::newRow("rulers off") << "yaxis" << QByteArray("enableRulers") << "false" << QStringList{"enableRulers"};
    QTest::newRow("cross-section auto") << "yaxis" << QByteArray("crossSectionAutoRecalc") << "false"
                                        << QStringList{"autoRecalc", "crossSectionAutoRecalc"};
    QTest::newRow("path updated") << "path" << QByteArray() << "" << QStringList{"pathlength", "units"};
    QTest::newRow("wavelength updated")
        << "wavelength" << QByteArray() << ""
        << QStringList{"endWavelength", "numPoints", "resolWavelength", "startWavelength", "units"};
    QTest::newRow("y axis updated") << "yaxis" << QByteArray() << ""
                                    << QStringList{"autoRecalc", "displayedValue", "maximum", "minimum", "units"};
}

void TestSettingHolders::announcements()
{
    QFETCH(QString, holderName);
    QFETCH(QByteArray, property);
    QFETCH(QString, value);
    QFETCH(QStringList, announced);

    QObject *object = holder(holderName);
    ChangeLog log(object);
    if (property.isEmpty()) {
        emit m_core->valuesUpdated();
    } else {
        QVERIFY(object->setProperty(property.constData(), value));
        const QVariant shown = object->property(property.constData());
        QCOMPARE(shown.userType() == QMetaType::UChar ? QString::number(shown.toInt()) : shown.toString(), value);
    }
    QCOMPARE(log.announced(), announced);
    QCOMPARE(m_core->okDialogText(), QString());
}

// Writing back the text a field shows must not replace the stored value by its
// six-digit rounding; another text is applied.
void TestSettingHolders::sameTextKeepsUnroundedValue()
{
    conditions().pathLength = 1.23456789;
    m_core->xAxis()->setMinWavenumber(2000.123456789);
    m_pathlength->setPathlength(QStringLiteral("1.23457"));
    m_wavelength->setStartWavelength(QStringLiteral("2000.12"));
    QCOMPARE(conditions().pathLength, 1.23456789);
    QCOMPARE(m_core->xAxis()->minWavenumber(), 2000.123456789);

    m_pathlength->setUnits(PathLengthUnit::Kilometre);
    m_pathlength->setPathlength(QStringLiteral("1.5e"));
    QCOMPARE(conditions().pathLength, 1.23456789);
    m_pathlength->setPathlength(QStringLiteral("1.5e3"));
    QCOMPARE(conditions().pathLength, 1500000.0);
    QCOMPARE(m_pathlength->pathlength(), QStringLiteral("1500"));
    m_totalPress->setTotalPressure(QStringLiteral("0.5"));
    QCOMPARE(conditions().totalPressure, 0.5);
    m_temperature->setTemperature(QStringLiteral("250"));
    QCOMPARE(conditions().temperature, 250.0);
    QCOMPARE(m_core->okDialogText(), QString());
}

// For wavelengths the start is the smaller number, so it sets the grid's
// highest wavenumber; a new end keeps the step in line with the points.
void TestSettingHolders::wavelengthEndsFollowTheUnit()
{
    m_wavelength->setUnits(XAxis::WavelengthNm);
    m_wavelength->setStartWavelength(QStringLiteral("4000"));
    QCOMPARE(m_core->xAxis()->maxWavenumber(), 2500.0);
    QCOMPARE(m_core->xAxis()->minWavenumber(), 2000.0);
    QCOMPARE(m_core->xAxis()->step(), 500.0 / 9999.0);
    m_wavelength->setUnits(XAxis::Wavenumber);
    m_wavelength->setEndWavelength(QStringLiteral("2300"));
    m_wavelength->setNumPoints(301);
    QCOMPARE(m_wavelength->resolWavelength(), QStringLiteral("1"));
    QCOMPARE(m_core->okDialogText(), QString());
}

void TestSettingHolders::rangeEndsInEitherOrder_data()
{
    QTest::addColumn<int>("units");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<QString>("refusal");
    // From 2000-2300 cm-1 (4.34783-5 micron), a start above the old end first.
    QTest::newRow("cm-1") << int(XAxis::Wavenumber) << "2380" << "2400" << 2380.0 << 2400.0
                          << "The spectral range from 2380 to 2300 cm-1 cannot be calculated";
    QTest::newRow("micron") << int(XAxis::WavelengthMicron) << "5.2" << "5.5" << 10000.0 / 5.5 << 10000.0 / 5.2
                            << "The spectral range from 5.2 to 5 micron cannot be calculated";
}

// A start typed above the old end is kept as typed, whatever the unit; the
// calculation explains the range (in the unit it was typed in) until the end
// follows, and then the range is the one typed.
void TestSettingHolders::rangeEndsInEitherOrder()
{
    QFETCH(int, units);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(QString, refusal);
    m_wavelength->setUnits(quint8(units));
    m_wavelength->setStartWavelength(start);
    QCOMPARE(m_wavelength->startWavelength(), start);
    QCOMPARE(m_core->okDialogText(), QString());

    m_core->calculate();
    QVERIFY2(m_core->okDialogText().startsWith(refusal), qPrintable(m_core->okDialogText()));
    QVERIFY(!m_core->calculationIsRunning());

    m_core->setOkDialogText(QString());
    m_wavelength->setEndWavelength(end);
    QCOMPARE(m_core->okDialogText(), QString());
    QCOMPARE(m_wavelength->startWavelength(), start);
    QCOMPARE(m_wavelength->endWavelength(), end);
    QCOMPARE(m_core->xAxis()->minWavenumber(), minimum);
    QCOMPARE(m_core->xAxis()->maxWavenumber(), maximum);
    QCOMPARE(m_core->xAxis()->validationProblem(), QString());
}

void TestSettingHolders::verticalAxisWritesTheShownPair()
{
    m_yAxis->setMaximum(QStringLiteral("80"));
    m_yAxis->setUnits(YAxisSettings::CrossSection);
    m_yAxis->setMaximum(QStringLiteral("5e-21"));
    m_yAxis->setDisplayedValue(YAxisSettings::Radiance);
    QCOMPARE(m_yAxis->maximum(), QStringLiteral("1e-06"));
    m_yAxis->setMaximum(QStringLiteral("2e-6"));
    QCOMPARE(m_core->yAxis()->absMax, 80.0);
    QCOMPARE(m_core->yAxis()->crossSectionMax, 5e-21);
    QCOMPARE(m_core->yAxis()->radianceMax, 2e-6);
    QCOMPARE(m_core->okDialogText(), QString());

    // What the absorption quantities show for an optical depth of 1.
    YAxisSettings settings;
    QCOMPARE(NumberText::print(settings.fromOpticalDepth(1.0)), QStringLiteral("63.2121"));
    settings.yUnits = YAxisSettings::Transmission;
    QCOMPARE(NumberText::print(settings.fromOpticalDepth(1.0)), QStringLiteral("36.7879"));
}

// In a locale with a decimal comma the texts use it, without group separators,
// and a point is not taken for a group separator: such a text is refused.
void TestSettingHolders::decimalCommaLocale()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    m_pathlength->setPathlength(QStringLiteral("12345,5"));
    QCOMPARE(m_pathlength->pathlength(), QStringLiteral("12345,5"));
    QVERIFY(!m_pathlength->enter(QStringLiteral("1.500")).isEmpty());
    QCOMPARE(conditions().pathLength, 12345.5);
}

QTEST_GUILESS_MAIN(TestSettingHolders)
#include "tst_settingholders.moc"
