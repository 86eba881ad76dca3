#pragma once

#include "app/plotcurveset.h"
#include "calc/radiancecalculator.h"
#include "core/calculationresults.h"
#include "core/plotcurves.h"
#include "core/setting.h"
#include "core/spectrum.h"
#include "core/xaxis.h"
#include "core/yaxissettings.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVector>

#include <memory>
#include <vector>

class KolvexCore;

// Turns the results of a calculation into the curves the plot draws: totals,
// instrument-function totals, radiance, the chosen y quantity, the curves high
// enough to be seen, the automatic y scale, one curve after the other to the
// plot, and the same columns into the results table.
//
// The curves of the molecules are views of the calculation's arrays: a column
// of the table and a curve handed over read each value (converted into the
// quantity shown) when it is asked for. `spectrum` is filled only when it is
// read, `wnGrid` only when it is read after the grid or its unit changed, and
// the curves of a complete set for a plot (curves()) only when they are asked
// for, so an assembly that nobody draws (kolvex-console) copies no spectrum.
//
// The results are those the core holds (the last finished calculation, on the
// grid it was calculated on); a calculation that runs meanwhile changes none
// of them.
class SpectraResultsQml : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Spectrum spectrum READ spectrum NOTIFY spectrumChanged)
    Q_PROPERTY(QVector<double> wnGrid READ wnGrid NOTIFY wnGridChanged)
    Q_PROPERTY(double minX READ minX NOTIFY minXChanged)
    Q_PROPERTY(double maxX READ maxX NOTIFY maxXChanged)
    Q_PROPERTY(double minY READ minY NOTIFY minYChanged)
    Q_PROPERTY(double maxY READ maxY NOTIFY maxYChanged)
    Q_PROPERTY(QString xAxisTitle READ xAxisTitle NOTIFY xAxisTitleChanged)
    Q_PROPERTY(QString yAxisTitle READ yAxisTitle NOTIFY yAxisTitleChanged)
    Q_PROPERTY(QString lineColor READ lineColor NOTIFY lineColorChanged)
    Q_PROPERTY(int currSpecIndex READ currSpecIndex WRITE setCurrSpecIndex NOTIFY currSpecIndexChanged)
    Q_PROPERTY(bool showTotal READ showTotal WRITE setShowTotal NOTIFY showTotalChanged)
    Q_PROPERTY(int heightPoints READ heightPoints WRITE setHeightPoints NOTIFY heightPointsChanged)
    Q_PROPERTY(bool showPlainTotal READ showPlainTotal WRITE setShowPlainTotal NOTIFY showPlainTotalChanged)
    Q_PROPERTY(bool showInstrTotal READ showInstrTotal WRITE setShowInstrTotal NOTIFY showInstrTotalChanged)
    // The curves of the set last handed over, for a legend: a list of maps with
    // "name" and "color", the totals named as such.
    Q_PROPERTY(QVariantList legend READ legend NOTIFY legendChanged)
    // What the plot must say about the results it shows ("Cancelled at ...
    // cm-1", sample lines), a line each; empty for a complete calculation.
    Q_PROPERTY(QString resultMark READ resultMark NOTIFY resultMarkChanged)

public:
    // currSpecIndex values that frame a set of curves.
    static constexpr int setBegins = -1;
    static constexpr int setComplete = -2;

    explicit SpectraResultsQml(QObject *parent = nullptr, KolvexCore *core = nullptr);

    Spectrum spectrum() const;
    QVector<double> wnGrid() const;
    double minX() const;
    double maxX() const;
    double minY() const;
    double maxY() const;
    QString xAxisTitle() const;
    QString yAxisTitle() const { return m_yAxisTitle; }
    QString lineColor() const { return m_lineColor; }
    int currSpecIndex() const { return m_currSpecIndex; }
    void setCurrSpecIndex(int index);
    bool showTotal() const;
    void setShowTotal(bool show);
    int heightPoints() const { return m_heightPoints; }
    void setHeightPoints(int points);
    bool showPlainTotal() const { return m_showPlainTotal; }
    void setShowPlainTotal(bool show);
    bool showInstrTotal() const { return m_showInstrTotal; }
    void setShowInstrTotal(bool show);
    QVariantList legend() const { return m_legend; }
    QString resultMark() const;

    // The new axis maximum for a curve maximum m: the power of ten at or above
    // m, or half of it when m lies below that half.
    static double autoScaleMaximum(double maximum);

    // The curves of the set last completed, in the quantity and x unit shown,
    // for a plot: made when first asked for after curvesChanged(), then shared
    // and never changed.
    std::shared_ptr<const PlotCurves> curves() const;

    // The visibility tests of per-molecule curves (two plot points above the
    // bottom, or below the top, of the axis).
    bool passesRisingTest(double value) const;
    bool passesFallingTest(double value) const;

signals:
    void spectrumChanged();
    void wnGridChanged();
    void minXChanged();
    void maxXChanged();
    void minYChanged();
    void maxYChanged();
    void xAxisTitleChanged();
    void yAxisTitleChanged();
    void currSpecIndexChanged();
    void lineColorChanged();
    void showTotalChanged();
    void heightPointsChanged();
    void showPlainTotalChanged();
    void showInstrTotalChanged();
    void legendChanged();
    void resultMarkChanged();
    // A set of curves is complete: curves() gives it.
    void curvesChanged();

public slots:
    void setUpdateSpectra(bool updateScale, bool updateTotal);
    void updateShowTotal(bool newShowTotal);
    void updateShowPlainTotal(bool newShowPlainTotal);
    void updateShowInstrTotal(bool newShowInstrTotal);
    void updatePlot() { setUpdateSpectra(true, true); }
    void updatePlotMolsOnlyPreserveScale() { setUpdateSpectra(false, false); }
    void updatePlotAllPreserveScale() { setUpdateSpectra(false, true); }
    void updateXAxis();
    void updateYAxis();
    // A setting changed on the screens: the display follows those it shows;
    // before any calculation its axis shows the range the next one covers.
    void followSetting(Setting setting);

private:
    using ValueAt = CalculationResults::ValueAt;

    // Hands a curve of `rows` values read through valueAt to the plot.
    void handOver(std::size_t rows, ValueAt valueAt, double maximum, const QString &color, int index);
    // The colour of molecule `molecule`'s curve as the next of the set: the
    // user's own, or the palette's next.
    QString curveColor(int molecule) const;
    // Hands over an instrument-function total and adds its column: the points
    // the convolution did not compute (outside the window of `computed`) carry
    // no value to the plot, and the table notes where the column is valid.
    void handOverInstrumentTotal(const Spectrum &computed, bool converted, double maximum, const QString &color,
                                 const QString &title);
    void handOverMarker(int index);
    void startSet();
    void sumCrossSectionTotal();
    void sumOpticalDepthTotal();
    // Fits the current quantity's scale to a curve of this extreme value.
    void autoScale(double extreme);
    void updateLegend();
    void showMolecules();
    void showTotals();
    // Readers of the spectra as they are when read: a molecule without values,
    // and rows beyond an array, read as zero.
    ValueAt crossSectionOf(std::size_t molecule) const;
    ValueAt opticalDepthShownOf(std::size_t molecule) const;
    ValueAt radianceOf(std::size_t molecule) const;
    ValueAt valuesOf(const Spectrum *spectrum, bool converted) const;
    std::size_t gridSize() const;
    // The axis of the results shown: the last calculation's, or before any
    // calculation the axis being edited, in the unit shown.
    const XAxis &calculatedAxis() const;
    std::shared_ptr<const SpectrumValues> calculatedGrid() const;
    void completeSet();

    KolvexCore *m_core = nullptr;
    int m_currSpecIndex = setComplete;
    QString m_xAxisTitle;
    QString m_yAxisTitle;
    // The curve now handed over, and its values once read.
    std::size_t m_curveRows = 0;
    ValueAt m_curve;
    mutable Spectrum m_spectrum;
    mutable bool m_spectrumFilled = true;
    // The grid in the displayed unit, built when read after a change.
    std::shared_ptr<const SpectrumValues> m_wnGridSource;
    quint8 m_wnGridUnit = 0;
    mutable QVector<double> m_wnGrid;
    mutable bool m_wnGridFilled = true;
    double m_minX = 0.0;
    double m_maxX = 0.0;
    double m_minY = 0.0;
    double m_maxY = 0.0;
    QString m_lineColor;
    bool m_showTotal = false;
    int m_heightPoints = 400;
    bool m_showPlainTotal = true;
    bool m_showInstrTotal = true;
    RadianceCalculator m_radianceCalculator;
    QStringList m_shownColors;   // of the curves handed over since the set began
    // The curves handed over since the set began, and the set last completed.
    PlotCurveSet m_plotCurves;
    // The calculated axis in the unit shown, for the instrument function.
    XAxis m_shownAxis;
    QVariantList m_legend;
};
