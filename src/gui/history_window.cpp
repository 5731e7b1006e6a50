#include "gui/history_window.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ledger/history.h"
#include "tasks/zuduvor.h"

namespace zv {

namespace {

QTableWidget* newTable(QWidget* parent, const char* name, const QString& accessibleName) {
    auto* table = new QTableWidget(parent);
    table->setObjectName(QLatin1String(name));
    table->setAccessibleName(accessibleName);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void fill(QTableWidget* table, const QStringList& titles, const std::vector<QStringList>& rows,
          int firstNumber, int lastNumber) {
    table->clear();
    table->setColumnCount(int(titles.size()));
    table->setHorizontalHeaderLabels(titles);
    table->setRowCount(int(rows.size()));
    for (int row = 0; row < int(rows.size()); ++row) {
        for (int col = 0; col < int(rows[size_t(row)].size()); ++col) {
            auto* item = new QTableWidgetItem(rows[size_t(row)][col]);
            if (col >= firstNumber && col <= lastNumber)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(row, col, item);
        }
    }
    table->resizeColumnsToContents();
}

}  // namespace

HistoryWindow::HistoryWindow(Zuduvor& logic, QWidget* parent)
    : QWidget(parent, Qt::Window),
      logic_(logic),
      table_(newTable(this, "HistoryTable", QStringLiteral("Claim files sent, newest first"))),
      attention_(new QCheckBox(QStringLiteral("Only files that need attention (a claim "
                                              "rejected, denied or unanswered)"),
                               this)),
      claims_(newTable(this, "ClaimsTable", QStringLiteral("Claims of the claim file picked"))) {
    setObjectName(QStringLiteral("ClaimHistory"));
    setWindowTitle(QStringLiteral("Claim History"));
    resize(820, 520);
    attention_->setObjectName(QStringLiteral("NeedsAttention"));
    attention_->setAccessibleName(QStringLiteral("Only files that need attention"));
    auto* claimsLabel = new QLabel(QStringLiteral("Claims of the file picked above:"), this);
    claimsLabel->setBuddy(claims_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(attention_);
    layout->addWidget(table_, 3);
    layout->addWidget(claimsLabel);
    layout->addWidget(claims_, 2);
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row) {
        if (const QTableWidgetItem* item = table_->item(row, 0)) logic_.ViewClaimFile(item->text());
    });
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row) { showClaims(row); });
    connect(attention_, &QCheckBox::toggled, this, [this] { refresh(); });
}

void HistoryWindow::refresh() {
    std::vector<QStringList> rows;
    if (Ledger* ledger = logic_.ledger()) {  // when it cannot be kept, the user was told why
        if (const auto files = ledger->history()) {
            for (const ClaimRecord& c : *files) {
                if (attention_->isChecked() && !c.attention) continue;
                const HistoryRow r = historyRow(c);
                rows.push_back({r.name, r.sent, r.size, r.claims, r.charges, r.state, r.report});
            }
        }
    }
    fill(table_, historyTitles(), rows, 2, 4);
    fill(claims_, claimTitles(), {}, 1, 1);
}

void HistoryWindow::showClaims(int row) {
    std::vector<QStringList> rows;
    const QTableWidgetItem* item = row >= 0 ? table_->item(row, 0) : nullptr;
    Ledger* ledger = item ? logic_.ledger() : nullptr;
    if (ledger) {
        if (const auto claims = ledger->fileClaims(item->text(), QDateTime::currentDateTimeUtc())) {
            for (const answers::FileClaim& c : *claims) {
                const ClaimRow r = claimRow(c);
                rows.push_back(
                    {r.patientControlNumber, r.charge, r.state, r.by, r.reason, r.paid, r.report});
            }
        }
    }
    fill(claims_, claimTitles(), rows, 1, 1);
}

}  // namespace zv
