// What came of loading a settings file into a unit (one row per setting with its outcome and
// why) or of comparing one with it (the settings that differ); after a load that the unit
// refused in part, it offers to load the file again fixing each refused value to the nearest
// the unit accepts.
#ifndef VELMORCENTER_PROFILEDIALOG_H
#define VELMORCENTER_PROFILEDIALOG_H

#include "ProfileRequest.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

class ProfileDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ProfileDialog(QWidget *parent = nullptr);

    void showOutcome(const ProfileOutcome &outcome);
    QTableWidget *table() const { return m_table; }

signals:
    void fixRequested(const ProfileRequest &request);

private:
    QLabel *m_summary;
    QTableWidget *m_table;
    QPushButton *m_fix;
    ProfileRequest m_request;
};

#endif
