#include "data/parameterfiles.h"

#include "core/contenthash.h"
#include "core/exactdecimal.h"
#include "core/params.h"
#include "core/regularfile.h"
#include "data/bundledfiles.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPair>
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

// One partition-sum file: one line per kelvin, temperature then Q(T). Every
// line that is not blank must be the next whole kelvin with a positive finite
// Q. A table with a damaged line is not used at all: a table cut at the damage
// would quietly narrow the temperatures that can be calculated, and what
// follows a damaged line cannot be trusted either. Numbers are read with
// from_chars, which ignores the user's locale.
struct TipsTable
{
    double firstTemperature = 0.0;
    std::vector<double> temperatures;
    std::vector<double> partitionSums;
    QString problem;   // why the text is no table; empty when it is one
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
    const char *token = p;
    while (token < end && !std::isspace(static_cast<unsigned char>(*token)))
        ++token;
    if (token > p && ExactDecimal::parse(p, token, value)) {
        p = token;
        return true;
    }
    const std::from_chars_result result = std::from_chars(p, end, *value);
    if (result.ec != std::errc() || (result.ptr < end && !std::isspace(static_cast<unsigned char>(*result.ptr))))
        return false;
    p = result.ptr;
    return true;
}

QString quotedLine(const QByteArray &line)
{
    return QStringLiteral("\"%1\"").arg(QString::fromLatin1(line.trimmed().left(40)));
}

TipsTable parseTipsText(const QByteArray &text)
{
    TipsTable table;
    if (text.trimmed().isEmpty()) {
        table.problem = QStringLiteral("the file is empty");
        return table;
    }
    // A last line without its line end that is shorter than the line before
    // it was cut (a write that ran out of space): its number would be wrong.
    // The lines of a table are all of one width.
    const auto width = [](const QByteArray &line) { return line.size() - (line.endsWith('\r') ? 1 : 0); };
    const int lastBreak = text.lastIndexOf('\n');
    if (lastBreak > 0 && !text.mid(lastBreak + 1).trimmed().isEmpty()) {
        const int previousBreak = text.lastIndexOf('\n', lastBreak - 1);
        const QByteArray last = text.mid(lastBreak + 1);
        if (width(last) < width(text.mid(previousBreak + 1, lastBreak - previousBreak - 1))) {
            table.problem = QStringLiteral("its last line is cut short (%1)").arg(quotedLine(last));
            return table;
        }
    }
    const char *p = text.constData();
    const char *const end = p + text.size();
    int lineNumber = 0;
    while (p < end) {
        const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p)));
        if (!lineEnd)
            lineEnd = end;
        const char *const lineStart = p;
        const char *field = p;
        const bool blank = skipBlanks(p, lineEnd) == lineEnd;
        p = lineEnd + 1;
        ++lineNumber;
        if (blank)
            continue;
        double temperature = 0.0;
        double sum = 0.0;
        const bool parsed = readNumber(field, lineEnd, &temperature) && readNumber(field, lineEnd, &sum);
        const bool nextKelvin = parsed
            && (table.temperatures.empty() ? temperature >= 0.0 && temperature == std::floor(temperature)
                                           : temperature == table.temperatures.back() + 1.0);
        if (!nextKelvin || !isPositiveFinite(sum)) {
            table.problem = table.temperatures.empty()
                ? QStringLiteral("it holds no partition sums")
                : QStringLiteral("line %1 is damaged (%2)")
                      .arg(lineNumber)
                      .arg(quotedLine(QByteArray(lineStart, int(lineEnd - lineStart))));
            table.temperatures.clear();
            table.partitionSums.clear();
            return table;
        }
        table.temperatures.push_back(temperature);
        table.partitionSums.push_back(sum);
    }
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
    m_globalIdsProblem.clear();
    bool opened = false;
    const QByteArray bytes = bytesOfFile(fileName, &opened, &m_globalIdsProblem);
    if (!opened)
        return 0;
    const int header = bytes.indexOf('\n');
    const QString text = header < 0 ? QString() : QString::fromLatin1(bytes.mid(header + 1));
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    struct Assignment
    {
        int globalId;
        int molecule;
        int isotopologue;
        bool listed;
    };
    std::vector<Assignment> assignments;
    QHash<int, int> assignmentOfGlobalId;
    QHash<QPair<int, int>, int> assignmentOfIsotopologue;
    const auto isotopologueName = [this](const Assignment &a) {
        return QStringLiteral("isotopologue %1 of %2").arg(a.isotopologue + 1).arg(m_params->molecule(a.molecule).name);
    };
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
        const Assignment assignment{globalId, molecule, isotopologue,
                                    fields.value(3).trimmed() == QLatin1String("yes")};
        // One number names one table: two isotopologues with one number would
        // both be calculated with the partition sums of either, and one
        // isotopologue with two numbers with those of whichever came last.
        const auto sameNumber = assignmentOfGlobalId.constFind(globalId);
        if (sameNumber != assignmentOfGlobalId.constEnd()) {
            const Assignment &earlier = assignments[std::size_t(*sameNumber)];
            if (earlier.molecule != molecule || earlier.isotopologue != isotopologue) {
                m_globalIdsProblem = QStringLiteral("it gives the global number %1 to both %2 and %3")
                                         .arg(globalId)
                                         .arg(isotopologueName(earlier), isotopologueName(assignment));
                return lines.size();
            }
        }
        const auto sameIsotopologue = assignmentOfIsotopologue.constFind(qMakePair(molecule, isotopologue));
        if (sameIsotopologue != assignmentOfIsotopologue.constEnd()
            && assignments[std::size_t(*sameIsotopologue)].globalId != globalId) {
            m_globalIdsProblem = QStringLiteral("it gives %1 both the global numbers %2 and %3")
                                     .arg(isotopologueName(assignment))
                                     .arg(assignments[std::size_t(*sameIsotopologue)].globalId)
                                     .arg(globalId);
            return lines.size();
        }
        assignmentOfGlobalId.insert(globalId, int(assignments.size()));
        assignmentOfIsotopologue.insert(qMakePair(molecule, isotopologue), int(assignments.size()));
        assignments.push_back(assignment);
    }
    for (const Assignment &assignment : assignments) {
        Isotopologue &entry = m_params->molecule(assignment.molecule).isotopologues[std::size_t(assignment.isotopologue)];
        entry.globalId = assignment.globalId;
        entry.listedInGlobalIds = assignment.listed;
        ++m_globalIdsApplied;
    }
    if (m_globalIdsApplied == 0)
        m_globalIdsProblem = QStringLiteral("it assigns no global number to an isotopologue Kolvex knows");
    return lines.size();
}

QString ParameterFiles::readTipsFile(Isotopologue &isotopologue, TipsSource *source)
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
    if (!opened) {
        m_params->fillConstantPartitionSums(isotopologue);
        return problem;
    }
    // The compact copy serves a table only for the very text it was read from.
    const quint64 hash = ContentHash::of(text);
    CompactPartitionSums::Table kept;
    if (source && source->compact && source->compact->find(isotopologue.globalId, text.size(), hash, &kept)) {
        isotopologue.tipsLoaded = true;
        isotopologue.partitionSumsFirstTemperature = kept.firstTemperature;
        isotopologue.partitionSums = kept.values;
        source->table = kept;
        source->parsed = false;
        return QString();
    }
    if (source && source->compact) {
        emit notify(QStringLiteral("Loading downloaded TIPS data.\nLoading file: ") + path, 0.0, true, false);
    }
    TipsTable table = parseTipsText(text);
    if (!table.problem.isEmpty()) {
        m_params->fillConstantPartitionSums(isotopologue);
        return table.problem;
    }
    isotopologue.tipsLoaded = true;
    isotopologue.partitionSumsFirstTemperature = table.firstTemperature;
    isotopologue.partitionSums = PartitionSumTable(std::move(table.partitionSums));
    if (source) {
        source->table = {isotopologue.globalId, text.size(), hash, isotopologue.partitionSumsFirstTemperature,
                         isotopologue.partitionSums};
        source->parsed = true;
    }
    return QString();
}

void ParameterFiles::loadTipsTable(const Molecule &molecule, Isotopologue &isotopologue, TipsSource *source)
{
    const QString problem = readTipsFile(isotopologue, source);
    if (problem.isEmpty())
        return;
    const QString name = QFileInfo(tipsFilePath(isotopologue)).fileName();
    const QString shipped = QLatin1String("TIPS/") + name;
    QString outcome;
    QString why = QStringLiteral("the shipped copies are not installed");
    if (m_reinstallShipped && BundledFiles::reinstall(tipsFilePath(isotopologue), shipped, *m_writer, &why)
        && readTipsFile(isotopologue, source).isEmpty()) {
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
    // A table whose text is byte for byte the one the compact file was
    // written from comes from there; the others are read as text (and put
    // back from the shipped copies where they cannot be), and the compact
    // file is then written anew with every table.
    const CompactPartitionSums compact(compactTipsFilePath());
    if (!compact.problem().isEmpty())
        qDebug().noquote() << "The compact copy of the partition sums" << compactTipsFilePath()
                           << "is not used:" << compact.problem();
    std::vector<CompactPartitionSums::Table> tables;
    bool textRead = false;
    for (Molecule &molecule : m_params->molecules()) {
        for (Isotopologue &isotopologue : molecule.isotopologues) {
            TipsSource source;
            source.compact = &compact;
            loadTipsTable(molecule, isotopologue, &source);
            // Only a table that was read whole goes into the compact copy.
            if (!isotopologue.tipsLoaded)
                continue;
            tables.push_back(source.table);
            textRead = textRead || source.parsed;
        }
    }
    QString why;
    if (textRead && !CompactPartitionSums::write(compactTipsFilePath(), tables, *m_writer, &why))
        qWarning().noquote() << QStringLiteral("Cannot write %1: %2 The partition sums are read as text next time.")
                                    .arg(compactTipsFilePath(), why);

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
    if (opened)
        m_params->setTipsTemperatures(table.temperatures);
}
