#include "gui/history_window.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ledger/history.h"
#include "tasks/zuduvor.h"

namespace zv {

HistoryWindow::HistoryWindow(Zuduvor& logic, QWidget* parent)
    : QWidget(parent, Qt::Window), logic_(logic), table_(new QTableWidget(this)) {
    setObjectName(QStringLiteral("ClaimHistory"));
    setWindowTitle(QStringLiteral("Claim History"));
    resize(820, 360);
    table_->setObjectName(QStringLiteral("HistoryTable"));
    table_->setAccessibleName(QStringLiteral("Claim files sent, newest first"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row) {
        if (const QTableWidgetItem* item = table_->item(row, 0)) logic_.ViewClaimFile(item->text());
    });
}

void HistoryWindow::refresh() {
    const QStringList titles = historyTitles();
    table_->clear();
    table_->setColumnCount(int(titles.size()));
    table_->setHorizontalHeaderLabels(titles);
    table_->setRowCount(0);
    Ledger* ledger = logic_.ledger();  // when it cannot be kept, the user was told why
    if (!ledger) return;
    const auto claims = ledger->history();
    if (!claims) return;
    table_->setRowCount(int(claims->size()));
    for (int row = 0; row < int(claims->size()); ++row) {
        const HistoryRow r = historyRow((*claims)[size_t(row)]);
        const QString cells[] = {r.name, r.sent, r.size, r.claims, r.charges, r.state, r.report};
        for (int col = 0; col < int(std::size(cells)); ++col) {
            auto* item = new QTableWidgetItem(cells[col]);
            if (col >= 2 && col <= 4) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(row, col, item);
        }
    }
    table_->resizeColumnsToContents();
}

}  // namespace zv
