// One tab per group of settings, filled from the selected unit's own values and limited to its
// ranges; Apply asks for the groups that changed, one library call each. Each changed group is
// first put to the library (checkRequested): values the unit would refuse together, beyond what
// each field's range rules out, keep Apply disabled, with the library's words beside the fields.
#ifndef VELMORCENTER_SETTINGSPANEL_H
#define VELMORCENTER_SETTINGSPANEL_H

#include "UnitAction.h"
#include "UnitSnapshot.h"

#include <QVector>
#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QSpinBox;
class QTabWidget;

class SettingsPanel : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsPanel(QWidget *parent = nullptr);

    void load(const UnitSnapshot &snapshot);
    void clear();
    // Called when a group's call succeeded: its values become the unit's.
    void markApplied(const QString &setting);
    QVector<UnitAction> changedSettings() const;
    QTabWidget *tabs() const { return m_tabs; }
    // The library's answer to checkRequested: `reasons` empty when the unit takes the values.
    void showCheck(const UnitAction &action, const QString &reasons);

signals:
    void applyRequested(const QVector<UnitAction> &actions);
    // Would the unit take this changed group's values? Asked once for each new set of values.
    void checkRequested(const UnitAction &action);

private:
    struct Group
    {
        QString name;
        std::function<QVector<int>()> values;
        std::function<UnitAction(int index)> action;
        QVector<int> applied;
        // Where the library's words go; null for a group the library has no ranges for.
        QLabel *problem = nullptr;
        QVector<qint64> requested;  // the values last put to the library
        QVector<qint64> checked;    // the values it answered for, with its words
        QString reasons;

        bool isChecked(const QVector<qint64> &values) const { return !problem || checked == values; }
    };

    QFormLayout *addTab(const QString &title, const QString &note = QString());
    QSpinBox *addNumber(QFormLayout *form, const QString &label, const QString &name, const QString &suffix);
    QCheckBox *addCheck(QFormLayout *form, const QString &label, const QString &name);
    QComboBox *addDirection(QFormLayout *form, const QString &label, const QString &name);
    void setRange(QSpinBox *box, int minimum, int maximum, const QString &extra = QString());
    QLabel *addProblem(QFormLayout *form, const QString &name);
    void addGroup(const QString &name, std::function<QVector<int>()> values, std::function<UnitAction(int)> action,
                  QLabel *problem = nullptr);
    void checkChangedGroups();

    void buildSpeed();
    void buildAcceleration();
    void buildCurrent();
    void buildBacklash();
    void buildHoming();
    void buildLimitSwitches();
    void buildPwm();
    void buildRelay();
    void fillRanges(const UnitRanges &ranges);
    void fillValues(const UnitSettings &settings);
    void updateApplyButton();

    QTabWidget *m_tabs;
    QPushButton *m_apply;
    QVector<Group> m_groups;
    int m_index = 0;

    QSpinBox *m_speed = nullptr, *m_stepMode = nullptr, *m_acceleration = nullptr, *m_current = nullptr;
    QCheckBox *m_currentFlag = nullptr;
    QCheckBox *m_backlashEnabled = nullptr;
    QComboBox *m_backlashDirection = nullptr;
    QSpinBox *m_backlashAmount = nullptr;
    QComboBox *m_homeDirection = nullptr;
    QCheckBox *m_homeFlagA = nullptr, *m_homeFlagB = nullptr;
    QSpinBox *m_homeValueA = nullptr, *m_homeValueB = nullptr;
    QSpinBox *m_input1 = nullptr, *m_type1 = nullptr, *m_input2 = nullptr, *m_type2 = nullptr;
    QSpinBox *m_pwm = nullptr;
    QCheckBox *m_pwmStepMode = nullptr;
    QCheckBox *m_relay = nullptr;
    QLabel *m_relayReason = nullptr;
    QLabel *m_stepRateNote = nullptr;
};

#endif
