#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <random>

// kolvex-console --fit on spectra the program made itself (offline, the
// shipped sample lines, the default range and instrument function), written
// to files with Gaussian noise of known sigma: the values it prints against
// the conditions the spectra were made for, the units of the file, and its
// refusals.
class TestConsoleFit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fitsConcentrationsAndBaseline();
    void unitsOfTheFileGiveTheSameFit();
    void refusals_data();
    void refusals();
    void protocolRows();
    void temperatureLeavesTheSettings();

private:
    struct Run
    {
        int exitCode = -1;
        QByteArray output;
        QByteArray errors;
    };
    // kolvex-console on `folder` with `arguments`, `input` on standard input.
    Run console(const QString &folder, const QStringList &arguments, const QByteArray &input);
    // "name value sigma unit" lines of a fit's output, by name.
    static QMap<QString, QStringList> fitLines(const QByteArray &output);

    QString m_program;
    QTemporaryDir m_made;
    // The optical depth the program calculated, after the instrument
    // function, at the conditions below, on the points where it is valid.
    std::vector<double> m_wavenumbers;
    std::vector<double> m_tau;
};

namespace {

// The conditions the spectrum is made for, and the settings a fit starts from.
const QByteArray madeAt = "#MCONC;2;400\n#MCONC;1;10000\n";
const QByteArray startFrom = "#MCONC;2;300\n#MCONC;1;15000\n";
// For a fit of CO2 alone: H2O as made.
const QByteArray co2From300 = "#MCONC;2;300\n#MCONC;1;10000\n";
constexpr double co2 = 400.0;
constexpr double h2o = 10000.0;
constexpr double sigma = 0.005;

} // namespace

TestConsoleFit::Run TestConsoleFit::console(const QString &folder, const QStringList &arguments,
                                            const QByteArray &input)
{
    QProcess process;
    process.start(m_program, QStringList{"--data-dir", folder, "--service-url", "http://127.0.0.1:9"} + arguments);
    Run run;
    if (!process.waitForStarted())
        return run;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(240000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = process.readAllStandardOutput();
    run.errors = process.readAllStandardError();
    return run;
}

QMap<QString, QStringList> TestConsoleFit::fitLines(const QByteArray &output)
{
    QMap<QString, QStringList> lines;
    for (const QByteArray &line : output.split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(' ', Qt::SkipEmptyParts);
        if (!fields.isEmpty())
            lines.insert(fields.front(), fields.mid(1));
    }
    return lines;
}

void TestConsoleFit::initTestCase()
{
    m_program = QCoreApplication::applicationDirPath() + QStringLiteral("/../kolvex-console");
    QVERIFY2(QFileInfo::exists(m_program), qPrintable(m_program));
    QVERIFY(m_made.isValid());
    // The instrument-function total as optical depth (y units 1), with its grid.
    const Run made = console(m_made.path(), {},
                             madeAt + "#YUNITS;1\n#CALC\n#RESULT;WNGRID\n#RESULT;SPEC;INSTR\n");
    QCOMPARE(made.exitCode, 0);
    QList<QByteArray> lines = made.output.split('\n');
    lines.removeAll(QByteArray());
    QVERIFY2(lines.size() >= 3 && lines[0] == "READY", made.output.left(300).constData());
    const QList<QByteArray> grid = lines[1].split(';');
    const QList<QByteArray> tau = lines[2].split(';');
    QCOMPARE(grid.size(), tau.size());
    // Outside the points the instrument function reached there is no value.
    for (int i = 0; i < grid.size(); ++i) {
        bool ok = false;
        const double value = tau[i].toDouble(&ok);
        if (!ok || !std::isfinite(value) || value == 0.0)
            continue;
        m_wavenumbers.push_back(grid[i].toDouble());
        m_tau.push_back(value);
    }
    QVERIFY2(m_tau.size() > 5000, qPrintable(QString::number(m_tau.size())));
}

void TestConsoleFit::fitsConcentrationsAndBaseline()
{
    // Transmission with noise of sigma 0.005 (given in the file) on a
    // baseline of 0.01; the fit starts from 300 ppmv CO2 and 15000 ppmv H2O.
    QTemporaryDir folder;
    QFile file(folder.filePath("measured.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("# made by the program\n# x: cm-1\n# y: transmission\n");
    std::mt19937 generator(31);
    std::normal_distribution<double> noise(0.0, sigma);
    for (std::size_t i = 0; i < m_tau.size(); ++i)
        file.write(QByteArray::number(m_wavenumbers[i], 'f', 6) + '\t'
                   + QByteArray::number(std::exp(-m_tau[i]) + 0.01 + noise(generator), 'g', 9) + '\t'
                   + QByteArray::number(sigma) + '\n');
    // Rows beyond the calculated range are left out, and counted.
    file.write("1990 0.5 0.005\n2400 0.5 0.005\n");
    file.close();

    const Run run = console(folder.path(), {"--fit", "measured.txt", "--vary", "CO2,H2O,baseline=0"}, startFrom);
    QVERIFY2(run.exitCode == 0, run.errors.constData());
    const auto lines = fitLines(run.output);
    const struct {
        const char *name;
        double truth;
        const char *unit;
    } expected[] = {{"CO2", co2, "ppmv"}, {"H2O", h2o, "ppmv"}, {"baseline0", 0.01, "transmission"}};
    for (const auto &e : expected) {
        const QStringList fields = lines.value(e.name);
        QVERIFY2(fields.size() == 3, qPrintable(QString(e.name) + ": " + run.output));
        const double value = fields[0].toDouble();
        const double uncertainty = fields[1].toDouble();
        QVERIFY2(uncertainty > 0.0 && std::fabs(value - e.truth) < 3.0 * uncertainty,
                 qPrintable(QString("%1 %2 +- %3").arg(e.name).arg(value).arg(uncertainty)));
        QCOMPARE(fields[2], QString(e.unit));
    }
    // The residuals are the noise.
    QVERIFY(std::fabs(lines.value("rms").value(0).toDouble() - sigma) < 0.1 * sigma);
    QCOMPARE(lines.value("points").value(0).toULongLong(), qulonglong(m_tau.size()));
    QCOMPARE(lines.value("outside").value(0), QString("2"));
    // The order: the varied quantities, then rms and points.
    QVERIFY(run.output.indexOf("CO2 ") < run.output.indexOf("rms "));
    QVERIFY(run.output.indexOf("rms ") < run.output.indexOf("points "));
}

void TestConsoleFit::unitsOfTheFileGiveTheSameFit()
{
    // The same noisy spectrum as micron and absorption %, in falling x order
    // and separated by commas, gives the CO2 of the cm-1 transmission file.
    const auto fitOf = [this](const QByteArray &header, bool micronAbsorption) {
        QTemporaryDir folder;
        QFile file(folder.filePath("m.csv"));
        file.open(QIODevice::WriteOnly);
        file.write(header);
        std::mt19937 generator(8);
        std::normal_distribution<double> noise(0.0, sigma);
        for (std::size_t i = 0; i < m_tau.size(); ++i) {
            const double transmission = std::exp(-m_tau[i]) + noise(generator);
            if (micronAbsorption)
                file.write(QByteArray::number(1e4 / m_wavenumbers[i], 'g', 15) + ","
                           + QByteArray::number(100.0 * (1.0 - transmission), 'g', 12) + '\n');
            else
                file.write(QByteArray::number(m_wavenumbers[i], 'g', 15) + " "
                           + QByteArray::number(transmission, 'g', 12) + '\n');
        }
        file.close();
        const Run run = console(folder.path(), {"--fit", file.fileName(), "--vary", "CO2"}, co2From300);
        return run.exitCode == 0 ? fitLines(run.output).value("CO2") : QStringList{QString(run.errors)};
    };
    const QStringList plain = fitOf("", false);
    const QStringList converted = fitOf("# x: um\n# y: absorption%\n", true);
    QVERIFY2(plain.size() == 3 && converted.size() == 3, qPrintable(plain.join(' ') + " / " + converted.join(' ')));
    QVERIFY2(std::fabs(plain[0].toDouble() - converted[0].toDouble()) < 1e-3 * plain[1].toDouble(),
             qPrintable(plain.join(' ') + " / " + converted.join(' ')));
    QCOMPARE(converted[2], QString("ppmv"));
}

void TestConsoleFit::refusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("input");
    const QByteArray good = "2100 0.9\n2101 0.8\n2102 0.9\n2103 0.7\n";
    QTest::newRow("bad row") << QStringList{"--fit", "m.txt", "--vary", "CO2"} << QByteArray("2100 0.9\n2101 x\n")
                             << 1 << "m.txt, line 2: \"x\" (y) is not a number" << QByteArray();
    QTest::newRow("no such file") << QStringList{"--fit", "none.txt", "--vary", "CO2"} << good << 1 << "none.txt" << QByteArray();
    QTest::newRow("unknown molecule") << QStringList{"--fit", "m.txt", "--vary", "XY9"} << good << 1
                                      << "\"XY9\" is no molecule" << QByteArray();
    QTest::newRow("baseline order") << QStringList{"--fit", "m.txt", "--vary", "CO2,baseline=3"} << good << 1
                                    << "order 0, 1 or 2" << QByteArray();
    QTest::newRow("vary alone") << QStringList{"--vary", "CO2"} << good << 2 << "go together" << QByteArray();
    // O3 has no lines in the sample's 2000-2300 cm-1: selected, it moves nothing there.
    QTest::newRow("unconstrained") << QStringList{"--fit", "m.txt", "--vary", "CO2,O3,baseline=0"}
                                   << QByteArray("# y: absorbance\n2100 0.1\n2100.5 0.2\n2101 0.1\n2102 0.3\n") << 1
                                   << "O3 is unconstrained" << QByteArray("#MSEL;3;1\n");
    QTest::newRow("not selected") << QStringList{"--fit", "m.txt", "--vary", "O3"} << good << 1
                                  << "O3 is not among the selected molecules" << QByteArray("#MSEL;3;0\n");
}

void TestConsoleFit::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, file);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QByteArray, input);
    QTemporaryDir folder;
    QFile measured(folder.filePath("m.txt"));
    QVERIFY(measured.open(QIODevice::WriteOnly));
    measured.write(file);
    measured.close();
    const Run run = console(folder.path(), arguments, input);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(run.errors).contains(message), run.errors.constData());
    QVERIFY2(!run.output.contains("points"), run.output.constData());
}

void TestConsoleFit::protocolRows()
{
    // The same fit through the command protocol on standard input: the file
    // by name, what varies, the fit, and the RESULT items; refusals in the
    // protocol's form, and nothing fitted before a fit.
    QTemporaryDir folder;
    QFile file(folder.filePath("m.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    std::mt19937 generator(77);
    std::normal_distribution<double> noise(0.0, sigma);
    for (std::size_t i = 0; i < m_tau.size(); ++i)
        file.write(QByteArray::number(m_wavenumbers[i], 'f', 6) + ' '
                   + QByteArray::number(std::exp(-m_tau[i]) + noise(generator), 'g', 9) + '\n');
    file.close();
    QFile bad(folder.filePath("bad.txt"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("2100 0.5\n2101 0.5 0.1\n");
    bad.close();

    const Run run = console(folder.path(), {},
                            co2From300 + "#RESULT;FIT\n#MEASFILE;m.txt\n#MEASFILE;bad.txt\n#MEASFILE;"
                                + QFile::encodeName(file.fileName())
                                + "\n#MEASFILE;../m.txt\n#MEASFILE;?\n"
                                  "#FITVARY;CO2,baseline=5\n#FITVARY;CO2,baseline=0\n#FITVARY;?\n#FIT\n"
                                  "#RESULT;FIT\n#RESULT;RESIDUALS\n");
    QCOMPARE(run.exitCode, 0);
    QList<QByteArray> replies = run.output.split('\n');
    replies.removeAll(QByteArray());
    QVERIFY2(replies.size() == 10, run.output.left(2000).constData());
    QVERIFY2(replies[0].startsWith("RESULT;FIT : There is no fit yet"), replies[0].constData());
    QVERIFY2(replies[1].startsWith("MEASFILE : ") && replies[1].contains("bad.txt, line 2: 3 numbers"),
             replies[1].constData());
    // A peer reads files of the data folder only, not any path of the device.
    for (int i : {2, 3})
        QVERIFY2(replies[i].startsWith("MEASFILE : ") && replies[i].contains("not the name of a file in the data"),
                 replies[i].constData());
    replies.erase(replies.begin() + 2, replies.begin() + 4);
    // The file that failed left the one before loaded.
    QCOMPARE(replies[2], QByteArray("m.txt"));
    QVERIFY2(replies[3].startsWith("FITVARY : ") && replies[3].contains("order 0, 1 or 2"), replies[3].constData());
    QCOMPARE(replies[4], QByteArray("CO2,baseline=0"));
    // The fit's reply and RESULT;FIT: the lines joined by the delimiter.
    QCOMPARE(replies[5], replies[6]);
    const QList<QByteArray> fields = replies[5].split(';');
    QVERIFY2(fields.size() == 4, replies[5].constData());
    const QList<QByteArray> co2Line = fields[0].split(' ');
    QVERIFY2(co2Line.size() == 4 && co2Line[0] == "CO2" && co2Line[3] == "ppmv", fields[0].constData());
    QVERIFY2(std::fabs(co2Line[1].toDouble() - co2) < 3.0 * co2Line[2].toDouble(), fields[0].constData());
    QVERIFY(fields[1].startsWith("baseline0 "));
    QCOMPARE(fields[3], "points " + QByteArray::number(qulonglong(m_tau.size())));
    // One residual per row used; their RMS is the "rms" of the fit.
    const QList<QByteArray> residuals = replies[7].split(';');
    QCOMPARE(residuals.size(), int(m_tau.size()));
    double sum = 0.0;
    for (const QByteArray &r : residuals)
        sum += r.toDouble() * r.toDouble();
    const double rms = fields[2].split(' ').value(1).toDouble();
    QVERIFY(std::fabs(std::sqrt(sum / residuals.size()) - rms) < 1e-3 * rms);
    QVERIFY(std::fabs(rms - sigma) < 0.1 * sigma);
}

void TestConsoleFit::temperatureLeavesTheSettings()
{
    // Made at 260 K, fitted from 296 K: each trial temperature is calculated
    // on the fit's own engine, and the settings stay as they were.
    QTemporaryDir folder;
    const Run made = console(folder.path(), {}, madeAt + "#TEMP;260\n#YUNITS;1\n#CALC\n#RESULT;WNGRID\n#RESULT;SPEC;INSTR\n");
    QCOMPARE(made.exitCode, 0);
    QList<QByteArray> lines = made.output.split('\n');
    lines.removeAll(QByteArray());
    QVERIFY(lines.size() >= 3);
    const QList<QByteArray> grid = lines[1].split(';');
    const QList<QByteArray> tau = lines[2].split(';');
    QFile file(folder.filePath("m.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("# y: absorbance\n");
    std::mt19937 generator(260);
    std::normal_distribution<double> noise(0.0, 0.002);
    for (int i = 0; i < grid.size() && i < tau.size(); ++i) {
        bool ok = false;
        const double value = tau[i].toDouble(&ok);
        if (ok && std::isfinite(value) && value != 0.0)
            file.write(grid[i] + ' ' + QByteArray::number(value + noise(generator), 'g', 9) + '\n');
    }
    file.close();

    const Run run = console(folder.path(), {},
                            madeAt + "#TEMP;296\n#MEASFILE;m.txt\n#FITVARY;CO2,T\n#FIT\n#TEMP;?\n#MCONC;2;?\n");
    QCOMPARE(run.exitCode, 0);
    QList<QByteArray> replies = run.output.split('\n');
    replies.removeAll(QByteArray());
    QVERIFY2(replies.size() == 3, run.output.left(500).constData());
    const QList<QByteArray> fields = replies[0].split(';');
    QVERIFY2(fields.size() == 4, replies[0].constData());
    const QList<QByteArray> t = fields[1].split(' ');
    QVERIFY2(t.size() == 4 && t[0] == "T" && t[3] == "K", fields[1].constData());
    QVERIFY2(std::fabs(t[1].toDouble() - 260.0) < 3.0 * t[2].toDouble(), fields[1].constData());
    const QList<QByteArray> c = fields[0].split(' ');
    QVERIFY2(std::fabs(c[1].toDouble() - co2) < 3.0 * c[2].toDouble(), fields[0].constData());
    QCOMPARE(replies[1].toDouble(), 296.0);
    QCOMPARE(replies[2].toDouble(), co2);
}

QTEST_GUILESS_MAIN(TestConsoleFit)
#include "tst_consolefit.moc"
