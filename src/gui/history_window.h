#pragma once
// "Claim History": a modeless window with a table over the claim ledger, newest first, a
// filter for the files that need a person, and the claims of the file picked below it.
// A double-click on a row views that claim file as View Submitted Claims does.
#include <QWidget>

class QCheckBox;
class QTableWidget;

namespace zv {

class Zuduvor;

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    explicit HistoryWindow(Zuduvor& logic, QWidget* parent = nullptr);

    QTableWidget* table() const { return table_; }
    QTableWidget* claimsTable() const { return claims_; }
    // Reads the ledger again into the table.
    void refresh();

private:
    // The claims of the file in `row` of the table.
    void showClaims(int row);

    Zuduvor& logic_;
    QTableWidget* table_;
    QCheckBox* attention_;
    QTableWidget* claims_;
};

}  // namespace zv
