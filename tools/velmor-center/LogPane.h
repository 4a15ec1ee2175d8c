// Every library call the application made, with its result in words and its duration.
#ifndef VELMORCENTER_LOGPANE_H
#define VELMORCENTER_LOGPANE_H

#include "CallRecord.h"

#include <QWidget>

class QCheckBox;
class QPlainTextEdit;

class LogPane : public QWidget
{
    Q_OBJECT
public:
    static constexpr int s_keptLines = 2000;

    explicit LogPane(QWidget *parent = nullptr);

    void addCall(const CallRecord &record);
    void addNote(const QString &text);
    QString text() const;

private:
    QPlainTextEdit *m_text;
    QCheckBox *m_showPolls;
};

#endif
