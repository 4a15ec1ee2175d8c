// The selected unit's position, readiness and motor state, and its position plot.
#ifndef VELMORCENTER_STATUSPANEL_H
#define VELMORCENTER_STATUSPANEL_H

#include "UnitSnapshot.h"

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
    void showStatus(const VelmorMotorStatus &status);
    void showFailure(int code);
    void setMotor(Motor motor);
    void clear(const QString &reason);
    PositionPlot *plot() const { return m_plot; }

private:
    QLabel *m_unit;
    QLabel *m_position;
    QLabel *m_readiness;
    QLabel *m_motor;
    PositionPlot *m_plot;
    QElapsedTimer m_clock;
};

#endif
