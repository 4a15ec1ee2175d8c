// Motion requests for the selected unit; Stop stays enabled whatever else is.
#ifndef VELMORCENTER_MOTIONPANEL_H
#define VELMORCENTER_MOTIONPANEL_H

#include <QGroupBox>

class QPushButton;
class QSpinBox;

class MotionPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit MotionPanel(QWidget *parent = nullptr);

    void setUnitAvailable(bool available);

signals:
    void motorOnRequested();
    void motorOffRequested();
    void moveByRequested(int steps);
    void moveToRequested(int position);
    void homeRequested();
    void zeroRequested();
    void stopRequested();

private:
    QSpinBox *stepsBox(const QString &name, int value);
    QPushButton *button(const QString &name, const QString &text);

    QList<QWidget *> m_unitWidgets;
};

#endif
