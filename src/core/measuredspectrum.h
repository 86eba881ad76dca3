#pragma once

#include "core/xaxis.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <vector>

// A spectrum measured by an instrument, read from a text file: lines starting
// with '#' are comments (a header may state the units with "# x: cm-1|um|nm|Hz"
// and "# y: transmission|transmission%|absorption%|absorbance"), then rows of
// x, y and optionally the 1-sigma uncertainty of y, separated by spaces, tabs,
// commas or semicolons. x is kept as wavenumber (cm-1), y in the quantity the
// file states (cm-1 and transmission 0-1 unless it says otherwise).
//
// A file is taken whole or not at all: the first problem found ends the
// reading with a message that names the line and what is wrong, and the
// spectrum read before stays as it was.
class MeasuredSpectrum
{
public:
    // What y is. Absorbance is the optical depth (natural logarithm).
    enum Quantity : quint8 { Transmission, TransmissionPercent, AbsorptionPercent, Absorbance, QuantityCount };

    struct Point
    {
        double wavenumber;   // cm-1
        double y;
        double sigma;        // 1-sigma uncertainty of y; 0 when the file gives none
    };

    // The largest file read (a measured spectrum of a few million rows).
    static constexpr qint64 maxFileBytes = 256LL * 1024 * 1024;

    // Reads a regular file; a FIFO, folder or device is refused, not waited on.
    bool read(const QString &path, QString *problem);
    // Reads the text of a file; `name` is how messages call it.
    bool parse(const QByteArray &text, const QString &name, QString *problem);

    bool isEmpty() const { return m_points.empty(); }
    // The rows in increasing wavenumber (rows of equal wavenumber in file order).
    const std::vector<Point> &points() const { return m_points; }
    bool hasUncertainties() const { return m_hasUncertainties; }
    Quantity quantity() const { return m_quantity; }
    // The x unit the file stated, as an XAxis unit code.
    quint8 xUnit() const { return m_xUnit; }
    QString name() const { return m_name; }

    // Keeps the rows within [minWavenumber, maxWavenumber] and returns how many
    // were left out.
    std::size_t restrictTo(double minWavenumber, double maxWavenumber);

    // y of an optical depth tau in quantity q, and its derivative d y / d tau.
    static double fromOpticalDepth(double tau, Quantity q);
    static double slopeOverOpticalDepth(double tau, Quantity q);
    // The header word of a quantity ("transmission%") and the unit its values
    // are in ("1", "%", "%" or "1" for absorbance).
    static QString quantityName(Quantity q);
    static QString quantityUnit(Quantity q);

private:
    std::vector<Point> m_points;
    bool m_hasUncertainties = false;
    Quantity m_quantity = Transmission;
    quint8 m_xUnit = XAxis::Wavenumber;
    QString m_name;
};
