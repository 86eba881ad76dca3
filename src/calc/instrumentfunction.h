#pragma once

#include "core/optionlists.h"

#include <QObject>
#include <QString>

#include <vector>

class XAxis;
struct Spectrum;

// Smooths a total spectrum with the response of a measuring instrument: a kernel
// of one of eight shapes on the calculation grid, normalised to unit sum.
class InstrumentFunction : public QObject
{
    Q_OBJECT

public:
    enum Type : quint8 { None, Rectangular, Triangular, Gaussian, Dispersion, Diffraction, Michelson, Cosine, TypeCount };
    static_assert(TypeCount == OptionLists::count(OptionLists::instrumentFunctions), "a type per listed function");

    explicit InstrumentFunction(QObject *parent = nullptr);

    quint8 type() const { return m_type; }
    void setType(quint8 type) { m_type = type; }
    double resolution() const { return m_resolution; }
    void setResolution(double resolution) { m_resolution = resolution; }
    double wing() const { return m_wing; }
    void setWing(double wing) { m_wing = wing; }
    XAxis *xAxis() const { return m_xAxis; }
    void setXAxis(XAxis *xAxis) { m_xAxis = xAxis; }

    static QString typeLabel(int type);

    // The normalised kernel for a grid step, or an empty vector (with the reason
    // in `problem`) when no kernel can be built. It holds 2h + 1 values at the
    // offsets -h ... h grid steps, h the whole steps within the wing: the value
    // at offset 0 is at index h, and kernel[h - k] == kernel[h + k].
    std::vector<double> kernel(double gridStep, QString *problem = nullptr) const;

    // Convolves source.values into target.values; the caller sets the maximum.
    // The kernel does not fit around the first and last points: target.windowStart
    // and target.windowEnd give the points that were computed (the others are 0,
    // and windowEnd < windowStart when none was).
    void convolve(const Spectrum &source, Spectrum &target);

    static QString resolutionTooFineText();

signals:
    void openOkDialog(const QString &text);

private:
    quint8 m_type = Gaussian;
    double m_resolution = 3.0;
    double m_wing = 10.0;
    XAxis *m_xAxis = nullptr;
};
