#pragma once

#include <QColor>
#include <QQuickPaintedItem>
#include <QRectF>
#include <QString>

class QPainter;

// The colour picker: a lightness field for the current hue above a hue bar.
// Touching the field (x, then y) picks the lightness, the screen maps a touch
// on the bar to `hueValue`; the chosen colour is published as a colour name.
// The touch point is `touchX`/`touchY`: the item's own x and y are its position.
class ColorPlot : public QQuickPaintedItem
{
    Q_OBJECT
    Q_PROPERTY(QString color READ color WRITE setColor NOTIFY colorChanged)
    Q_PROPERTY(int xMinPadding READ xMinPadding WRITE setXMinPadding NOTIFY xMinPaddingChanged)
    Q_PROPERTY(int xMaxPadding READ xMaxPadding WRITE setXMaxPadding NOTIFY xMaxPaddingChanged)
    Q_PROPERTY(int yMinPadding READ yMinPadding WRITE setYMinPadding NOTIFY yMinPaddingChanged)
    Q_PROPERTY(int yMaxPadding READ yMaxPadding WRITE setYMaxPadding NOTIFY yMaxPaddingChanged)
    Q_PROPERTY(int selectorWidth READ selectorWidth WRITE setSelectorWidth NOTIFY selectorWidthChanged)
    Q_PROPERTY(int colorBarHeight READ colorBarHeight WRITE setColorBarHeight NOTIFY colorBarHeightChanged)
    Q_PROPERTY(double hueValue READ hueValue WRITE setHueValue NOTIFY hueValueChanged)
    Q_PROPERTY(int touchX READ touchX WRITE setTouchX NOTIFY touchXChanged)
    Q_PROPERTY(int touchY READ touchY WRITE setTouchY NOTIFY touchYChanged)

public:
    explicit ColorPlot(QQuickItem *parent = nullptr);

    void paint(QPainter *painter) override;

    QString color() const { return m_color.name(); }
    void setColor(const QString &name);
    int xMinPadding() const { return m_xMinPadding; }
    void setXMinPadding(int value);
    int xMaxPadding() const { return m_xMaxPadding; }
    void setXMaxPadding(int value);
    int yMinPadding() const { return m_yMinPadding; }
    void setYMinPadding(int value);
    int yMaxPadding() const { return m_yMaxPadding; }
    void setYMaxPadding(int value);
    int selectorWidth() const { return m_selectorWidth; }
    void setSelectorWidth(int value);
    int colorBarHeight() const { return m_colorBarHeight; }
    void setColorBarHeight(int value);
    double hueValue() const { return m_hueValue; }
    void setHueValue(double hue);
    int touchX() const { return m_x; }
    void setTouchX(int x);
    int touchY() const { return m_y; }
    void setTouchY(int y);

    // The lightness field and the hue bar of the current size.
    QRectF fieldRect() const;
    QRectF barRect() const;
    // Lightness of row `row` of a field of height h, in the left (light) or right half.
    static int lightnessAt(double row, double h, bool leftHalf);

signals:
    void colorChanged();
    void xMinPaddingChanged();
    void xMaxPaddingChanged();
    void yMinPaddingChanged();
    void yMaxPaddingChanged();
    void selectorWidthChanged();
    void colorBarHeightChanged();
    void hueValueChanged();
    void touchXChanged();
    void touchYChanged();

private:
    QRectF bounds(double margin) const;

    QColor m_color = QColor(QStringLiteral("#ff0000"));
    double m_hueValue = 0.0;
    int m_xMinPadding = 0;
    int m_xMaxPadding = 0;
    int m_yMinPadding = 0;
    int m_yMaxPadding = 0;
    int m_selectorWidth = 20;
    int m_colorBarHeight = 40;
    int m_x = -1;
    int m_y = -1;
};
