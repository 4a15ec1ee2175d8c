#include "MotionPanel.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QPushButton>
#include <QShortcut>

#include <limits>

MotionPanel::MotionPanel(QWidget *parent)
    : QGroupBox(tr("Motion"), parent)
{
    QPushButton *on = button(QStringLiteral("motorOn"), tr("Motor on"));
    QPushButton *off = button(QStringLiteral("motorOff"), tr("Motor off"));
    QDoubleSpinBox *jogSteps = distanceBox(QStringLiteral("jogSteps"), 100);
    m_jog = jogSteps;
    QPushButton *jogBack = button(QStringLiteral("jogBackward"), tr("◀ Jog"));
    QPushButton *jogForward = button(QStringLiteral("jogForward"), tr("Jog ▶"));
    QDoubleSpinBox *target = distanceBox(QStringLiteral("moveToPosition"), 0);
    QPushButton *moveTo = button(QStringLiteral("moveTo"), tr("Move to"));
    QDoubleSpinBox *distance = distanceBox(QStringLiteral("moveBySteps"), 200);
    QPushButton *moveBy = button(QStringLiteral("moveBy"), tr("Move by"));
    QPushButton *home = button(QStringLiteral("home"), tr("Home"));
    QPushButton *zero = button(QStringLiteral("zero"), tr("Zero here"));

    auto *stop = new QPushButton(tr("Stop (Esc)"));
    stop->setObjectName(QStringLiteral("stop"));
    stop->setStyleSheet(QStringLiteral("QPushButton { background: #c0392b; color: white; font-weight: bold; padding: 6px; }"));
    stop->setMinimumHeight(40);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::ApplicationShortcut);

    auto *grid = new QGridLayout(this);
    grid->addWidget(on, 0, 0);
    grid->addWidget(off, 0, 1);
    grid->addWidget(home, 0, 2);
    grid->addWidget(zero, 0, 3);
    grid->addWidget(jogBack, 1, 0);
    grid->addWidget(jogSteps, 1, 1, 1, 2);
    grid->addWidget(jogForward, 1, 3);
    grid->addWidget(target, 2, 0, 1, 3);
    grid->addWidget(moveTo, 2, 3);
    grid->addWidget(distance, 3, 0, 1, 3);
    grid->addWidget(moveBy, 3, 3);
    grid->addWidget(stop, 4, 0, 1, 4);
    grid->setRowStretch(5, 1);

    connect(on, &QPushButton::clicked, this, &MotionPanel::motorOnRequested);
    connect(off, &QPushButton::clicked, this, &MotionPanel::motorOffRequested);
    connect(home, &QPushButton::clicked, this, &MotionPanel::homeRequested);
    connect(zero, &QPushButton::clicked, this, &MotionPanel::zeroRequested);
    connect(jogBack, &QPushButton::clicked, this, [=] { emit moveByRequested(-stepsOf(jogSteps)); });
    connect(jogForward, &QPushButton::clicked, this, [=] { emit moveByRequested(stepsOf(jogSteps)); });
    connect(moveTo, &QPushButton::clicked, this, [=] { emit moveToRequested(stepsOf(target)); });
    connect(moveBy, &QPushButton::clicked, this, [=] { emit moveByRequested(stepsOf(distance)); });
    connect(stop, &QPushButton::clicked, this, &MotionPanel::stopRequested);
    connect(escape, &QShortcut::activated, this, &MotionPanel::stopRequested);
    setScale(UnitScale());
    setUnitAvailable(false);
}

QDoubleSpinBox *MotionPanel::distanceBox(const QString &name, int steps)
{
    auto *box = new QDoubleSpinBox;
    box->setObjectName(name);
    box->setDecimals(0);
    box->setRange(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    box->setValue(steps);
    box->setAlignment(Qt::AlignRight);
    m_unitWidgets.append(box);
    m_distances.append(box);
    return box;
}

int MotionPanel::stepsOf(const QDoubleSpinBox *box) const
{
    return m_scale.toSteps(box->value());
}

void MotionPanel::setScale(const UnitScale &scale)
{
    const UnitScale before = m_scale;
    m_scale = scale;
    for (QDoubleSpinBox *box : qAsConst(m_distances)) {
        const int steps = before.toSteps(box->value());
        box->setDecimals(scale.decimals());
        box->setRange(scale.toUnit(std::numeric_limits<int32_t>::min()), scale.toUnit(std::numeric_limits<int32_t>::max()));
        box->setSuffix(scale.suffix());
        box->setValue(scale.toUnit(steps));
    }
    // A jog moves by one full step at least.
    m_jog->setMinimum(scale.toUnit(1));
}

QPushButton *MotionPanel::button(const QString &name, const QString &text)
{
    auto *button = new QPushButton(text);
    button->setObjectName(name);
    m_unitWidgets.append(button);
    return button;
}

void MotionPanel::setUnitAvailable(bool available)
{
    for (QWidget *widget : qAsConst(m_unitWidgets))
        widget->setEnabled(available);
}
