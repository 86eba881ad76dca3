#include "data/parameterfiles.h"

#include "core/params.h"
#include "core/regularfile.h"
#include "data/bundledfiles.h"
#include "data/compactpartitionsums.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <cmath>
#include <limits>

namespace {

QByteArray bytesOfFile(const QString &fileName, bool *opened, QString *problem = nullptr)
{
    QByteArray bytes;
    *opened = RegularFile::read(fileName, ParameterFiles::maxFileBytes, &bytes, problem);
    return bytes;
}

// A fixed-width field of a line; a field that does not parse reads as 0.
double realField(const QString &line, int offset, int width)
{
    return line.mid(offset, width).trimmed().toDouble();
}

int integerField(const QString &line, int offset, int width)
{
    return line.mid(offset, width).trimmed().toInt();
}

bool isPositiveFinite(double value)
{
    return std::isfinite(value) && value > 0.0;
}

// One partition-sum file: one line per kelvin, temperature then Q(T). Reading
// stops at the first line that is not the next whole kelvin with a positive
// finite Q, so that a damaged file never shifts the temperatures of the lines
// that follow it. Numbers are read with from_chars, which ignores the user's locale.
struct TipsTable
{
    double firstTemperature = 0.0;
    std::vector<double> temperatures;
    std::vector<double> partitionSums;
};

const char *skipBlanks(const char *p, const char *end)
{
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r'))
        ++p;
    return p;
}

bool readNumber(const char *&p, const char *end, double *value)
{
    p = skipBlanks(p, end);
    if (p < end && *p == '+')
        ++p;
    // The tables' own form, digits with a decimal point, is read here: up to 15
    // digits make an exact integer, and one division by an exact power of ten
    // rounds it as from_chars would. Anything else goes to from_chars.
    static constexpr double powersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char *q = p;
    std::uint64_t digits = 0;
    int count = 0;
    int decimals = 0;
    for (; q < end && *q >= '0' && *q <= '9'; ++q, ++count)
        digits = digits * 10 + std::uint64_t(*q - '0');
    if (count > 0 && q < end && *q == '.') {
        for (++q; q < end && *q >= '0' && *q <= '9'; ++q, ++count, ++decimals)
            digits = digits * 10 + std::uint64_t(*q - '0');
    }
    if (count > 0 && count <= 15 && (q == end || std::isspace(static_cast<unsigned char>(*q)))) {
        *value = double(digits) / powersOfTen[decimals];
        p = q;
        return true;
    }
    const std::from_chars_result result = std::from_chars(p, end, *value);
    if (result.ec != std::errc() || (result.ptr < end && !std::isspace(static_cast<unsigned char>(*result.ptr))))
        return false;
    p = result.ptr;
    return true;
}

TipsTable parseTipsText(QByteArray text)
{
    TipsTable table;
    // A last line without its line end that is shorter than the line before
    // it was cut (a write that ran out of space): its number would be wrong.
    // The lines of a table are all of one width.
    const auto width = [](const QByteArray &line) { return line.size() - (line.endsWith('\r') ? 1 : 0); };
    const int lastBreak = text.lastIndexOf('\n');
    if (lastBreak > 0 && !text.mid(lastBreak + 1).trimmed().isEmpty()) {
        const int previousBreak = text.lastIndexOf('\n', lastBreak - 1);
        const QByteArray last = text.mid(lastBreak + 1);
        if (width(last) < width(text.mid(previousBreak + 1, lastBreak - previousBreak - 1))) {
            qWarning() << "Partition-sum table ends in a line cut short:" << last.trimmed().left(40);
            text.truncate(lastBreak + 1);
        }
    }
    const char *p = text.constData();
    const char *const end = p + text.size();
    while (p < end) {
        const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p)));
        if (!lineEnd)
            lineEnd = end;
        const char *const lineStart = p;
        const char *field = p;
        const bool blank = skipBlanks(p, lineEnd) == lineEnd;
        p = lineEnd + 1;
        if (blank)
            continue;
        double temperature = 0.0;
        double sum = 0.0;
        const bool parsed = readNumber(field, lineEnd, &temperature) && readNumber(field, lineEnd, &sum);
        const bool nextKelvin = parsed
            && (table.temperatures.empty() ? temperature >= 0.0 && temperature == std::floor(temperature)
                                           : temperature == table.temperatures.back() + 1.0);
        if (!nextKelvin || !isPositiveFinite(sum)) {
            if (!table.temperatures.empty())
                qWarning() << "Partition-sum table ends early at damaged line:"
                           << QByteArray(lineStart, int(std::min<std::ptrdiff_t>(lineEnd - lineStart, 40))).trimmed();
            break;
        }
        table.temperatures.push_back(temperature);
        table.partitionSums.push_back(sum);
    }
    if (!table.temperatures.empty())
        table.firstTemperature = table.temperatures.front();
    return table;
}

} // namespace

ParameterFiles::ParameterFiles(Params *params, QObject *parent)
    : QObject(parent)
    , m_params(params)
{
    connect(this, &ParameterFiles::accessNextTipsFile, this, &ParameterFiles::readOneTipsFile,
            Qt::DirectConnection);
    connect(this, &ParameterFiles::readingTipsFilesComplete, this, &ParameterFiles::readTempTipsValues,
            Qt::DirectConnection);
}

QString ParameterFiles::tipsFilePath(const Isotopologue &isotopologue) const
{
    return m_tipsFolder + QLatin1String("/q") + QString::number(isotopologue.globalId)
        + QLatin1String(".txt");
}

bool ParameterFiles::readMolParams(const QString &fileName)
{
    bool opened = false;
    QString problem;
    const QString text = QString::fromLatin1(bytesOfFile(fileName, &opened, &problem));
    if (!opened) {
        qWarning() << "Cannot read" << fileName << ":" << problem << "- the built-in molecule table stays in use.";
        return false;
    }

    QStringList lines;
    const QStringList rawLines = text.split(QLatin1Char('\n'));
    for (QString line : rawLines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.size() >= 10)
            lines.append(line);
    }

    static const QRegularExpression numberInParentheses(QStringLiteral("\\(\\s*(\\d+)\\s*\\)"));
    std::vector<Molecule> readMolecules(static_cast<std::size_t>(Params::maxMoleculeCount));
    std::vector<bool> present(static_cast<std::size_t>(Params::maxMoleculeCount), false);
    int position = 0;
    int current = -1;   // index of the molecule being read; -1 before the first or for one we skip
    for (int i = 1; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line.contains(QLatin1Char('('))) {
            ++position;
            // The number in parentheses places the molecule; without one, its position does.
            const QRegularExpressionMatch match = numberInParentheses.match(line);
            const int number = match.hasMatch() ? match.captured(1).toInt() : position;
            current = number >= 1 && number <= Params::maxMoleculeCount ? number - 1 : -1;
            if (current >= 0) {
                Molecule &molecule = readMolecules[std::size_t(current)];
                molecule = Molecule();
                molecule.name = line.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
            }
            continue;
        }
        if (current < 0)
            continue;
        Isotopologue isotopologue;
        isotopologue.afglCode = integerField(line, 0, 12);
        isotopologue.naturalAbundance = realField(line, 12, 13);
        isotopologue.q296 = realField(line, 25, 14);
        isotopologue.gj = double(integerField(line, 39, 5));
        isotopologue.molarMass = realField(line, 44, 14);
        isotopologue.globalId = -1;
        // A line whose numbers cannot serve a calculation (Q or mass not positive)
        // is damaged; it is left out rather than divided by later.
        if (isotopologue.afglCode <= 0 || !isPositiveFinite(isotopologue.q296)
            || !isPositiveFinite(isotopologue.molarMass)
            || !std::isfinite(isotopologue.naturalAbundance) || isotopologue.naturalAbundance < 0.0) {
            qWarning() << "Skipping damaged isotopologue line in" << fileName << ":" << line;
            continue;
        }
        Molecule &molecule = readMolecules[std::size_t(current)];
        molecule.selected = true;
        molecule.isotopologues.push_back(isotopologue);
        present[std::size_t(current)] = true;
    }

    if (std::none_of(present.begin(), present.end(), [](bool p) { return p; })) {
        qWarning() << fileName << "names no molecule - the built-in molecule table stays in use.";
        return false;
    }

    // Molecules the file does not list keep their built-in entries.
    m_params->restoreBuiltinTable();
    std::vector<Molecule> &molecules = m_params->molecules();
    for (int i = 0; i < Params::maxMoleculeCount; ++i) {
        if (present[std::size_t(i)] && !readMolecules[std::size_t(i)].name.isEmpty())
            molecules[std::size_t(i)] = readMolecules[std::size_t(i)];
    }
    for (Molecule &molecule : molecules) {
        for (Isotopologue &isotopologue : molecule.isotopologues)
            isotopologue.abundance = isotopologue.naturalAbundance;
    }
    m_params->resetMoleculeColorsAndIds();
    m_params->pathConditions().concentrations.resize(std::size_t(m_params->moleculeCount()), 0.0);
    emit readingMolParamsComplete();
    return true;
}

int ParameterFiles::readGlobalIds(const QString &fileName)
{
    m_globalIdsApplied = 0;
    bool opened = false;
    const QByteArray bytes = bytesOfFile(fileName, &opened);
    if (!opened)
        return 0;
    const int header = bytes.indexOf('\n');
    const QString text = header < 0 ? QString() : QString::fromLatin1(bytes.mid(header + 1));
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() < 3)
            continue;
        const QString moleculeField = fields.at(1).trimmed();
        if (moleculeField.isEmpty() || moleculeField == QLatin1String("-"))
            continue;
        bool globalOk = false;
        bool moleculeOk = false;
        bool isotopologueOk = false;
        const int globalId = fields.at(0).trimmed().toInt(&globalOk);
        const int molecule = moleculeField.toInt(&moleculeOk) - 1;
        const int isotopologue = fields.at(2).trimmed().toInt(&isotopologueOk) - 1;
        if (!globalOk || !moleculeOk || !isotopologueOk || globalId <= 0
            || !m_params->isValidIsotopologue(molecule, isotopologue))
            continue;
        Isotopologue &entry = m_params->molecule(molecule).isotopologues[std::size_t(isotopologue)];
        entry.globalId = globalId;
        entry.listedInGlobalIds = fields.value(3).trimmed() == QLatin1String("yes");
        ++m_globalIdsApplied;
    }
    return lines.size();
}

QString ParameterFiles::readTipsFile(Isotopologue &isotopologue)
{
    isotopologue.partitionSums.clear();
    isotopologue.partitionSumsMissing = false;
    if (isotopologue.globalId <= 0) {
        m_params->fillConstantPartitionSums(isotopologue);
        return QString();
    }
    const QString path = tipsFilePath(isotopologue);
    const QFileInfo entry(path);
    if (!entry.exists() && !entry.isSymLink()) {
        m_params->fillConstantPartitionSums(isotopologue);
        return isotopologue.listedInGlobalIds ? QStringLiteral("the file is missing") : QString();
    }
    bool opened = false;
    QString problem;
    const QByteArray text = bytesOfFile(path, &opened, &problem);
    TipsTable table;
    if (opened) {
        table = parseTipsText(text);
        if (table.partitionSums.empty())
            problem = text.trimmed().isEmpty() ? QStringLiteral("the file is empty")
                                               : QStringLiteral("it holds no partition sums");
    }
    if (!problem.isEmpty()) {
        m_params->fillConstantPartitionSums(isotopologue);
        return problem;
    }
    isotopologue.tipsLoaded = true;
    isotopologue.partitionSumsFirstTemperature = table.firstTemperature;
    isotopologue.partitionSums = PartitionSumTable(std::move(table.partitionSums));
    return QString();
}

void ParameterFiles::loadTipsTable(const Molecule &molecule, Isotopologue &isotopologue)
{
    const QString problem = readTipsFile(isotopologue);
    if (problem.isEmpty())
        return;
    const QString name = QFileInfo(tipsFilePath(isotopologue)).fileName();
    const QString shipped = QLatin1String("TIPS/") + name;
    QString outcome;
    QString why = QStringLiteral("the shipped copies are not installed");
    if (m_reinstallShipped && BundledFiles::reinstall(tipsFilePath(isotopologue), shipped, *m_writer, &why)
        && readTipsFile(isotopologue).isEmpty()) {
        outcome = QStringLiteral("the shipped copy was put back");
    } else {
        isotopologue.partitionSumsMissing = true;
        outcome = QStringLiteral("%1; %2 can be calculated at 296 K only").arg(why, molecule.name);
    }
    qWarning().noquote() << "Partition-sum table" << tipsFilePath(isotopologue) << ":" << problem << "-" << outcome;
    m_tipsProblems.append(QStringLiteral("%1 (%2): %3; %4").arg(name, molecule.name, problem, outcome));
}

QString ParameterFiles::compactTipsFilePath() const
{
    return m_tipsFolder + QLatin1String("/.partition-sums.bin");
}

void ParameterFiles::loadAllTipsFiles()
{
    m_tipsProblems.clear();
    // A table whose text file is as it was when the compact file was written
    // comes from there; the others are read as text, and the compact file is
    // then written anew with every table.
    const CompactPartitionSums compact(compactTipsFilePath());
    std::vector<CompactPartitionSums::Table> tables;
    bool textRead = false;
    for (Molecule &molecule : m_params->molecules()) {
        for (Isotopologue &isotopologue : molecule.isotopologues) {
            const QFileInfo file(tipsFilePath(isotopologue));
            // Only a regular file can have its table in the compact copy; any
            // other entry, or a missing file that should be there, is judged
            // (and put back where it can be) as text below.
            if (isotopologue.globalId > 0 && file.isFile()) {
                CompactPartitionSums::Table table;
                const qint64 modified = file.lastModified().toMSecsSinceEpoch();
                if (compact.find(isotopologue.globalId, file.size(), modified, &table)) {
                    isotopologue.tipsLoaded = true;
                    isotopologue.partitionSumsMissing = false;
                    isotopologue.partitionSumsFirstTemperature = table.firstTemperature;
                    isotopologue.partitionSums = table.values;
                    tables.push_back(table);
                    continue;
                }
                emit notify(QStringLiteral("Loading downloaded TIPS data.\nLoading file: ") + file.filePath(), 0.0,
                            true, false);
                QCoreApplication::processEvents();
            }
            // Only a table that was read whole goes into the compact copy, keyed
            // by its file as it is now (a shipped copy put back has its own size
            // and time).
            loadTipsTable(molecule, isotopologue);
            if (!isotopologue.tipsLoaded)
                continue;
            textRead = true;
            const QFileInfo read(tipsFilePath(isotopologue));
            tables.push_back({isotopologue.globalId, read.size(), read.lastModified().toMSecsSinceEpoch(),
                              isotopologue.partitionSumsFirstTemperature, isotopologue.partitionSums});
        }
    }
    if (textRead && !CompactPartitionSums::write(compactTipsFilePath(), tables))
        qWarning() << "Cannot write" << compactTipsFilePath() << "- the partition sums are read as text next time.";

    // The temperature grid is that of the first table: one value per kelvin.
    std::vector<double> temperatures;
    const std::vector<Molecule> &molecules = m_params->molecules();
    if (!molecules.empty() && !molecules.front().isotopologues.empty()
        && molecules.front().isotopologues.front().tipsLoaded) {
        emit notify(QStringLiteral("Loading downloaded TIPS data.\nLoading temperature values."), 0.0,
                    true, false);
        const Isotopologue &first = molecules.front().isotopologues.front();
        for (std::size_t i = 0; i < first.partitionSums.size(); ++i)
            temperatures.push_back(first.partitionSumsFirstTemperature + double(i));
    }
    m_params->setTipsTemperatures(std::move(temperatures));
}

void ParameterFiles::readOneTipsFile(int molecule, int isotopologue)
{
    if (!m_params->isValidIsotopologue(molecule, isotopologue))
        return;
    if (molecule == 0 && isotopologue == 0)
        m_tipsProblems.clear();
    Molecule &entry = m_params->molecule(molecule);
    loadTipsTable(entry, entry.isotopologues[std::size_t(isotopologue)]);
    QCoreApplication::processEvents();

    int nextMolecule = molecule;
    int nextIsotopologue = isotopologue + 1;
    while (nextMolecule < m_params->moleculeCount()
           && nextIsotopologue >= int(m_params->molecule(nextMolecule).isotopologues.size())) {
        ++nextMolecule;
        nextIsotopologue = 0;
    }
    if (nextMolecule < m_params->moleculeCount())
        emit accessNextTipsFile(nextMolecule, nextIsotopologue);
    else
        emit readingTipsFilesComplete();
}

void ParameterFiles::readTempTipsValues()
{
    // The grid is read afresh, so reading the tables twice never doubles it.
    m_params->setTipsTemperatures({});
    const std::vector<Molecule> &molecules = m_params->molecules();
    if (molecules.empty() || molecules.front().isotopologues.empty())
        return;
    const Isotopologue &first = molecules.front().isotopologues.front();
    if (first.globalId <= 0)
        return;
    bool opened = false;
    const TipsTable table = parseTipsText(bytesOfFile(tipsFilePath(first), &opened));
    m_params->setTipsTemperatures(table.temperatures);
}
