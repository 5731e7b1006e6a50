#pragma once
// "Claim History": a modeless window with a table over the claim ledger, newest first.
// A double-click on a row views that claim file as View Submitted Claims does.
#include <QWidget>

class QTableWidget;

namespace zv {

class Zuduvor;

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    explicit HistoryWindow(Zuduvor& logic, QWidget* parent = nullptr);

    QTableWidget* table() const { return table_; }
    // Reads the ledger again into the table.
    void refresh();

private:
    Zuduvor& logic_;
    QTableWidget* table_;
};

}  // namespace zv
