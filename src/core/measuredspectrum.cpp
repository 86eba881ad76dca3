#include "core/measuredspectrum.h"

#include "core/regularfile.h"

#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

// The fields of a data row. Runs of spaces and tabs separate fields, and so
// does one comma or semicolon with any spaces around it; two of those with
// nothing between them leave a field empty, which is an error. One separator
// at the end of a row (as spreadsheets write) is allowed.
bool splitFields(const QString &row, QStringList *fields, QString *problem)
{
    QString field;
    bool separatorPending = false;   // a comma or semicolon since the last field
    bool anyField = false;
    const auto isBlank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    const auto isMark = [](QChar c) { return c == QLatin1Char(',') || c == QLatin1Char(';'); };
    for (int i = 0; i <= row.size(); ++i) {
        const QChar c = i < row.size() ? row.at(i) : QLatin1Char(' ');
        if (!isBlank(c) && !isMark(c)) {
            field.append(c);
            continue;
        }
        if (!field.isEmpty()) {
            fields->append(field);
            field.clear();
            anyField = true;
            separatorPending = false;
        }
        if (isMark(c)) {
            if (separatorPending || !anyField) {
                *problem = QStringLiteral("an empty field (a separator with no number before it)");
                return false;
            }
            separatorPending = true;
        }
    }
    return true;
}

// The x unit of a header word, or -1.
int xUnitOf(const QString &word)
{
    if (word == QLatin1String("cm-1") || word == QLatin1String("cm^-1") || word == QLatin1String("1/cm"))
        return XAxis::Wavenumber;
    if (word == QLatin1String("um") || word == QStringLiteral("\u00b5m") || word == QLatin1String("micron"))
        return XAxis::WavelengthMicron;
    if (word == QLatin1String("nm"))
        return XAxis::WavelengthNm;
    if (word == QLatin1String("hz"))
        return XAxis::FrequencyHz;
    return -1;
}

int quantityOf(QString word)
{
    word.remove(QLatin1Char(' '));
    if (word == QLatin1String("transmission"))
        return MeasuredSpectrum::Transmission;
    if (word == QLatin1String("transmission%"))
        return MeasuredSpectrum::TransmissionPercent;
    if (word == QLatin1String("absorption%"))
        return MeasuredSpectrum::AbsorptionPercent;
    if (word == QLatin1String("absorbance") || word == QLatin1String("opticaldepth"))
        return MeasuredSpectrum::Absorbance;
    return -1;
}

} // namespace

bool MeasuredSpectrum::read(const QString &path, QString *problem)
{
    QByteArray content;
    QString why;
    const QString name = QFileInfo(path).fileName();
    if (!RegularFile::read(path, maxFileBytes, &content, &why)) {
        *problem = QStringLiteral("The measured spectrum %1 cannot be read: %2").arg(path, why);
        return false;
    }
    return parse(content, name, problem);
}

bool MeasuredSpectrum::parse(const QByteArray &text, const QString &name, QString *problem)
{
    const auto fail = [problem, &name](int line, const QString &what) {
        *problem = QStringLiteral("%1, line %2: %3. Nothing was loaded.").arg(name).arg(line).arg(what);
        return false;
    };
    if (text.contains('\0')) {
        *problem = QStringLiteral("%1 is not a text file (it holds NUL bytes). Nothing was loaded.").arg(name);
        return false;
    }
    QString content = QString::fromUtf8(text);
    if (content.startsWith(QChar(0xfeff)))
        content.remove(0, 1);
    const QVector<QStringRef> lines = content.splitRef(QLatin1Char('\n'));

    std::vector<Point> points;
    int columns = 0;
    int firstDataLine = 0;
    int xUnit = -1;
    int quantity = -1;
    int xUnitLine = 0;
    int quantityLine = 0;
    const QLocale c = QLocale::c();
    for (int index = 0; index < lines.size(); ++index) {
        const int lineNumber = index + 1;
        const QString row = lines.at(index).toString().trimmed();
        if (row.isEmpty())
            continue;
        if (row.startsWith(QLatin1Char('#'))) {
            const QString comment = row.mid(1).trimmed();
            const QString key = comment.left(2).toLower();
            if (key != QLatin1String("x:") && key != QLatin1String("y:"))
                continue;
            const QString word = comment.mid(2).trimmed().toLower();
            const bool isX = key == QLatin1String("x:");
            if (firstDataLine)
                return fail(lineNumber, QStringLiteral("the %1 unit is stated after the data rows it would apply to "
                                                       "(they begin on line %2)")
                                            .arg(isX ? QStringLiteral("x") : QStringLiteral("y"))
                                            .arg(firstDataLine));
            const int code = isX ? xUnitOf(word) : quantityOf(word);
            if (code < 0)
                return fail(lineNumber, isX ? QStringLiteral("unknown x unit \"%1\" (cm-1, um, nm or Hz)").arg(word)
                                            : QStringLiteral("unknown y quantity \"%1\" (transmission, "
                                                             "transmission%, absorption% or absorbance)")
                                                  .arg(word));
            int &stated = isX ? xUnit : quantity;
            int &statedLine = isX ? xUnitLine : quantityLine;
            if (stated >= 0 && stated != code)
                return fail(lineNumber, QStringLiteral("the %1 unit \"%2\" contradicts the one on line %3")
                                            .arg(isX ? QStringLiteral("x") : QStringLiteral("y"), word)
                                            .arg(statedLine));
            stated = code;
            statedLine = lineNumber;
            continue;
        }

        QStringList fields;
        QString why;
        if (!splitFields(row, &fields, &why))
            return fail(lineNumber, why);
        if (fields.size() < 2 || fields.size() > 3)
            return fail(lineNumber, QStringLiteral("%1 number(s) where x, y and optionally the uncertainty of y "
                                                   "belong (2 or 3)")
                                        .arg(fields.size()));
        if (columns && fields.size() != columns)
            return fail(lineNumber, QStringLiteral("%1 numbers, but the rows before have %2 (line %3): "
                                                   "every row needs the uncertainty, or none")
                                        .arg(fields.size())
                                        .arg(columns)
                                        .arg(firstDataLine));
        double values[3] = {0.0, 0.0, 0.0};
        static const char *const what[3] = {"x", "y", "the uncertainty"};
        for (int f = 0; f < fields.size(); ++f) {
            bool ok = false;
            values[f] = c.toDouble(fields.at(f), &ok);
            if (!ok)
                return fail(lineNumber, QStringLiteral("\"%1\" (%2) is not a number").arg(fields.at(f),
                                                                                         QLatin1String(what[f])));
            if (!std::isfinite(values[f]))
                return fail(lineNumber, QStringLiteral("%1 is not a finite number").arg(QLatin1String(what[f])));
        }
        const quint8 unit = quint8(xUnit < 0 ? XAxis::Wavenumber : xUnit);
        if (unit == XAxis::Wavenumber ? values[0] < 0.0 : !(values[0] > 0.0))
            return fail(lineNumber, QStringLiteral("x = %1 %2 is not a position in a spectrum")
                                        .arg(fields.at(0), XAxis::unitName(unit)));
        if (fields.size() == 3 && !(values[2] > 0.0))
            return fail(lineNumber, QStringLiteral("the uncertainty %1 is not above zero").arg(fields.at(2)));
        if (!firstDataLine) {
            firstDataLine = lineNumber;
            columns = fields.size();
        }
        points.push_back({XAxis::toWavenumber(values[0], unit), values[1], columns == 3 ? values[2] : 0.0});
    }
    if (points.empty()) {
        *problem = QStringLiteral("%1 holds no data rows (x and y, separated by spaces, tabs, commas or "
                                  "semicolons). Nothing was loaded.")
                       .arg(name);
        return false;
    }
    std::stable_sort(points.begin(), points.end(),
                     [](const Point &a, const Point &b) { return a.wavenumber < b.wavenumber; });
    m_points.swap(points);
    m_hasUncertainties = columns == 3;
    m_quantity = Quantity(quantity < 0 ? Transmission : quantity);
    m_xUnit = quint8(xUnit < 0 ? XAxis::Wavenumber : xUnit);
    m_name = name;
    return true;
}

std::size_t MeasuredSpectrum::restrictTo(double minWavenumber, double maxWavenumber)
{
    const std::size_t before = m_points.size();
    m_points.erase(std::remove_if(m_points.begin(), m_points.end(),
                                  [minWavenumber, maxWavenumber](const Point &p) {
                                      return !(p.wavenumber >= minWavenumber && p.wavenumber <= maxWavenumber);
                                  }),
                   m_points.end());
    return before - m_points.size();
}

double MeasuredSpectrum::fromOpticalDepth(double tau, Quantity q)
{
    switch (q) {
    case Transmission: return std::exp(-tau);
    case TransmissionPercent: return 100.0 * std::exp(-tau);
    case AbsorptionPercent: return 100.0 * (1.0 - std::exp(-tau));
    default: return tau;
    }
}

double MeasuredSpectrum::slopeOverOpticalDepth(double tau, Quantity q)
{
    switch (q) {
    case Transmission: return -std::exp(-tau);
    case TransmissionPercent: return -100.0 * std::exp(-tau);
    case AbsorptionPercent: return 100.0 * std::exp(-tau);
    default: return 1.0;
    }
}

QString MeasuredSpectrum::quantityName(Quantity q)
{
    switch (q) {
    case Transmission: return QStringLiteral("transmission");
    case TransmissionPercent: return QStringLiteral("transmission%");
    case AbsorptionPercent: return QStringLiteral("absorption%");
    default: return QStringLiteral("absorbance");
    }
}

QString MeasuredSpectrum::quantityUnit(Quantity q)
{
    return q == TransmissionPercent || q == AbsorptionPercent ? QStringLiteral("%") : QStringLiteral("1");
}
