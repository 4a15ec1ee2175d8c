#include "LogPane.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTime>
#include <QVBoxLayout>

LogPane::LogPane(QWidget *parent)
    : QWidget(parent)
    , m_text(new QPlainTextEdit)
    , m_showPolls(new QCheckBox(tr("Show status polls")))
{
    m_text->setObjectName(QStringLiteral("log"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setMaximumBlockCount(s_keptLines);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_showPolls->setObjectName(QStringLiteral("showPolls"));
    auto *header = new QHBoxLayout;
    header->addWidget(new QLabel(tr("<b>Calls</b>")));
    header->addStretch();
    header->addWidget(m_showPolls);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(header);
    layout->addWidget(m_text);
}

void LogPane::addCall(const CallRecord &record)
{
    if (record.isPoll && record.code == 0 && !m_showPolls->isChecked())
        return;
    addNote(record.line());
}

void LogPane::addNote(const QString &text)
{
    m_text->appendPlainText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz  ")) + text);
}

QString LogPane::text() const
{
    return m_text->toPlainText();
}
