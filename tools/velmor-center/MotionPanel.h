// Motion requests for the selected unit; Stop stays enabled whatever else is. The fields are in
// the unit the selected unit's profile gives positions in (full steps without one); the requests
// are in full steps.
#ifndef VELMORCENTER_MOTIONPANEL_H
#define VELMORCENTER_MOTIONPANEL_H

#include "UnitScale.h"

#include <QGroupBox>

class QDoubleSpinBox;
class QPushButton;

class MotionPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit MotionPanel(QWidget *parent = nullptr);

    void setUnitAvailable(bool available);
    // Shows the fields in the scale's unit, keeping the distances they hold.
    void setScale(const UnitScale &scale);

signals:
    void motorOnRequested();
    void motorOffRequested();
    void moveByRequested(int steps);
    void moveToRequested(int position);
    void homeRequested();
    void zeroRequested();
    void stopRequested();

private:
    QDoubleSpinBox *distanceBox(const QString &name, int steps);
    QPushButton *button(const QString &name, const QString &text);
    int stepsOf(const QDoubleSpinBox *box) const;

    QList<QWidget *> m_unitWidgets;
    QList<QDoubleSpinBox *> m_distances;
    QDoubleSpinBox *m_jog = nullptr;
    UnitScale m_scale;
};

#endif
