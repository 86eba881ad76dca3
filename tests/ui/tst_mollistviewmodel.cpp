#include "app/kolvexcore.h"
#include "data/params.h"
#include "data/pressureunits.h"
#include "ui/mollistviewmodel.h"
#include "ui/mollistviewreducedmodel.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The molecule list: rows, units and conversions, selection, colours.
class TestMolListViewModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void rowsFollowTheMoleculeTable();
    void displayedConcentration_data();
    void displayedConcentration();
    void enteredConcentration_data();
    void enteredConcentration();
    void unusableEntriesChangeNothing_data();
    void unusableEntriesChangeNothing();
    void unitsWriteThePressureRecord();
    void selectAllWithoutAllSelectedSignal();
    void checkedAndColourReachTheParameterStore();
    void externalChangesReachTheRows();
    void smallerAndChangingMoleculeTables();
    void reducedListShowsSelectedMolecules();

private:
    QString pressValue(int row) const
    {
        return m_model->data(m_model->index(row), MolListViewModel::PressValueRole).toString();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<KolvexCore> m_core;
    std::unique_ptr<MolListViewModel> m_model;
};

void TestMolListViewModel::initTestCase()
{
    QLocale::setDefault(QLocale::c());
    QVERIFY(m_dir.isValid());
    KolvexCore::Settings settings;
    settings.dataFolder = m_dir.path();
    m_core = std::make_unique<KolvexCore>(settings);
}

void TestMolListViewModel::init()
{
    Params *params = m_core->params();
    params->pathConditions().totalPressure = 1.0;
    params->pathConditions().concentrations.assign(std::size_t(params->moleculeCount()), 0.0);
    params->pathConditions().concentrations[0] = 10000.0;
    params->pathConditions().concentrations[1] = 400.0;
    for (Molecule &molecule : params->molecules())
        molecule.selected = true;
    *m_core->pressureUnits() = PressureUnits();
    m_model = std::make_unique<MolListViewModel>(nullptr, m_core.get());
}

void TestMolListViewModel::rowsFollowTheMoleculeTable()
{
    QCOMPARE(m_model->rowCount(), Params::maxMoleculeCount);
    const QHash<int, QByteArray> roles = m_model->roleNames();
    QCOMPARE(roles.value(257), QByteArray("index"));
    QCOMPARE(roles.value(258), QByteArray("checked"));
    QCOMPARE(roles.value(259), QByteArray("molName"));
    QCOMPARE(roles.value(260), QByteArray("pressValue"));
    QCOMPARE(roles.value(261), QByteArray("color"));

    const auto value = [this](int row, int role) { return m_model->data(m_model->index(row), role); };
    QCOMPARE(value(0, 257).toString(), QStringLiteral("  1"));
    QCOMPARE(value(8, 257).toString(), QStringLiteral("  9"));
    QCOMPARE(value(9, 257).toString(), QStringLiteral("10"));
    QCOMPARE(value(48, 257).toString(), QStringLiteral("49"));
    QCOMPARE(value(0, 259).toString(), QStringLiteral("H2O"));
    QCOMPARE(value(35, 259).toString(), QStringLiteral("NO+"));
    QCOMPARE(value(0, 261).toString(), QStringLiteral("#3399ff"));
    QCOMPARE(value(0, 258).toBool(), true);
    QCOMPARE(value(0, 260).toString(), QStringLiteral("1"));    // 10000 ppmv as percent
    QCOMPARE(value(1, 260).toString(), QStringLiteral("0.04"));
    QVERIFY(!value(49, 259).isValid());
    QVERIFY(!value(0, Qt::DisplayRole).isValid());
}

void TestMolListViewModel::displayedConcentration_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("totalPressure");
    QTest::addColumn<double>("ppmv");
    QTest::addColumn<QString>("text");

    QTest::newRow("percent") << 0 << 1.0 << 400.0 << "0.04";
    QTest::newRow("ppmv") << 1 << 1.0 << 400.0 << "400";
    QTest::newRow("ppmv five digits") << 1 << 1.0 << 123456.0 << "1.2346e+05";
    QTest::newRow("atm") << 2 << 1.0 << 1e6 << "1";
    QTest::newRow("mbar") << 3 << 1.0 << 1e6 << "1013.3";
    QTest::newRow("Torr") << 4 << 1.0 << 1e6 << "760";
    QTest::newRow("Pa") << 5 << 1.0 << 1e6 << "1.0133e+05";
    QTest::newRow("psi") << 6 << 1.0 << 1e6 << "14.695";
    QTest::newRow("code 7") << 7 << 1.0 << 1e6 << "760";
    QTest::newRow("code 8") << 8 << 1.0 << 1e6 << "29.921";
    QTest::newRow("mbar at half an atmosphere") << 3 << 0.5 << 400.0 << "0.20265";
}

void TestMolListViewModel::displayedConcentration()
{
    QFETCH(int, code);
    QFETCH(double, totalPressure);
    QFETCH(double, ppmv);
    QFETCH(QString, text);

    m_core->params()->pathConditions().totalPressure = totalPressure;
    m_core->params()->pathConditions().concentrations[1] = ppmv;
    m_model->setUnits(code);
    m_model->updatePartPress();
    QCOMPARE(pressValue(1), text);
    QCOMPARE(m_model->displayText(ppmv), text);
}

void TestMolListViewModel::enteredConcentration_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("totalPressure");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("ppmv");

    QTest::newRow("percent") << 0 << 1.0 << "0.04" << 400.0;
    QTest::newRow("ppmv") << 1 << 1.0 << "400" << 400.0;
    QTest::newRow("atm") << 2 << 0.5 << "0.25" << 500000.0;
    QTest::newRow("mbar") << 3 << 1.0 << "1013.25" << 1013.25 * 0.00098692 * 1e6;
    QTest::newRow("Torr") << 4 << 1.0 << "7.6" << 7.6 * 0.001315788094764 * 1e6;
    QTest::newRow("Pa") << 5 << 2.0 << "101325" << 101325 * 9.8692e-6 * 1e6 / 2.0;
    QTest::newRow("psi") << 6 << 1.0 << "1" << 0.06804936863692 * 1e6;
    QTest::newRow("code 7") << 7 << 1.0 << "1" << 0.001315785305835 * 1e6;
    QTest::newRow("code 8") << 8 << 1.0 << "1" << 0.033420946768217 * 1e6;
    QTest::newRow("unparsable reads as zero") << 1 << 1.0 << "abc" << 0.0;
}

void TestMolListViewModel::enteredConcentration()
{
    QFETCH(int, code);
    QFETCH(double, totalPressure);
    QFETCH(QString, text);
    QFETCH(double, ppmv);

    m_core->params()->pathConditions().totalPressure = totalPressure;
    m_model->setUnits(code);
    QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);
    QVERIFY(m_model->setData(m_model->index(1), text, MolListViewModel::PressValueRole));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m_core->params()->pathConditions().concentrations[1], ppmv);
    QCOMPARE(pressValue(1), text);
}

void TestMolListViewModel::unusableEntriesChangeNothing_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("totalPressure");
    QTest::addColumn<QString>("text");

    QTest::newRow("still typing a point") << 1 << 1.0 << "1.";
    QTest::newRow("still typing an exponent") << 1 << 1.0 << "1e";
    QTest::newRow("still typing a sign") << 1 << 1.0 << "1e-";
    QTest::newRow("empty") << 1 << 1.0 << "";
    QTest::newRow("negative") << 1 << 1.0 << "-5";
    QTest::newRow("infinite") << 1 << 1.0 << "1e999";
    QTest::newRow("partial pressure without total pressure") << 3 << 0.0 << "5";
}

void TestMolListViewModel::unusableEntriesChangeNothing()
{
    QFETCH(int, code);
    QFETCH(double, totalPressure);
    QFETCH(QString, text);

    m_core->params()->pathConditions().totalPressure = totalPressure;
    m_model->setUnits(code);
    const QString before = pressValue(1);
    QVERIFY(!m_model->setData(m_model->index(1), text, MolListViewModel::PressValueRole));
    QCOMPARE(m_core->params()->pathConditions().concentrations[1], 400.0);
    QCOMPARE(pressValue(1), before);
}

void TestMolListViewModel::unitsWriteThePressureRecord()
{
    PressureUnits *record = m_core->pressureUnits();
    QSignalSpy unitsChanged(m_model.get(), &MolListViewModel::unitsChanged);
    QSignalSpy rowsChanged(m_model.get(), &QAbstractItemModel::dataChanged);

    m_model->setUnits(5);
    QCOMPARE(record->concentrationMode, quint8(PressureUnits::PartialPressure));
    QCOMPARE(record->pressureUnit, quint8(PressureUnits::Pa));
    QCOMPARE(m_model->units(), 5);
    QCOMPARE(unitsChanged.count(), 1);
    QCOMPARE(rowsChanged.count(), 1);
    QCOMPARE(rowsChanged.at(0).at(1).toModelIndex().row(), Params::maxMoleculeCount - 1);
    QCOMPARE(pressValue(1), QStringLiteral("40.53"));

    m_model->setUnits(5);
    m_model->setUnits(9);   // no such unit
    QCOMPARE(unitsChanged.count(), 1);
    QCOMPARE(m_model->units(), 5);

    // Percent keeps the pressure unit of the record.
    m_model->setUnits(0);
    QCOMPARE(record->concentrationMode, quint8(PressureUnits::Percent));
    QCOMPARE(record->pressureUnit, quint8(PressureUnits::Pa));
    QCOMPARE(pressValue(1), QStringLiteral("0.04"));
}

void TestMolListViewModel::selectAllWithoutAllSelectedSignal()
{
    QSignalSpy allSelectedChanged(m_model.get(), &MolListViewModel::allSelectedChanged);
    QSignalSpy rowsChanged(m_model.get(), &QAbstractItemModel::dataChanged);

    m_model->selectAll(false);
    QCOMPARE(m_model->allSelected(), false);
    for (int i = 0; i < m_model->rowCount(); ++i) {
        QCOMPARE(m_model->data(m_model->index(i), MolListViewModel::CheckedRole).toBool(), false);
        QCOMPARE(m_core->params()->molecule(i).selected, false);
    }
    QCOMPARE(rowsChanged.count(), 1);

    m_model->selectAll(true);
    for (int i = 0; i < m_model->rowCount(); ++i)
        QVERIFY(m_core->params()->molecule(i).selected);
    QCOMPARE(allSelectedChanged.count(), 0);

    m_model->setAllSelected(false);
    QCOMPARE(allSelectedChanged.count(), 1);
}

void TestMolListViewModel::checkedAndColourReachTheParameterStore()
{
    Params *params = m_core->params();
    QVERIFY(m_model->setData(m_model->index(4), false, MolListViewModel::CheckedRole));
    QCOMPARE(params->molecule(4).selected, false);

    // A colour picked for a row reaches the store only through updateActiveColor.
    QVERIFY(m_model->setData(m_model->index(2), QStringLiteral("#010203"), MolListViewModel::ColorRole));
    QCOMPARE(params->molecule(2).color, QStringLiteral("#ff9d09"));

    m_model->setActiveIndex(2);
    m_model->setSelectedColor(QStringLiteral("#FF0000"));
    m_model->updateActiveColor();
    QCOMPARE(params->molecule(1).color, QStringLiteral("#ff0000"));
    QCOMPARE(m_model->data(m_model->index(1), MolListViewModel::ColorRole).toString(), QStringLiteral("#ff0000"));

    // Neither a row beyond the table nor a text that is no colour is applied.
    m_model->setActiveIndex(50);
    m_model->updateActiveColor();
    m_model->setActiveIndex(0);
    m_model->updateActiveColor();
    m_model->setActiveIndex(1);
    m_model->setSelectedColor(QStringLiteral("not a colour"));
    m_model->updateActiveColor();
    QCOMPARE(params->molecule(0).color, QStringLiteral("#3399ff"));
    params->resetMoleculeColorsAndIds();

    QSignalSpy calcChanged(m_model.get(), &MolListViewModel::calcNotSelectedMolsChanged);
    m_model->setCalcNotSelectedMols(false);
    m_model->setCalcNotSelectedMols(false);
    QCOMPARE(params->calcNotSelected(), false);
    QCOMPARE(calcChanged.count(), 1);
    params->setCalcNotSelected(true);
}

void TestMolListViewModel::externalChangesReachTheRows()
{
    Params *params = m_core->params();
    QSignalSpy spectra(m_core.get(), &KolvexCore::updateSpectra);
    QSignalSpy unitsChanged(m_model.get(), &MolListViewModel::unitsChanged);
    params->pathConditions().concentrations[1] = 800.0;
    params->pathConditions().concentrations[0] = 20000.0;
    params->molecule(7).selected = false;
    m_core->pressureUnits()->setConcentrationCode(1);
    emit m_core->valuesUpdated();

    QCOMPARE(pressValue(1), QStringLiteral("800"));
    QCOMPARE(m_model->data(m_model->index(7), MolListViewModel::CheckedRole).toBool(), false);
    QCOMPARE(unitsChanged.count(), 1);
    QCOMPARE(spectra.count(), 1);
    QCOMPARE(spectra.at(0).at(0).toBool(), false);
    QCOMPARE(spectra.at(0).at(1).toBool(), true);

    // The humidity sensor writes H2O; only that row is re-printed.
    params->pathConditions().concentrations[0] = 12345.0;
    QSignalSpy rowsChanged(m_model.get(), &QAbstractItemModel::dataChanged);
    m_model->updateH2OValue();
    QCOMPARE(pressValue(0), QStringLiteral("12345"));
    QCOMPARE(rowsChanged.count(), 1);
    QCOMPARE(rowsChanged.at(0).at(0).toModelIndex().row(), 0);
    QCOMPARE(rowsChanged.at(0).at(1).toModelIndex().row(), 0);
}

// A table of fewer molecules, or one that changes after start-up, never makes
// the list read or write past the end of the table.
void TestMolListViewModel::smallerAndChangingMoleculeTables()
{
    Params *params = m_core->params();
    const std::vector<Molecule> fullTable = params->molecules();
    params->molecules().resize(10);
    params->pathConditions().concentrations.resize(4);
    MolListViewModel small(nullptr, m_core.get());
    QCOMPARE(small.rowCount(), 10);
    QCOMPARE(small.data(small.index(9), MolListViewModel::PressValueRole).toString(), QStringLiteral("0"));
    QVERIFY(small.setData(small.index(9), QStringLiteral("2"), MolListViewModel::PressValueRole));
    QCOMPARE(params->pathConditions().concentrations.size(), std::size_t(10));
    QCOMPARE(params->pathConditions().concentrations[9], 20000.0);
    small.selectAll(false);

    params->molecules().resize(3);
    emit m_core->valuesUpdated();
    QCOMPARE(small.rowCount(), 3);
    QCOMPARE(m_model->rowCount(), 3);
    m_model->setActiveIndex(10);
    m_model->updateActiveColor();
    QVERIFY(!m_model->setData(m_model->index(5), QStringLiteral("1"), MolListViewModel::PressValueRole));

    params->molecules() = fullTable;
    params->pathConditions().concentrations.resize(fullTable.size(), 0.0);
    emit m_core->valuesUpdated();
    QCOMPARE(small.rowCount(), Params::maxMoleculeCount);
}

void TestMolListViewModel::reducedListShowsSelectedMolecules()
{
    Params *params = m_core->params();
    MolListViewReducedModel reduced(nullptr, m_core.get());
    QCOMPARE(reduced.rowCount(), Params::maxMoleculeCount);
    QCOMPARE(reduced.roleNames().value(257), QByteArray("molName"));
    QCOMPARE(reduced.roleNames().value(258), QByteArray("color"));

    m_model->selectAll(false);
    m_model->setData(m_model->index(1), true, MolListViewModel::CheckedRole);
    m_model->setData(m_model->index(5), true, MolListViewModel::CheckedRole);
    QSignalSpy removed(&reduced, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&reduced, &QAbstractItemModel::rowsInserted);
    reduced.updateDisplayed();
    QCOMPARE(removed.count(), 1);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(reduced.rowCount(), 2);
    QCOMPARE(reduced.data(reduced.index(0), 257).toString(), QStringLiteral("CO2"));
    QCOMPARE(reduced.data(reduced.index(1), 257).toString(), QStringLiteral("CH4"));
    QCOMPARE(reduced.data(reduced.index(1), 258).toString(), params->molecule(5).color);
    QVERIFY(!reduced.data(reduced.index(2), 257).isValid());

    m_model->selectAll(false);
    reduced.updateDisplayed();
    QCOMPARE(reduced.rowCount(), 0);
}

QTEST_GUILESS_MAIN(TestMolListViewModel)
#include "tst_mollistviewmodel.moc"
