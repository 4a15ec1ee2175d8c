#include "PositionPlot.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

// Decimals that tell the axis's labels apart over `span`.
int labelDecimals(double span)
{
    return span <= 0.0 ? 0 : std::clamp(2 - int(std::floor(std::log10(span))), 0, 6);
}

} // namespace

PositionPlot::PositionPlot(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

QSize PositionPlot::sizeHint() const
{
    return {420, 180};
}

QSize PositionPlot::minimumSizeHint() const
{
    return {240, 120};
}

void PositionPlot::addPoint(qint64 milliseconds, double position)
{
    m_points.append(QPointF(milliseconds, position));
    dropOldPoints();
    update();
}

void PositionPlot::clear()
{
    m_points.clear();
    update();
}

void PositionPlot::setScale(const UnitScale &scale)
{
    m_scale = scale;
    update();
}

void PositionPlot::dropOldPoints()
{
    const double oldest = m_points.last().x() - s_spanMs;
    const auto firstKept = std::find_if(m_points.begin(), m_points.end(),
                                        [oldest](const QPointF &point) { return point.x() >= oldest; });
    m_points.erase(m_points.begin(), firstKept);
}

QRectF PositionPlot::plotArea() const
{
    const QFontMetrics metrics(font());
    const double left = metrics.horizontalAdvance(QStringLiteral("-0000000")) + 8;
    const double bottom = metrics.height() + 6;
    return QRectF(left, 8, width() - left - 10, height() - bottom - 8);
}

void PositionPlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = plotArea();
    // In the scale's unit from here on.
    double low = 0, high = 0;
    if (!m_points.isEmpty()) {
        const auto [lowest, highest] = std::minmax_element(m_points.begin(), m_points.end(),
            [](const QPointF &a, const QPointF &b) { return a.y() < b.y(); });
        low = m_scale.toUnit(lowest->y());
        high = m_scale.toUnit(highest->y());
    }
    // The travel limits stay in sight: where the unit stands within them is the point of them.
    if (m_scale.travelMin)
        low = std::min(low, *m_scale.travelMin);
    if (m_scale.travelMax)
        high = std::max(high, *m_scale.travelMax);
    // A still motor gives a flat line in the middle, not a range of zero height.
    const double margin = std::max(m_scale.toUnit(10.0), (high - low) * 0.1);
    low -= margin;
    high += margin;
    drawAxes(painter, area, low, high);
    drawLimits(painter, area, low, high);
    drawCurve(painter, area, low, high);
}

void PositionPlot::drawAxes(QPainter &painter, const QRectF &area, double low, double high) const
{
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.drawRect(area);
    painter.setPen(palette().color(QPalette::Text));
    const QFontMetrics metrics(font());
    for (double fraction : {0.0, 0.5, 1.0}) {
        const double y = area.bottom() - fraction * area.height();
        const QString label = QString::number(low + fraction * (high - low), 'f', labelDecimals(high - low));
        painter.drawText(QRectF(0, y - metrics.height() / 2.0, area.left() - 6, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, label);
    }
    const QRectF below(area.left(), area.bottom() + 2, area.width(), metrics.height() + 4);
    painter.drawText(below, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("−60 s"));
    painter.drawText(below, Qt::AlignHCenter | Qt::AlignVCenter,
                     m_scale.isSteps() ? tr("position, full steps") : tr("position, %1").arg(m_scale.unit));
    painter.drawText(below, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("now"));
}

void PositionPlot::drawCurve(QPainter &painter, const QRectF &area, double low, double high) const
{
    if (m_points.isEmpty())
        return;
    const double newest = m_points.last().x();
    auto toArea = [&](const QPointF &point) {
        const double x = area.right() - (newest - point.x()) / s_spanMs * area.width();
        const double y = area.bottom() - (m_scale.toUnit(point.y()) - low) / (high - low) * area.height();
        return QPointF(x, y);
    };
    QPainterPath path(toArea(m_points.first()));
    for (const QPointF &point : m_points)
        path.lineTo(toArea(point));
    painter.setClipRect(area);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawPath(path);
}

void PositionPlot::drawLimits(QPainter &painter, const QRectF &area, double low, double high) const
{
    const QColor colour(0xc0, 0x39, 0x2b);
    const QFontMetrics metrics(font());
    const struct { const std::optional<double> &limit; QString name; } limits[] = {
        {m_scale.travelMin, tr("min %1 %2")}, {m_scale.travelMax, tr("max %1 %2")},
    };
    for (const auto &entry : limits) {
        if (!entry.limit)
            continue;
        const double y = area.bottom() - (*entry.limit - low) / (high - low) * area.height();
        painter.setPen(QPen(colour, 1.5, Qt::DashLine));
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(colour);
        // Below the upper line, above the lower one: inside the travel.
        const bool isMax = &entry.limit == &m_scale.travelMax;
        const QRectF label(area.left() + 4, isMax ? y + 1 : y - metrics.height() - 1, area.width() - 8, metrics.height());
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, entry.name.arg(*entry.limit).arg(m_scale.unit));
    }
}
