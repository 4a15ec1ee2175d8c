#include "UnitListModel.h"

UnitListModel::UnitListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

int UnitListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_units.size();
}

QVariant UnitListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_units.size())
        return {};
    const UnitEntry &unit = m_units.at(index.row());
    switch (role) {
    case Qt::DisplayRole: return describe(unit);
    case Qt::ToolTipRole: return QStringLiteral("unit %1, serial %2: %3").arg(unit.index).arg(unit.serial, condition(unit));
    case NameRole: return unit.name;
    case IndexRole: return unit.index;
    case SerialRole: return unit.serial;
    default: return {};
    }
}

QString UnitListModel::describe(const UnitEntry &unit)
{
    // The name its profile gives it, beside the serial number that keys the profile.
    const QString serial = unit.name.isEmpty() ? unit.serial : QStringLiteral("%1 \u201c%2\u201d").arg(unit.serial, unit.name);
    if (!unit.isRead())
        return QStringLiteral("%1   %2\n     %3").arg(unit.index).arg(serial, condition(unit));
    return QStringLiteral("%1   %2   %3\n     hardware %4, firmware %5")
        .arg(unit.index).arg(serial, unit.chip, unit.hardware, unit.firmware);
}

QString UnitListModel::condition(const UnitEntry &unit)
{
    if (unit.busy)
        return tr("busy in another program");
    if (unit.infoCode != 0)
        return tr("%1 (code %2)").arg(unit.infoText).arg(unit.infoCode);
    return tr("ready to use");
}

void UnitListModel::setUnits(const UnitEntries &units)
{
    beginResetModel();
    m_units = units;
    endResetModel();
}

const UnitEntry *UnitListModel::unitAt(int unitIndex) const
{
    const int row = rowOfUnit(unitIndex);
    return row < 0 ? nullptr : &m_units.at(row);
}

int UnitListModel::rowOfUnit(int unitIndex) const
{
    for (int row = 0; row < m_units.size(); ++row) {
        if (m_units.at(row).index == unitIndex)
            return row;
    }
    return -1;
}
