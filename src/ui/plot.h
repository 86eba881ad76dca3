#pragma once

#include "core/plotcurves.h"
#include "core/spectrum.h"
#include "ui/plotlayout.h"
#include "ui/plotmath.h"

#include <QByteArray>
#include <QImage>
#include <QPointer>
#include <QQuickPaintedItem>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVector>

#include <memory>
#include <vector>

class MeasuredOverlay;
class MeasuredSpectrumQml;
class QPainter;
class SpectraResultsQml;

// The spectrum plot: a framed plot area with ticked and labelled axes, titles,
// an optional line of text above it and one polyline per spectrum in its own
// colour. Curves arrive one at a time through `spectrum` and `lineColor` while
// `currSpecIndex` says what they are (-1 a new set begins, -2 the set is
// complete). Pinch gestures zoom, drags pan, both inside the axis limits.
// `plotTitle` is drawn as a mark: what the curves are not (cancelled, sample
// lines). The mark and a legend of `legendSize` (which the window draws at
// `legendBox`) never cover a curve: each goes to a corner no curve passes
// through, or the plot area gives up room for it (PlotLayout).
//
// A plot of the results takes its curves from `curveSource` (the results
// model) instead: each complete set as one shared, unchanging snapshot, which
// it draws from without copying a value and keeps until the next set.
//
// A measured spectrum from `overlaySource` is drawn over the curves in the
// same way, as one snapshot, and its residuals in a panel under the plot area
// that shares its x range and zoom (ResidualPanel).
class Plot : public QQuickPaintedItem
{
    Q_OBJECT
    Q_PROPERTY(QString saveImage READ saveImage WRITE setSaveImage NOTIFY saveImageChanged)
    Q_PROPERTY(QString topString READ topString WRITE setTopString NOTIFY topStringChanged)
    Q_PROPERTY(Spectrum spectrum READ spectrum WRITE setSpectrum NOTIFY spectrumChanged)
    Q_PROPERTY(QObject *curveSource READ curveSource WRITE setCurveSource NOTIFY curveSourceChanged)
    Q_PROPERTY(QObject *overlaySource READ overlaySource WRITE setOverlaySource NOTIFY overlaySourceChanged)
    Q_PROPERTY(QVector<double> wnGrid READ wnGrid WRITE setWnGrid NOTIFY wnGridChanged)
    Q_PROPERTY(double minX READ minX WRITE setMinX NOTIFY minXChanged)
    Q_PROPERTY(double maxX READ maxX WRITE setMaxX NOTIFY maxXChanged)
    Q_PROPERTY(double minY READ minY WRITE setMinY NOTIFY minYChanged)
    Q_PROPERTY(double maxY READ maxY WRITE setMaxY NOTIFY maxYChanged)
    Q_PROPERTY(int xMinPadding READ xMinPadding WRITE setXMinPadding NOTIFY xMinPaddingChanged)
    Q_PROPERTY(int xMaxPadding READ xMaxPadding WRITE setXMaxPadding NOTIFY xMaxPaddingChanged)
    Q_PROPERTY(int yMinPadding READ yMinPadding WRITE setYMinPadding NOTIFY yMinPaddingChanged)
    Q_PROPERTY(int yMaxPadding READ yMaxPadding WRITE setYMaxPadding NOTIFY yMaxPaddingChanged)
    Q_PROPERTY(QString xAxisTitle READ xAxisTitle WRITE setXAxisTitle NOTIFY xAxisTitleChanged)
    Q_PROPERTY(QString yAxisTitle READ yAxisTitle WRITE setYAxisTitle NOTIFY yAxisTitleChanged)
    Q_PROPERTY(QString plotTitle READ plotTitle WRITE setPlotTitle NOTIFY plotTitleChanged)
    Q_PROPERTY(QSizeF legendSize READ legendSize WRITE setLegendSize NOTIFY legendSizeChanged)
    Q_PROPERTY(QRectF legendBox READ legendBox NOTIFY layoutChanged)
    Q_PROPERTY(QRectF markBox READ markBox NOTIFY layoutChanged)
    Q_PROPERTY(QString lineColor READ lineColor WRITE setLineColor NOTIFY lineColorChanged)
    Q_PROPERTY(int lineThickness READ lineThickness WRITE setLineThickness NOTIFY lineThicknessChanged)
    Q_PROPERTY(int numMinorXTicks READ numMinorXTicks WRITE setNumMinorXTicks NOTIFY numMinorXTicksChanged)
    Q_PROPERTY(int numMajorXTicks READ numMajorXTicks WRITE setNumMajorXTicks NOTIFY numMajorXTicksChanged)
    Q_PROPERTY(int numMinorYTicks READ numMinorYTicks WRITE setNumMinorYTicks NOTIFY numMinorYTicksChanged)
    Q_PROPERTY(int numMajorYTicks READ numMajorYTicks WRITE setNumMajorYTicks NOTIFY numMajorYTicksChanged)
    Q_PROPERTY(bool plotInverted READ plotInverted WRITE setPlotInverted NOTIFY plotInvertedChanged)
    Q_PROPERTY(int currSpecIndex READ currSpecIndex WRITE setCurrSpecIndex NOTIFY currSpecIndexChanged)
    Q_PROPERTY(bool fileWritingComplete READ fileWritingComplete WRITE setFileWritingComplete NOTIFY fileWritingCompleteChanged)
    Q_PROPERTY(double touchCenterX READ touchCenterX WRITE setTouchCenterX NOTIFY touchCenterXChanged)
    Q_PROPERTY(double touchCenterY READ touchCenterY WRITE setTouchCenterY NOTIFY touchCenterYChanged)
    Q_PROPERTY(double touchStartX READ touchStartX WRITE setTouchStartX NOTIFY touchStartXChanged)
    Q_PROPERTY(double touchStartY READ touchStartY WRITE setTouchStartY NOTIFY touchStartYChanged)
    Q_PROPERTY(double touchEndX READ touchEndX WRITE setTouchEndX NOTIFY touchEndXChanged)
    Q_PROPERTY(double touchEndY READ touchEndY WRITE setTouchEndY NOTIFY touchEndYChanged)
    Q_PROPERTY(double scale READ scale WRITE setScale NOTIFY scaleChanged)
    Q_PROPERTY(bool isHorizontalPinch READ isHorizontalPinch WRITE setIsHorizontalPinch NOTIFY isHorizontalPinchChanged)
    Q_PROPERTY(double fontPointSize READ fontPointSize WRITE setFontPointSize NOTIFY fontPointSizeChanged)
    Q_PROPERTY(int xHeight READ xHeight NOTIFY xHeightChanged)
    Q_PROPERTY(bool enableRulers READ enableRulers WRITE setEnableRulers NOTIFY enableRulersChanged)
    Q_PROPERTY(bool plotInProgress READ plotInProgress NOTIFY plotInProgressChanged)

public:
    explicit Plot(QQuickItem *parent = nullptr);

    void paint(QPainter *painter) override;

    QString saveImage() const { return m_saveImage; }
    void setSaveImage(const QString &path);
    QString topString() const { return m_topString; }
    void setTopString(const QString &text);
    Spectrum spectrum() const;
    void setSpectrum(const Spectrum &spectrum);
    QVector<double> wnGrid() const;
    QObject *curveSource() const;
    void setCurveSource(QObject *source);
    QObject *overlaySource() const;
    void setOverlaySource(QObject *source);
    void setWnGrid(const QVector<double> &grid);
    double minX() const { return m_limitX.from; }
    void setMinX(double value);
    double maxX() const { return m_limitX.to; }
    void setMaxX(double value);
    double minY() const { return m_limitY.from; }
    void setMinY(double value);
    double maxY() const { return m_limitY.to; }
    void setMaxY(double value);
    int xMinPadding() const { return m_xMinPadding; }
    void setXMinPadding(int value);
    int xMaxPadding() const { return m_xMaxPadding; }
    void setXMaxPadding(int value);
    int yMinPadding() const { return m_yMinPadding; }
    void setYMinPadding(int value);
    int yMaxPadding() const { return m_yMaxPadding; }
    void setYMaxPadding(int value);
    QString xAxisTitle() const { return m_xAxisTitle; }
    void setXAxisTitle(const QString &title);
    QString yAxisTitle() const { return m_yAxisTitle; }
    void setYAxisTitle(const QString &title);
    QString plotTitle() const { return m_plotTitle; }
    void setPlotTitle(const QString &title);
    QSizeF legendSize() const { return m_legendSize; }
    void setLegendSize(const QSizeF &size);
    // Where the last paint put the legend and the mark (item pixels).
    QRectF legendBox() const { return m_layout.legend; }
    QRectF markBox() const { return m_layout.mark; }
    QString lineColor() const { return m_colors.isEmpty() ? QString() : m_colors.last(); }
    void setLineColor(const QString &color);
    int lineThickness() const { return m_lineThickness; }
    void setLineThickness(int value);
    int numMinorXTicks() const { return m_numMinorXTicks; }
    void setNumMinorXTicks(int value);
    int numMajorXTicks() const { return m_numMajorXTicks; }
    void setNumMajorXTicks(int value);
    int numMinorYTicks() const { return m_numMinorYTicks; }
    void setNumMinorYTicks(int value);
    int numMajorYTicks() const { return m_numMajorYTicks; }
    void setNumMajorYTicks(int value);
    bool plotInverted() const { return m_plotInverted; }
    void setPlotInverted(bool inverted);
    int currSpecIndex() const { return m_currSpecIndex; }
    void setCurrSpecIndex(int index);
    bool fileWritingComplete() const { return m_fileWritingComplete; }
    void setFileWritingComplete(bool complete);
    double touchCenterX() const { return m_touchCenterX; }
    void setTouchCenterX(double value);
    double touchCenterY() const { return m_touchCenterY; }
    void setTouchCenterY(double value);
    double touchStartX() const { return m_touchStartX; }
    void setTouchStartX(double value);
    double touchStartY() const { return m_touchStartY; }
    void setTouchStartY(double value);
    double touchEndX() const { return m_touchEndX; }
    void setTouchEndX(double value);
    double touchEndY() const { return m_touchEndY; }
    void setTouchEndY(double value);
    double scale() const { return m_scale; }
    void setScale(double value);
    bool isHorizontalPinch() const { return m_isHorizontalPinch; }
    void setIsHorizontalPinch(bool horizontal);
    double fontPointSize() const { return m_fontPointSize; }
    void setFontPointSize(double size);
    int xHeight() const;
    bool enableRulers() const { return m_enableRulers; }
    void setEnableRulers(bool enable);
    bool plotInProgress() const { return m_plotInProgress; }

    Q_INVOKABLE void updatePlot() { update(); }
    Q_INVOKABLE void addTopString(const QString &topString);
    // Shows the whole range between the axis limits again.
    Q_INVOKABLE void resetZoom();
    // What the plot shows as a report image of a fixed size, whatever the
    // screen (ReportImage).
    Q_INVOKABLE QImage reportImage(const QStringList &lines, const QVariantList &legend) const;
    // The same report as SVG and PDF documents (vector, text as text).
    Q_INVOKABLE QByteArray reportSvg(const QStringList &lines, const QVariantList &legend) const;
    Q_INVOKABLE QByteArray reportPdf(const QStringList &lines, const QVariantList &legend) const;

    // What the plot holds and shows, for the tests and the saving side.
    int spectrumCount() const;
    const SpectrumValues &spectrumValues(int index) const;
    // The envelope of a curve of the curve source; null for a curve handed over.
    const CurveEnvelope *curveEnvelope(int index) const;
    QStringList lineColors() const;
    // The measured curve and its residuals drawn now; null when there is none.
    const MeasuredOverlay *measuredOverlay() const { return m_overlay.get(); }
    // The x value of every point of the curves that lie on the grid.
    const std::vector<double> &gridValues() const;
    PlotMath::Range visibleX() const { return m_visibleX; }
    PlotMath::Range visibleY() const { return m_visibleY; }
    // The plot area of the current size (the one the next paint uses).
    QRectF plotArea() const;

signals:
    void spectrumChanged();
    void curveSourceChanged();
    void overlaySourceChanged();
    void wnGridChanged();
    void minXChanged();
    void maxXChanged();
    void minYChanged();
    void maxYChanged();
    void touchCenterXChanged();
    void touchCenterYChanged();
    void touchStartXChanged();
    void touchStartYChanged();
    void touchEndXChanged();
    void touchEndYChanged();
    void scaleChanged();
    void isHorizontalPinchChanged();
    void xMinPaddingChanged();
    void xMaxPaddingChanged();
    void yMinPaddingChanged();
    void yMaxPaddingChanged();
    void xAxisTitleChanged();
    void yAxisTitleChanged();
    void plotTitleChanged();
    void legendSizeChanged();
    void layoutChanged();
    void lineColorChanged();
    void lineThicknessChanged();
    void numMinorXTicksChanged();
    void numMajorXTicksChanged();
    void numMinorYTicksChanged();
    void numMajorYTicksChanged();
    void plotInvertedChanged();
    void currSpecIndexChanged();
    void saveImageChanged();
    void topStringChanged();
    void fileWritingCompleteChanged();
    void xHeightChanged();
    void plotInProgressChanged();
    void fontPointSizeChanged();
    void enableRulersChanged();

protected:
    void geometryChanged(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    void announcePaint();
    void announceLayout();
    void takeCurves();
    void takeOverlay();
    void panX();
    void panY();

    QString m_saveImage;
    QString m_topString;
    bool m_topStringPending = false;
    std::vector<SpectrumValues> m_spectra;
    std::vector<std::vector<double>> m_ownX;   // per curve; empty: the curve lies on wnGrid
    QPointer<SpectraResultsQml> m_curveSource;
    std::shared_ptr<const PlotCurves> m_curves;   // from the curve source
    QPointer<MeasuredSpectrumQml> m_overlaySource;
    std::shared_ptr<const MeasuredOverlay> m_overlay;
    QStringList m_curveColors;
    double m_lastMaximum = 0.0;
    QStringList m_colors;
    std::vector<double> m_grid;
    PlotMath::Range m_limitX{0.0, 1.0};
    PlotMath::Range m_limitY{0.0, 1.0};
    PlotMath::Range m_visibleX{0.0, 1.0};
    PlotMath::Range m_visibleY{0.0, 1.0};
    PlotMath::Range m_startX{0.0, 1.0};
    PlotMath::Range m_startY{0.0, 1.0};
    int m_xMinPadding = 0;
    int m_xMaxPadding = 0;
    int m_yMinPadding = 0;
    int m_yMaxPadding = 0;
    QString m_xAxisTitle;
    QString m_yAxisTitle;
    QString m_plotTitle;
    QSizeF m_legendSize;
    PlotLayout::Boxes m_layout;
    QRectF m_layoutBase;   // the plot area m_layout was made for
    int m_lineThickness = 1;
    int m_numMinorXTicks = 5;
    int m_numMajorXTicks = 5;
    int m_numMinorYTicks = 5;
    int m_numMajorYTicks = 5;
    bool m_plotInverted = false;
    int m_currSpecIndex = -2;
    bool m_fileWritingComplete = false;
    double m_touchCenterX = 0.0;
    double m_touchCenterY = 0.0;
    double m_touchStartX = 0.0;
    double m_touchStartY = 0.0;
    double m_touchEndX = 0.0;
    double m_touchEndY = 0.0;
    double m_scale = 1.0;
    bool m_isHorizontalPinch = true;
    double m_fontPointSize = 10.0;
    bool m_enableRulers = false;
    bool m_plotInProgress = false;
    int m_lastXHeight = 0;
};
