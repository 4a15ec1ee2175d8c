// The attached units, one row each, as the worker last listed them.
#ifndef VELMORCENTER_UNITLISTMODEL_H
#define VELMORCENTER_UNITLISTMODEL_H

#include "UnitEntry.h"

#include <QAbstractListModel>

class UnitListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role { IndexRole = Qt::UserRole + 1, SerialRole, NameRole };

    explicit UnitListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    void setUnits(const UnitEntries &units);
    const UnitEntry *unitAt(int unitIndex) const;
    int rowOfUnit(int unitIndex) const;
    static QString describe(const UnitEntry &unit);
    // "busy in another program", why its information could not be read, or that it is fine.
    static QString condition(const UnitEntry &unit);

private:
    UnitEntries m_units;
};

#endif
