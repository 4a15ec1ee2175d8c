#include "ProfileDialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// Outcomes a person should look at, in the colours of the log's refusals.
QColor outcomeColour(const QString &outcome)
{
    if (outcome == QLatin1String("refused") || outcome == QLatin1String("failed"))
        return QColor(0xc0, 0x39, 0x2b);
    if (outcome == QLatin1String("fixed"))
        return QColor(0xb9, 0x77, 0x0e);
    return QColor();
}

} // namespace

ProfileDialog::ProfileDialog(QWidget *parent)
    : QDialog(parent)
    , m_summary(new QLabel)
    , m_table(new QTableWidget)
    , m_fix(new QPushButton(tr("Fix to the nearest accepted values")))
{
    setObjectName(QStringLiteral("profileDialog"));
    m_summary->setObjectName(QStringLiteral("profileSummary"));
    m_summary->setWordWrap(true);
    m_table->setObjectName(QStringLiteral("profileTable"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_fix->setObjectName(QStringLiteral("fixProfile"));
    m_fix->setToolTip(tr("Load the file again, writing the nearest value the unit accepts for each refused one"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->addButton(m_fix, QDialogButtonBox::ActionRole);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_table, 1);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_fix, &QPushButton::clicked, this, [this] {
        ProfileRequest request = m_request;
        request.fix = true;
        m_fix->setEnabled(false);
        emit fixRequested(request);
    });
    resize(720, 380);
}

void ProfileDialog::showOutcome(const ProfileOutcome &outcome)
{
    m_request = outcome.request;
    const QString file = QFileInfo(outcome.request.path).fileName();
    const bool compared = outcome.request.kind == ProfileRequest::Kind::Compare;
    setWindowTitle(compared ? tr("Unit %1 compared with %2").arg(outcome.request.index).arg(file)
                            : tr("%1 loaded into unit %2").arg(file).arg(outcome.request.index));
    QString summary;
    if (compared)
        summary = outcome.rows.isEmpty() && outcome.failure.isEmpty()
            ? tr("Unit %1 (%2) holds every setting of %3.").arg(outcome.request.index).arg(outcome.request.serial, file)
            : tr("%n setting(s) of %1 differ from unit %2 (%3).", nullptr, outcome.rows.size())
                  .arg(file).arg(outcome.request.index).arg(outcome.request.serial);
    else
        summary = tr("Each setting of %1 as unit %2 (%3) took it%4.")
                      .arg(file).arg(outcome.request.index)
                      .arg(outcome.request.serial, outcome.request.fix ? tr(", refused values fixed to the nearest accepted ones")
                                                                       : QString());
    if (!outcome.failure.isEmpty())
        summary += QStringLiteral("\n") + outcome.failure;
    m_summary->setText(summary);

    m_table->clear();
    m_table->setColumnCount(outcome.headers.size());
    m_table->setHorizontalHeaderLabels(outcome.headers);
    m_table->setRowCount(outcome.rows.size());
    for (int row = 0; row < outcome.rows.size(); ++row) {
        const QStringList &cells = outcome.rows.at(row);
        for (int column = 0; column < cells.size(); ++column) {
            auto *item = new QTableWidgetItem(cells.at(column));
            item->setToolTip(cells.at(column));
            if (!compared && column == 1 && outcomeColour(cells.at(column)).isValid())
                item->setForeground(outcomeColour(cells.at(column)));
            m_table->setItem(row, column, item);
        }
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_fix->setVisible(!compared && outcome.anyRefused && !outcome.request.fix);
    m_fix->setEnabled(true);
}
