#include "StatusPanel.h"

#include "PositionPlot.h"

#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

StatusPanel::StatusPanel(QWidget *parent)
    : QGroupBox(tr("Status"), parent)
    , m_unit(new QLabel(tr("no unit selected")))
    , m_position(new QLabel(QStringLiteral("–")))
    , m_readiness(new QLabel(QStringLiteral("–")))
    , m_motor(new QLabel(tr("unknown")))
    , m_plot(new PositionPlot)
{
    m_unit->setObjectName(QStringLiteral("statusUnit"));
    m_position->setObjectName(QStringLiteral("statusPosition"));
    m_readiness->setObjectName(QStringLiteral("statusReadiness"));
    m_motor->setObjectName(QStringLiteral("statusMotor"));
    m_plot->setObjectName(QStringLiteral("positionPlot"));
    QFont bold = m_position->font();
    bold.setBold(true);
    m_position->setFont(bold);
    auto *form = new QFormLayout;
    form->addRow(tr("Unit:"), m_unit);
    form->addRow(tr("Position:"), m_position);
    form->addRow(tr("Readiness:"), m_readiness);
    form->addRow(tr("Motor:"), m_motor);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_plot, 1);
    m_clock.start();
}

void StatusPanel::showUnit(const QString &description)
{
    m_unit->setText(description);
    setScale(UnitScale());
    m_plot->clear();
    setMotor(Motor::Unknown);
}

void StatusPanel::showStatus(const UnitStatus &status)
{
    if (m_scale.isSteps()) {
        m_position->setText(tr("%1 full steps (step mode %2)").arg(status.position).arg(status.stepMode));
    } else {
        // A step mode the hardware does not have gives no fraction: the whole steps then.
        const double steps = status.positionInSteps != 0.0 ? status.positionInSteps : double(status.position);
        m_position->setText(tr("%1 (%2 full steps, step mode %3)").arg(m_scale.format(steps)).arg(status.position)
                                .arg(status.stepMode));
    }
    m_readiness->setText(status.ready ? tr("ready") : status.notReady);
    m_plot->addPoint(m_clock.elapsed(), status.positionInSteps);
}

void StatusPanel::setScale(const UnitScale &scale)
{
    m_scale = scale;
    m_plot->setScale(scale);
}

void StatusPanel::showFailure(const QString &failure)
{
    m_readiness->setText(tr("status not read: %1").arg(failure));
}

void StatusPanel::setMotor(Motor motor)
{
    switch (motor) {
    case Motor::On: m_motor->setText(tr("on")); break;
    case Motor::Off: m_motor->setText(tr("off")); break;
    case Motor::Unknown: m_motor->setText(tr("unknown (not switched here yet)")); break;
    }
}

void StatusPanel::clear(const QString &reason)
{
    m_unit->setText(reason);
    m_position->setText(QStringLiteral("–"));
    m_readiness->setText(QStringLiteral("–"));
    setMotor(Motor::Unknown);
    setScale(UnitScale());
    m_plot->clear();
}
