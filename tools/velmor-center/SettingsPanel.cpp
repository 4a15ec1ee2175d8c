#include "SettingsPanel.h"

#include "VelmorLib.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const int s_largestInputType = 6;

// Ranges and notes in grey beside the fields they explain.
void makeHint(QLabel *label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0x5f, 0x63, 0x68));
    label->setPalette(palette);
}

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

} // namespace

SettingsPanel::SettingsPanel(QWidget *parent)
    : QWidget(parent)
    , m_tabs(new QTabWidget)
    , m_apply(new QPushButton(tr("Apply changes")))
{
    m_tabs->setObjectName(QStringLiteral("settingsTabs"));
    m_apply->setObjectName(QStringLiteral("apply"));
    buildSpeed();
    buildAcceleration();
    buildCurrent();
    buildBacklash();
    buildHoming();
    buildLimitSwitches();
    buildPwm();
    buildRelay();

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_apply);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);
    connect(m_apply, &QPushButton::clicked, this, [this] { emit applyRequested(changedSettings()); });
    clear();
}

QFormLayout *SettingsPanel::addTab(const QString &title, const QString &note)
{
    auto *page = new QWidget;
    auto *outer = new QVBoxLayout(page);
    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    outer->addLayout(form);
    if (!note.isEmpty()) {
        auto *label = new QLabel(note);
        label->setWordWrap(true);
        makeHint(label);
        outer->addWidget(label);
    }
    outer->addStretch();
    m_tabs->addTab(page, title);
    return form;
}

QSpinBox *SettingsPanel::addNumber(QFormLayout *form, const QString &label, const QString &name, const QString &suffix)
{
    auto *box = new QSpinBox;
    box->setObjectName(name);
    box->setSuffix(suffix);
    box->setAlignment(Qt::AlignRight);
    box->setMinimumWidth(150);
    auto *range = new QLabel;
    range->setObjectName(name + QStringLiteral("Range"));
    makeHint(range);
    auto *row = new QHBoxLayout;
    row->addWidget(box);
    row->addWidget(range);
    row->addStretch();
    form->addRow(label, row);
    connect(box, QOverload<int>::of(&QSpinBox::valueChanged), this, &SettingsPanel::updateApplyButton);
    return box;
}

QCheckBox *SettingsPanel::addCheck(QFormLayout *form, const QString &label, const QString &name)
{
    auto *box = new QCheckBox;
    box->setObjectName(name);
    form->addRow(label, box);
    connect(box, &QCheckBox::toggled, this, &SettingsPanel::updateApplyButton);
    return box;
}

QComboBox *SettingsPanel::addDirection(QFormLayout *form, const QString &label, const QString &name)
{
    auto *box = new QComboBox;
    box->setObjectName(name);
    box->addItem(tr("0 (forward)"));
    box->addItem(tr("1 (reverse)"));
    form->addRow(label, box);
    connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SettingsPanel::updateApplyButton);
    return box;
}

void SettingsPanel::setRange(QSpinBox *box, int minimum, int maximum, const QString &extra)
{
    const QSignalBlocker blocker(box);
    box->setRange(minimum, maximum);
    auto *label = findChild<QLabel *>(box->objectName() + QStringLiteral("Range"));
    QString text = tr("%1 to %2%3").arg(minimum).arg(maximum).arg(box->suffix());
    if (!extra.isEmpty())
        text += QStringLiteral("; ") + extra;
    label->setText(text);
}

void SettingsPanel::addGroup(const QString &name, std::function<QVector<int>()> values, std::function<UnitAction(int)> action)
{
    m_groups.append(Group{name, std::move(values), std::move(action), {}});
}

void SettingsPanel::buildSpeed()
{
    QFormLayout *form = addTab(tr("Speed"));
    m_speed = addNumber(form, tr("Speed:"), QStringLiteral("speed"), tr(" steps/s"));
    m_stepMode = addNumber(form, tr("Step mode:"), QStringLiteral("stepMode"), QString());
    m_stepRateNote = new QLabel;
    makeHint(m_stepRateNote);
    form->addRow(QString(), m_stepRateNote);
    addGroup(QStringLiteral("speed"), [this] { return QVector<int>{m_speed->value(), m_stepMode->value()}; },
             [this](int index) {
                 const int speed = m_speed->value(), mode = m_stepMode->value();
                 return UnitAction{UnitAction::Kind::Setting, index,
                                   QStringLiteral("setMotorSpeed(%1, %2, %3)").arg(index).arg(speed).arg(mode),
                                   tr("speed of unit %1 set to %2 steps/s, step mode %3").arg(index).arg(speed).arg(mode),
                                   [=] { return setMotorSpeed(index, speed, mode); }, QStringLiteral("speed")};
             });
}

void SettingsPanel::buildAcceleration()
{
    QFormLayout *form = addTab(tr("Acceleration"));
    m_acceleration = addNumber(form, tr("Acceleration:"), QStringLiteral("acceleration"), tr(" steps/s²"));
    auto *rampNote = new QLabel(tr("0 turns the ramp off."));
    makeHint(rampNote);
    form->addRow(QString(), rampNote);
    addGroup(QStringLiteral("acceleration"), [this] { return QVector<int>{m_acceleration->value()}; },
             [this](int index) {
                 const int acceleration = m_acceleration->value();
                 return UnitAction{UnitAction::Kind::Setting, index,
                                   QStringLiteral("setMotorAcceleration(%1, %2)").arg(index).arg(acceleration),
                                   tr("acceleration of unit %1 set to %2 steps/s²").arg(index).arg(acceleration),
                                   [=] { return setMotorAcceleration(index, acceleration); }, QStringLiteral("acceleration")};
             });
}

void SettingsPanel::buildCurrent()
{
    QFormLayout *form = addTab(tr("Current"));
    m_current = addNumber(form, tr("Current:"), QStringLiteral("current"), tr(" mA"));
    m_currentFlag = addCheck(form, tr("Current flag:"), QStringLiteral("currentFlag"));
    addGroup(QStringLiteral("current"), [this] { return QVector<int>{m_current->value(), m_currentFlag->isChecked()}; },
             [this](int index) {
                 const int current = m_current->value();
                 const uint8_t flag = m_currentFlag->isChecked();
                 return UnitAction{UnitAction::Kind::Setting, index,
                                   QStringLiteral("setMotorCurrent(%1, %2, %3)").arg(index).arg(current).arg(flag),
                                   tr("current of unit %1 set to %2 mA, flag %3").arg(index).arg(current).arg(flag),
                                   [=] { return setMotorCurrent(index, current, flag); }, QStringLiteral("current")};
             });
}

void SettingsPanel::buildBacklash()
{
    QFormLayout *form = addTab(tr("Backlash"));
    m_backlashEnabled = addCheck(form, tr("Compensation:"), QStringLiteral("backlashEnabled"));
    m_backlashDirection = addDirection(form, tr("Direction:"), QStringLiteral("backlashDirection"));
    m_backlashAmount = addNumber(form, tr("Amount:"), QStringLiteral("backlashAmount"), tr(" steps"));
    addGroup(QStringLiteral("backlash"),
             [this] { return QVector<int>{m_backlashEnabled->isChecked(), m_backlashDirection->currentIndex(), m_backlashAmount->value()}; },
             [this](int index) {
                 const uint8_t enabled = m_backlashEnabled->isChecked();
                 const uint32_t direction = m_backlashDirection->currentIndex();
                 const int amount = m_backlashAmount->value();
                 return UnitAction{UnitAction::Kind::Setting, index,
                                   QStringLiteral("setBacklashCompensation(%1, %2, %3, %4)").arg(index).arg(enabled).arg(direction).arg(amount),
                                   tr("backlash compensation of unit %1 %2, direction %3, %4 steps").arg(index).arg(onOff(enabled)).arg(direction).arg(amount),
                                   [=] { return setBacklashCompensation(index, enabled, direction, amount); }, QStringLiteral("backlash")};
             });
}

void SettingsPanel::buildHoming()
{
    QFormLayout *form = addTab(tr("Homing"));
    m_homeDirection = addDirection(form, tr("Direction:"), QStringLiteral("homeDirection"));
    m_homeFlagA = addCheck(form, tr("Flag A:"), QStringLiteral("homeFlagA"));
    m_homeFlagB = addCheck(form, tr("Flag B:"), QStringLiteral("homeFlagB"));
    m_homeValueA = addNumber(form, tr("Value A:"), QStringLiteral("homeValueA"), QString());
    m_homeValueB = addNumber(form, tr("Value B:"), QStringLiteral("homeValueB"), QString());
    addGroup(QStringLiteral("homing"),
             [this] {
                 return QVector<int>{m_homeDirection->currentIndex(), m_homeFlagA->isChecked(), m_homeFlagB->isChecked(),
                                     m_homeValueA->value(), m_homeValueB->value()};
             },
             [this](int index) {
                 const uint32_t direction = m_homeDirection->currentIndex();
                 const uint8_t flagA = m_homeFlagA->isChecked(), flagB = m_homeFlagB->isChecked();
                 const uint32_t valueA = m_homeValueA->value(), valueB = m_homeValueB->value();
                 return UnitAction{UnitAction::Kind::Setting, index,
                                   QStringLiteral("setHomeSettings(%1, %2, %3, %4, %5, %6)").arg(index).arg(direction).arg(flagB).arg(flagA).arg(valueA).arg(valueB),
                                   tr("home settings of unit %1: direction %2, flag A %3, flag B %4, values %5 and %6")
                                       .arg(index).arg(direction).arg(flagA).arg(flagB).arg(valueA).arg(valueB),
                                   [=] { return setHomeSettings(index, direction, flagB, flagA, valueA, valueB); }, QStringLiteral("homing")};
             });
}

void SettingsPanel::buildLimitSwitches()
{
    QFormLayout *form = addTab(tr("Switches"), tr("Units do not report their limit switches: these are the values last applied here."));
    m_input1 = addNumber(form, tr("First input:"), QStringLiteral("input1"), QString());
    m_type1 = addNumber(form, tr("First type:"), QStringLiteral("type1"), QString());
    m_input2 = addNumber(form, tr("Second input:"), QStringLiteral("input2"), QString());
    m_type2 = addNumber(form, tr("Second type:"), QStringLiteral("type2"), QString());
    m_input1->setPrefix(tr("input "));
    m_input2->setPrefix(tr("input "));
    m_type1->setPrefix(tr("type "));
    m_type2->setPrefix(tr("type "));
    addGroup(QStringLiteral("limit switches"),
             [this] { return QVector<int>{m_input1->value(), m_type1->value(), m_input2->value(), m_type2->value()}; },
             [this](int index) {
                 const int input1 = m_input1->value(), input2 = m_input2->value();
                 const uint32_t type1 = m_type1->value(), type2 = m_type2->value();
                 return UnitAction{UnitAction::Kind::Setting, index,
                                   QStringLiteral("setLimitSwitches(%1, %2, %3, %4, %5)").arg(index).arg(input1).arg(type1).arg(input2).arg(type2),
                                   tr("limit switches of unit %1: input %2 type %3, input %4 type %5").arg(index).arg(input1).arg(type1).arg(input2).arg(type2),
                                   [=] { return setLimitSwitches(index, input1, type1, input2, type2); }, QStringLiteral("limit switches")};
             });
}

void SettingsPanel::buildPwm()
{
    QFormLayout *form = addTab(tr("PWM"), tr("Units do not report their PWM output: these are the values last applied here."));
    m_pwm = addNumber(form, tr("PWM value:"), QStringLiteral("pwm"), QString());
    m_pwmStepMode = addCheck(form, tr("Switch to step mode:"), QStringLiteral("pwmStepMode"));
    addGroup(QStringLiteral("PWM"), [this] { return QVector<int>{m_pwm->value()}; },
             [this](int index) {
                 const int value = m_pwm->value();
                 return UnitAction{UnitAction::Kind::Setting, index, QStringLiteral("setPWM(%1, %2)").arg(index).arg(value),
                                   tr("PWM of unit %1 set to %2").arg(index).arg(value),
                                   [=] { return setPWM(index, value); }, QStringLiteral("PWM")};
             });
    addGroup(QStringLiteral("PWM step mode"), [this] { return QVector<int>{m_pwmStepMode->isChecked()}; },
             [](int index) {
                 return UnitAction{UnitAction::Kind::Setting, index, QStringLiteral("setPWMStepMode(%1)").arg(index),
                                   tr("PWM output of unit %1 switched to step mode").arg(index),
                                   [=] { return setPWMStepMode(index); }, QStringLiteral("PWM step mode")};
             });
}

void SettingsPanel::buildRelay()
{
    QFormLayout *form = addTab(tr("Relay"));
    m_relay = addCheck(form, tr("Relay on:"), QStringLiteral("relay"));
    m_relayReason = new QLabel;
    m_relayReason->setObjectName(QStringLiteral("relayReason"));
    form->addRow(QString(), m_relayReason);
    addGroup(QStringLiteral("relay"), [this] { return QVector<int>{m_relay->isChecked()}; },
             [this](int index) {
                 const uint8_t on = m_relay->isChecked();
                 return UnitAction{UnitAction::Kind::Setting, index, QStringLiteral("setRelay(%1, %2)").arg(index).arg(on),
                                   tr("relay of unit %1 switched %2").arg(index).arg(onOff(on)),
                                   [=] { return setRelay(index, on); }, QStringLiteral("relay")};
             });
}

void SettingsPanel::load(const UnitSnapshot &snapshot)
{
    m_index = snapshot.index;
    fillRanges(snapshot.limits);
    fillValues(snapshot);
    for (Group &group : m_groups)
        group.applied = group.values();
    setEnabled(true);
    updateApplyButton();
}

void SettingsPanel::fillRanges(const VelmorLimits &limits)
{
    setRange(m_speed, 0, limits.largestSpeed);
    setRange(m_stepMode, 0, limits.largestStepMode);
    m_stepRateNote->setText(tr("speed × 2^step mode up to %1 steps/s").arg(limits.maximumStepRate));
    setRange(m_acceleration, 0, limits.largestAcceleration);
    setRange(m_current, limits.minimumCurrent, limits.maximumCurrent);
    setRange(m_backlashAmount, 0, limits.largestBacklashAmount);
    setRange(m_homeValueA, 0, limits.largestHomeValue);
    setRange(m_homeValueB, 0, limits.largestHomeValue);
    for (QSpinBox *input : {m_input1, m_input2})
        setRange(input, 1, limits.inputChannels);
    for (QSpinBox *type : {m_type1, m_type2})
        setRange(type, 0, s_largestInputType, tr("0: not used"));
    setRange(m_pwm, 0, limits.pwmLimit);
    const bool hasRelay = limits.hasRelay != 0;
    m_relay->setEnabled(hasRelay);
    m_relayReason->setText(hasRelay ? QString()
                                    : tr("Hardware %1.%2 has no relay.").arg(limits.hardwareMajor).arg(limits.hardwareMinor));
}

void SettingsPanel::fillValues(const UnitSnapshot &snapshot)
{
    m_speed->setValue(snapshot.motion.speed);
    m_stepMode->setValue(snapshot.motion.stepMode);
    m_acceleration->setValue(snapshot.motion.acceleration);
    m_current->setValue(snapshot.motor.current);
    m_currentFlag->setChecked(snapshot.motor.currentFlag != 0);
    m_backlashEnabled->setChecked(snapshot.move.backlashEnabled != 0);
    m_backlashDirection->setCurrentIndex(snapshot.move.backlashDirection);
    m_backlashAmount->setValue(snapshot.move.backlashAmount);
    m_homeDirection->setCurrentIndex(snapshot.move.homeDirection);
    m_homeFlagA->setChecked(snapshot.move.homeFlagA != 0);
    m_homeFlagB->setChecked(snapshot.move.homeFlagB != 0);
    m_homeValueA->setValue(snapshot.move.homeValueA);
    m_homeValueB->setValue(snapshot.move.homeValueB);
    m_pwmStepMode->setChecked(false);
    m_relay->setChecked(false);
}

void SettingsPanel::clear()
{
    m_index = 0;
    setEnabled(false);
    m_apply->setEnabled(false);
}

void SettingsPanel::markApplied(const QString &setting)
{
    // Switching to step mode is a one-off request, not a state the box keeps.
    if (setting == QLatin1String("PWM step mode"))
        m_pwmStepMode->setChecked(false);
    for (Group &group : m_groups) {
        if (group.name == setting)
            group.applied = group.values();
    }
    updateApplyButton();
}

QVector<UnitAction> SettingsPanel::changedSettings() const
{
    QVector<UnitAction> actions;
    if (m_index == 0)
        return actions;
    for (const Group &group : m_groups) {
        if (group.values() != group.applied)
            actions.append(group.action(m_index));
    }
    return actions;
}

void SettingsPanel::updateApplyButton()
{
    m_apply->setEnabled(m_index != 0 && !changedSettings().isEmpty());
}
