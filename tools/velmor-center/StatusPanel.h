// The selected unit's position, readiness and motor state, and its position plot, in the unit
// its loaded profile gives positions in.
#ifndef VELMORCENTER_STATUSPANEL_H
#define VELMORCENTER_STATUSPANEL_H

#include "UnitScale.h"
#include "UnitStatus.h"

#include <QElapsedTimer>
#include <QGroupBox>

class PositionPlot;
class QLabel;

class StatusPanel : public QGroupBox
{
    Q_OBJECT
public:
    enum class Motor { Unknown, On, Off };

    explicit StatusPanel(QWidget *parent = nullptr);

    void showUnit(const QString &description);
    void showStatus(const UnitStatus &status);
    // `failure`: why the status could not be read.
    void showFailure(const QString &failure);
    void setMotor(Motor motor);
    // The unit positions are shown in, from the unit's loaded profile.
    void setScale(const UnitScale &scale);
    void clear(const QString &reason);
    PositionPlot *plot() const { return m_plot; }

private:
    QLabel *m_unit;
    QLabel *m_position;
    QLabel *m_readiness;
    QLabel *m_motor;
    PositionPlot *m_plot;
    QElapsedTimer m_clock;
    UnitScale m_scale;
};

#endif
