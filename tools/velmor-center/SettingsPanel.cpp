#include "SettingsPanel.h"

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

// What the unit would refuse, in red beside the fields.
void makeProblem(QLabel *label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0xc0, 0x39, 0x2b));
    label->setPalette(palette);
    label->setWordWrap(true);
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

QLabel *SettingsPanel::addProblem(QFormLayout *form, const QString &name)
{
    auto *label = new QLabel;
    label->setObjectName(name + QStringLiteral("Problem"));
    label->setMaximumWidth(520);
    makeProblem(label);
    form->addRow(QString(), label);
    return label;
}

void SettingsPanel::addGroup(const QString &name, std::function<QVector<int>()> values, std::function<UnitAction(int)> action,
                             QLabel *problem)
{
    Group group;
    group.name = name;
    group.values = std::move(values);
    group.action = std::move(action);
    group.problem = problem;
    m_groups.append(group);
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
             [this](int index) { return UnitAction::setSpeed(index, m_speed->value(), m_stepMode->value()); },
             addProblem(form, QStringLiteral("speed")));
}

void SettingsPanel::buildAcceleration()
{
    QFormLayout *form = addTab(tr("Acceleration"));
    m_acceleration = addNumber(form, tr("Acceleration:"), QStringLiteral("acceleration"), tr(" steps/s²"));
    auto *rampNote = new QLabel(tr("0 turns the ramp off."));
    makeHint(rampNote);
    form->addRow(QString(), rampNote);
    addGroup(QStringLiteral("acceleration"), [this] { return QVector<int>{m_acceleration->value()}; },
             [this](int index) { return UnitAction::setAcceleration(index, m_acceleration->value()); },
             addProblem(form, QStringLiteral("acceleration")));
}

void SettingsPanel::buildCurrent()
{
    QFormLayout *form = addTab(tr("Current"));
    m_current = addNumber(form, tr("Current:"), QStringLiteral("current"), tr(" mA"));
    m_currentFlag = addCheck(form, tr("Current flag:"), QStringLiteral("currentFlag"));
    addGroup(QStringLiteral("current"), [this] { return QVector<int>{m_current->value(), m_currentFlag->isChecked()}; },
             [this](int index) { return UnitAction::setCurrent(index, m_current->value(), m_currentFlag->isChecked()); },
             addProblem(form, QStringLiteral("current")));
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
                 return UnitAction::setBacklash(index, m_backlashEnabled->isChecked(), m_backlashDirection->currentIndex(),
                                                m_backlashAmount->value());
             },
             addProblem(form, QStringLiteral("backlash")));
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
                 return UnitAction::setHomeSettings(index, m_homeDirection->currentIndex(), m_homeFlagB->isChecked(),
                                                    m_homeFlagA->isChecked(), m_homeValueA->value(), m_homeValueB->value());
             },
             addProblem(form, QStringLiteral("homing")));
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
                 return UnitAction::setLimitSwitches(index, m_input1->value(), m_type1->value(), m_input2->value(),
                                                     m_type2->value());
             },
             addProblem(form, QStringLiteral("limitSwitches")));
}

void SettingsPanel::buildPwm()
{
    QFormLayout *form = addTab(tr("PWM"), tr("Units do not report their PWM output: these are the values last applied here."));
    m_pwm = addNumber(form, tr("PWM value:"), QStringLiteral("pwm"), QString());
    m_pwmStepMode = addCheck(form, tr("Switch to step mode:"), QStringLiteral("pwmStepMode"));
    addGroup(QStringLiteral("PWM"), [this] { return QVector<int>{m_pwm->value()}; },
             [this](int index) { return UnitAction::setPwm(index, m_pwm->value()); }, addProblem(form, QStringLiteral("pwm")));
    addGroup(QStringLiteral("PWM step mode"), [this] { return QVector<int>{m_pwmStepMode->isChecked()}; },
             [](int index) { return UnitAction::setPwmStepMode(index); });
}

void SettingsPanel::buildRelay()
{
    QFormLayout *form = addTab(tr("Relay"));
    m_relay = addCheck(form, tr("Relay on:"), QStringLiteral("relay"));
    m_relayReason = new QLabel;
    m_relayReason->setObjectName(QStringLiteral("relayReason"));
    form->addRow(QString(), m_relayReason);
    addGroup(QStringLiteral("relay"), [this] { return QVector<int>{m_relay->isChecked()}; },
             [this](int index) { return UnitAction::setRelay(index, m_relay->isChecked()); });
}

void SettingsPanel::load(const UnitSnapshot &snapshot)
{
    m_index = snapshot.index;
    fillRanges(snapshot.ranges);
    fillValues(snapshot.settings);
    for (Group &group : m_groups) {
        group.applied = group.values();
        group.requested.clear();
        group.checked.clear();
        group.reasons.clear();
    }
    setEnabled(true);
    updateApplyButton();
}

void SettingsPanel::fillRanges(const UnitRanges &ranges)
{
    setRange(m_speed, 0, ranges.largestSpeed);
    setRange(m_stepMode, 0, ranges.largestStepMode);
    m_stepRateNote->setText(tr("speed × 2^step mode up to %1 steps/s").arg(ranges.maximumStepRate));
    setRange(m_acceleration, 0, ranges.largestAcceleration);
    setRange(m_current, ranges.minimumCurrent, ranges.maximumCurrent);
    setRange(m_backlashAmount, 0, ranges.largestBacklashAmount);
    setRange(m_homeValueA, 0, ranges.largestHomeValue);
    setRange(m_homeValueB, 0, ranges.largestHomeValue);
    for (QSpinBox *input : {m_input1, m_input2})
        setRange(input, 1, ranges.inputChannels);
    for (QSpinBox *type : {m_type1, m_type2})
        setRange(type, 0, s_largestInputType, tr("0: not used"));
    setRange(m_pwm, 0, ranges.pwmLimit);
    m_relay->setEnabled(ranges.hasRelay);
    m_relayReason->setText(ranges.hasRelay ? QString() : tr("Hardware %1 has no relay.").arg(ranges.hardware));
}

void SettingsPanel::fillValues(const UnitSettings &settings)
{
    m_speed->setValue(settings.speed);
    m_stepMode->setValue(settings.stepMode);
    m_acceleration->setValue(settings.acceleration);
    m_current->setValue(settings.current);
    m_currentFlag->setChecked(settings.currentFlag);
    m_backlashEnabled->setChecked(settings.backlashEnabled);
    m_backlashDirection->setCurrentIndex(settings.backlashDirection);
    m_backlashAmount->setValue(settings.backlashAmount);
    m_homeDirection->setCurrentIndex(settings.homeDirection);
    m_homeFlagA->setChecked(settings.homeFlagA);
    m_homeFlagB->setChecked(settings.homeFlagB);
    m_homeValueA->setValue(settings.homeValueA);
    m_homeValueB->setValue(settings.homeValueB);
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
        if (group.values() == group.applied)
            continue;
        UnitAction action = group.action(m_index);
        action.setting = group.name;
        actions.append(action);
    }
    return actions;
}

void SettingsPanel::showCheck(const UnitAction &action, const QString &reasons)
{
    if (action.index != m_index)
        return;
    for (Group &group : m_groups) {
        if (group.name != action.setting)
            continue;
        // An answer for values edited since waits for the newer one.
        if (group.action(m_index).values != action.values)
            return;
        group.checked = action.values;
        group.reasons = reasons;
    }
    updateApplyButton();
}

// Apply stays disabled until the library has taken every changed group's values as they are now.
void SettingsPanel::updateApplyButton()
{
    checkChangedGroups();
    const QVector<UnitAction> changes = changedSettings();
    bool accepted = !changes.isEmpty();
    for (const Group &group : qAsConst(m_groups)) {
        const bool changed = m_index != 0 && group.values() != group.applied;
        if (!group.problem)
            continue;
        const QVector<qint64> values = group.action(m_index).values;
        const bool known = changed && group.isChecked(values);
        group.problem->setText(known ? group.reasons : QString());
        group.problem->setVisible(known && !group.reasons.isEmpty());
        if (changed && (!known || !group.reasons.isEmpty()))
            accepted = false;
    }
    m_apply->setEnabled(m_index != 0 && accepted);
}

void SettingsPanel::checkChangedGroups()
{
    if (m_index == 0)
        return;
    for (Group &group : m_groups) {
        if (!group.problem || group.values() == group.applied)
            continue;
        UnitAction action = group.action(m_index);
        if (action.values == group.requested || group.isChecked(action.values))
            continue;
        group.requested = action.values;
        action.setting = group.name;
        emit checkRequested(action);
    }
}
