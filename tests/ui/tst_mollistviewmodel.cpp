#include "app/kolvexcore.h"
#include "core/params.h"
#include "core/pressureunits.h"
#include "offlinesettings.h"
#include "ui/mollistviewmodel.h"
#include "ui/mollistviewreducedmodel.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestMolListViewModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void rowsFollowTheMoleculeTable();
    void concentrationInEveryUnit_data();
    void concentrationInEveryUnit();
    void unusableEntriesChangeNothing_data();
    void unusableEntriesChangeNothing();
    void selectionAndColours();
    void externalChangesReachTheRows();
    void smallerAndChangingMoleculeTables();

private:
    QString text(int row, int role = MolListViewModel::PressValueRole) const
    {
        return m_model->data(m_model->index(row), role).toString();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<KolvexCore> m_core;
    std::unique_ptr<MolListViewModel> m_model;
};

void TestMolListViewModel::initTestCase()
{
    QLocale::setDefault(QLocale::c());
    m_core = std::make_unique<KolvexCore>(offlineSettings(m_dir.path()));
}

void TestMolListViewModel::init()
{
    Params *params = m_core->params();
    params->pathConditions().totalPressure = 1.0;
    params->pathConditions().concentrations.assign(std::size_t(params->moleculeCount()), 0.0);
    params->pathConditions().concentrations[1] = 400.0;
    *m_core->pressureUnits() = PressureUnits();
    m_model = std::make_unique<MolListViewModel>(nullptr, m_core.get());
}

void TestMolListViewModel::rowsFollowTheMoleculeTable()
{
    QCOMPARE(m_model->rowCount(), Params::maxMoleculeCount);
    QCOMPARE(text(0, 257), QStringLiteral("  1"));
    QCOMPARE(text(9, 257), QStringLiteral("10"));
    QCOMPARE(text(35, 259), QStringLiteral("NO+"));
    QCOMPARE(text(0, 261), QStringLiteral("#3399ff"));
    QCOMPARE(text(1), QStringLiteral("0.04"));
    QVERIFY(m_model->data(m_model->index(0), 258).toBool());
    QVERIFY(!m_model->data(m_model->index(49), 259).isValid());
}

void TestMolListViewModel::concentrationInEveryUnit_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("totalPressure");
    QTest::addColumn<double>("ppmv");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("entered");
    QTest::addColumn<double>("enteredPpmv");

    QTest::newRow("percent") << 0 << 1.0 << 400.0 << "0.04" << "0.04" << 400.0;
    QTest::newRow("ppmv") << 1 << 1.0 << 123456.0 << "1.2346e+05" << "400" << 400.0;
    QTest::newRow("atm") << 2 << 0.5 << 1e6 << "0.5" << "0.25" << 500000.0;
    QTest::newRow("mbar") << 3 << 1.0 << 1e6 << "1013.3" << "1013.25" << 1013.25 * 0.00098692 * 1e6;
    QTest::newRow("Torr") << 4 << 1.0 << 1e6 << "760" << "7.6" << 7.6 * 0.001315788094764 * 1e6;
    QTest::newRow("Pa") << 5 << 2.0 << 1e6 << "2.0265e+05" << "101325" << 101325 * 9.8692e-6 * 1e6 / 2.0;
    QTest::newRow("psi") << 6 << 1.0 << 1e6 << "14.695" << "1" << 0.06804936863692 * 1e6;
    QTest::newRow("code 7") << 7 << 1.0 << 1e6 << "760" << "1" << 0.001315785305835 * 1e6;
    QTest::newRow("code 8") << 8 << 1.0 << 1e6 << "29.921" << "1" << 0.033420946768217 * 1e6;
}

void TestMolListViewModel::concentrationInEveryUnit()
{
    QFETCH(int, code);
    QFETCH(double, totalPressure);
    QFETCH(double, ppmv);
    QFETCH(QString, shown);
    QFETCH(QString, entered);
    QFETCH(double, enteredPpmv);

    m_core->params()->pathConditions().totalPressure = totalPressure;
    m_core->params()->pathConditions().concentrations[1] = ppmv;
    QSignalSpy unitsChanged(m_model.get(), &MolListViewModel::unitsChanged);
    m_model->setUnits(code);
    m_model->setUnits(code);
    m_model->setUnits(9);   // no such code
    QCOMPARE(unitsChanged.count(), code == 0 ? 0 : 1);
    QCOMPARE(m_core->pressureUnits()->concentrationCode(), quint8(code));
    m_model->updatePartPress();
    QCOMPARE(text(1), shown);

    QVERIFY(m_model->setData(m_model->index(1), entered, MolListViewModel::PressValueRole));
    QCOMPARE(m_core->params()->pathConditions().concentrations[1], enteredPpmv);
    QCOMPARE(text(1), entered);
}

void TestMolListViewModel::unusableEntriesChangeNothing_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("totalPressure");
    QTest::addColumn<QString>("entered");
    QTest::addColumn<bool>("told");

    QTest::newRow("still typing a point") << 1 << 1.0 << "1." << false;
    QTest::newRow("still typing an exponent") << 1 << 1.0 << "1e" << false;
    QTest::newRow("still typing a sign") << 1 << 1.0 << "1e-" << false;
    QTest::newRow("empty") << 1 << 1.0 << "" << false;
    QTest::newRow("not a number") << 1 << 1.0 << "abc" << true;
    QTest::newRow("negative") << 1 << 1.0 << "-5" << true;
    QTest::newRow("infinite") << 1 << 1.0 << "1e999" << true;
    QTest::newRow("partial pressure without total pressure") << 3 << 0.0 << "5" << true;
}

void TestMolListViewModel::unusableEntriesChangeNothing()
{
    QFETCH(int, code);
    QFETCH(double, totalPressure);
    QFETCH(QString, entered);
    QFETCH(bool, told);

    m_core->params()->pathConditions().totalPressure = totalPressure;
    m_model->setUnits(code);
    m_core->setOkDialogText(QString());
    const QString before = text(1);
    QVERIFY(!m_model->setData(m_model->index(1), entered, MolListViewModel::PressValueRole));
    QCOMPARE(m_core->params()->pathConditions().concentrations[1], 400.0);
    QCOMPARE(text(1), before);
    // Committed, a complete text that cannot be used is refused with a reason
    // for the field, never a dialog.
    if (told) {
        QVERIFY(!m_model->enterConcentration(2, entered).isEmpty());
        QCOMPARE(m_core->params()->pathConditions().concentrations[1], 400.0);
        QCOMPARE(text(1), before);
    }
    QCOMPARE(m_core->okDialogText(), QString());
}

void TestMolListViewModel::selectionAndColours()
{
    Params *params = m_core->params();
    QSignalSpy allSelectedChanged(m_model.get(), &MolListViewModel::allSelectedChanged);
    m_model->selectAll(false);
    for (int i = 0; i < Params::maxMoleculeCount; ++i) {
        QVERIFY(!params->molecule(i).selected);
        QVERIFY(!m_model->data(m_model->index(i), MolListViewModel::CheckedRole).toBool());
    }
    // The view is told that the selection is no longer complete.
    QVERIFY(!m_model->allSelected());
    QCOMPARE(allSelectedChanged.count(), 1);

    QVERIFY(m_model->setData(m_model->index(1), true, MolListViewModel::CheckedRole));
    QVERIFY(m_model->setData(m_model->index(5), true, MolListViewModel::CheckedRole));
    MolListViewReducedModel reduced(nullptr, m_core.get());
    QCOMPARE(reduced.rowCount(), 2);
    QCOMPARE(reduced.data(reduced.index(1), 257).toString(), QStringLiteral("CH4"));
    QCOMPARE(reduced.data(reduced.index(1), 258).toString(), QStringLiteral("#ca6500"));
    m_model->selectAll(true);
    reduced.updateDisplayed();
    QCOMPARE(reduced.rowCount(), Params::maxMoleculeCount);

    // A colour reaches the store through updateActiveColor, as "#rrggbb".
    m_model->setActiveIndex(2);
    m_model->setSelectedColor(QStringLiteral("#FF0000"));
    m_model->updateActiveColor();
    QCOMPARE(params->molecule(1).color, QStringLiteral("#ff0000"));
    QCOMPARE(text(1, MolListViewModel::ColorRole), QStringLiteral("#ff0000"));
    m_model->setSelectedColor(QStringLiteral("not a colour"));
    m_model->updateActiveColor();
    m_model->setActiveIndex(50);
    m_model->setSelectedColor(QStringLiteral("#00ff00"));
    m_model->updateActiveColor();
    QCOMPARE(params->molecule(1).color, QStringLiteral("#ff0000"));
    params->resetMoleculeColorsAndIds();
}

void TestMolListViewModel::externalChangesReachTheRows()
{
    Params *params = m_core->params();
    QSignalSpy spectra(m_core.get(), &KolvexCore::updateSpectra);
    QSignalSpy unitsChanged(m_model.get(), &MolListViewModel::unitsChanged);
    params->pathConditions().concentrations[1] = 800.0;
    params->molecule(7).selected = false;
    m_core->pressureUnits()->setConcentrationCode(1);
    emit m_core->valuesUpdated();
    QCOMPARE(text(1), QStringLiteral("800"));
    QVERIFY(!m_model->data(m_model->index(7), MolListViewModel::CheckedRole).toBool());
    QCOMPARE(unitsChanged.count(), 1);
    QCOMPARE(spectra.count(), 1);
    QCOMPARE(spectra.at(0), (QList<QVariant>{false, true}));
    params->molecule(7).selected = true;

    // The humidity sensor has stored a new H2O value; only row 0 is re-printed.
    params->pathConditions().concentrations[0] = 12345.0;
    QSignalSpy rowsChanged(m_model.get(), &QAbstractItemModel::dataChanged);
    m_model->updateH2OValue();
    QCOMPARE(text(0), QStringLiteral("12345"));
    QCOMPARE(rowsChanged.count(), 1);
    QCOMPARE(rowsChanged.at(0).at(1).toModelIndex().row(), 0);
}

// A smaller table, or one that changes after start-up, never makes the list
// read or write past the end of the table or of the concentrations.
void TestMolListViewModel::smallerAndChangingMoleculeTables()
{
    Params *params = m_core->params();
    const std::vector<Molecule> fullTable = params->molecules();
    params->molecules().resize(10);
    params->pathConditions().concentrations.resize(4);
    MolListViewModel small(nullptr, m_core.get());
    QCOMPARE(small.rowCount(), 10);
    QVERIFY(small.setData(small.index(9), QStringLiteral("2"), MolListViewModel::PressValueRole));
    QCOMPARE(params->pathConditions().concentrations.size(), std::size_t(10));
    QCOMPARE(params->pathConditions().concentrations[9], 20000.0);

    params->molecules().resize(3);
    emit m_core->valuesUpdated();
    QCOMPARE(small.rowCount(), 3);
    QCOMPARE(m_model->rowCount(), 3);
    small.selectAll(false);
    QVERIFY(!small.setData(small.index(5), QStringLiteral("1"), MolListViewModel::PressValueRole));

    params->molecules() = fullTable;
    params->pathConditions().concentrations.resize(fullTable.size(), 0.0);
    emit m_core->valuesUpdated();
    QCOMPARE(small.rowCount(), Params::maxMoleculeCount);
}

QTEST_GUILESS_MAIN(TestMolListViewModel)
#include "tst_mollistviewmodel.moc"
