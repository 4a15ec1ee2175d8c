// The selected unit's position over the last minute, drawn with QPainter, in the unit of its
// loaded profile, with the profile's travel limits as lines.
#ifndef VELMORCENTER_POSITIONPLOT_H
#define VELMORCENTER_POSITIONPLOT_H

#include "UnitScale.h"

#include <QPointF>
#include <QVector>
#include <QWidget>

class PositionPlot : public QWidget
{
    Q_OBJECT
public:
    static constexpr qint64 s_spanMs = 60000;

    explicit PositionPlot(QWidget *parent = nullptr);

    // x: milliseconds on a steady clock, y: full steps.
    void addPoint(qint64 milliseconds, double position);
    void clear();
    void setScale(const UnitScale &scale);
    const UnitScale &scale() const { return m_scale; }
    int pointCount() const { return m_points.size(); }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void dropOldPoints();
    QRectF plotArea() const;
    void drawAxes(class QPainter &painter, const QRectF &area, double low, double high) const;
    void drawCurve(class QPainter &painter, const QRectF &area, double low, double high) const;
    void drawLimits(class QPainter &painter, const QRectF &area, double low, double high) const;

    QVector<QPointF> m_points;  // y in full steps
    UnitScale m_scale;
};

#endif
