#include "ui/colorplot.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

template <typename T, typename Emit>
void store(T &member, const T &value, Emit emitter)
{
    if (member == value)
        return;
    member = value;
    emitter();
}

} // namespace

ColorPlot::ColorPlot(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
    m_hueValue = std::max(0, m_color.hslHue());
}

QRectF ColorPlot::bounds(double margin) const
{
    return QRectF(margin, margin, std::max(0.0, width() - 2.0 * margin), std::max(0.0, height() - 2.0 * margin));
}

QRectF ColorPlot::barRect() const
{
    const QRectF all = bounds(0.0);
    const double barHeight = std::min(double(m_colorBarHeight), all.height());
    return QRectF(all.left(), all.bottom() - barHeight, all.width(), barHeight);
}

QRectF ColorPlot::fieldRect() const
{
    const QRectF all = bounds(0.0);
    const double bottom = std::max(all.top(), barRect().top() - 5.0);
    return QRectF(all.left(), all.top(), all.width(), bottom - all.top());
}

int ColorPlot::lightnessAt(double row, double h, bool leftHalf)
{
    if (h <= 0.0)
        return 128;
    const double fraction = (h - row) / h;
    const double lightness = leftHalf ? 254.0 - fraction * 126.0 : fraction * 126.0 + 2.0;
    return std::max(0, std::min(255, int(lightness)));
}

void ColorPlot::paint(QPainter *painter)
{
    const QRectF field = fieldRect();
    const QRectF bar = barRect();
    const double h = field.height();
    const int hue = std::max(0, std::min(359, int(m_hueValue)));
    const int saturation = std::max(0, m_color.hslSaturation());
    const double middle = field.left() + field.width() / 2.0;

    for (int i = 0; i < int(h); ++i) {
        const double y = field.top() + i;
        painter->setPen(QColor::fromHsl(hue, saturation, lightnessAt(i, h, true), 255));
        painter->drawLine(QPointF(field.left(), y), QPointF(middle, y));
        painter->setPen(QColor::fromHsl(hue, saturation, lightnessAt(i, h, false), 255));
        painter->drawLine(QPointF(middle, y), QPointF(field.right(), y));
    }

    // The marker of the current colour, on the half and row of its lightness.
    if (h > 0.0) {
        const int lightness = m_color.lightness();
        QPen pen(Qt::white, 0.35 * m_selectorWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        painter->setPen(pen);
        painter->setBrush(m_color);
        double row;
        double left;
        if (lightness <= 128) {
            row = h - (lightness - 2) * h / 126.0;
            left = middle + 0.25 * m_selectorWidth;
        } else {
            row = h - (254 - lightness) * h / 126.0;
            left = field.left() + 0.25 * m_selectorWidth;
        }
        row = std::max(0.0, std::min(row, h));
        painter->drawRect(QRectF(left, field.top() + row - m_selectorWidth / 2.0, m_selectorWidth, m_selectorWidth));
        painter->setBrush(Qt::NoBrush);
    }

    const int w = int(bar.width());
    if (w > 0 && bar.height() > 0.0) {
        painter->setPen(Qt::black);
        painter->drawLine(QPointF(bar.left(), bar.top()), QPointF(bar.left(), bar.bottom()));
        for (int i = 1; i < w; ++i) {
            painter->setPen(QColor::fromHsv(359 - (w - i) * 359 / w, 255, 255, 255));
            painter->drawLine(QPointF(bar.left() + i, bar.top()), QPointF(bar.left() + i, bar.bottom()));
        }
    }
}

void ColorPlot::setColor(const QString &name)
{
    const QColor color(name);
    if (!color.isValid() || color.name() == m_color.name())
        return;
    m_color = color;
    m_hueValue = std::max(0, m_color.hslHue());
    emit hueValueChanged();
    emit colorChanged();
    update();
}

void ColorPlot::setHueValue(double hue)
{
    if (hue == m_hueValue || !std::isfinite(hue))
        return;
    m_hueValue = std::max(0.0, std::min(359.0, hue));
    const int saturation = m_hueValue == 0.0 ? 0 : 255;
    m_color = QColor::fromHsl(int(m_hueValue), saturation, m_color.lightness(), m_color.alpha());
    emit hueValueChanged();
    emit colorChanged();
    update();
}

void ColorPlot::setTouchX(int x)
{
    const QRectF field = fieldRect();
    if (x == m_x || x < field.left() || x >= field.right())
        return;
    m_x = x;
    emit touchXChanged();
}

void ColorPlot::setTouchY(int y)
{
    const QRectF field = fieldRect();
    if (y == m_y || y < field.top() || y >= field.bottom())
        return;
    m_y = y;
    emit touchYChanged();
    const bool leftHalf = m_x < field.left() + field.width() / 2.0;
    const int lightness = lightnessAt(y - field.top(), field.height(), leftHalf);
    m_color = QColor::fromHsl(int(m_hueValue), std::max(0, m_color.hslSaturation()), lightness, 255);
    emit colorChanged();
    update();
}

void ColorPlot::setXMinPadding(int value) { store(m_xMinPadding, value, [this] { emit xMinPaddingChanged(); }); }
void ColorPlot::setXMaxPadding(int value) { store(m_xMaxPadding, value, [this] { emit xMaxPaddingChanged(); }); }
void ColorPlot::setYMinPadding(int value) { store(m_yMinPadding, value, [this] { emit yMinPaddingChanged(); }); }
void ColorPlot::setYMaxPadding(int value) { store(m_yMaxPadding, value, [this] { emit yMaxPaddingChanged(); }); }
void ColorPlot::setSelectorWidth(int value) { store(m_selectorWidth, value, [this] { emit selectorWidthChanged(); update(); }); }
void ColorPlot::setColorBarHeight(int value) { store(m_colorBarHeight, value, [this] { emit colorBarHeightChanged(); update(); }); }
