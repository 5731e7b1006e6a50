#pragma once
// The main window ZUDUVOR: its controls, laid out as on the workstations the program
// was made for (1 twip = 1/15 pixel), forwarding each click to the main window's logic.
#include <QListWidget>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <map>

#include "base/ports.h"
#include "tasks/zuduvor.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace zv {

class Form2;
class Form5;
class HistoryWindow;

class ZuduvorWindow : public QWidget, public MainView {
    Q_OBJECT
public:
    ZuduvorWindow(Module1& m, Dialogs& dialogs, Launcher& launcher, QWidget* parent = nullptr);
    ~ZuduvorWindow() override;

    Zuduvor& logic() { return *logic_; }
    QListWidget* statusList() const { return list1_; }
    QProgressBar* progressBar() const { return progress_; }
    QPushButton* button(Control c) const { return buttons_.at(c); }
    QLineEdit* siteIdBox() const { return siteIdText_; }
    QLineEdit* dateTimeBox() const { return dateTimeText_; }
    bool busy() const { return busy_; }
    QPushButton* historyButton() const { return claimHistory_; }
    HistoryWindow* historyWindow() const { return history_.get(); }

    // MainView
    void statusAdd(const QString& line) override;
    void statusClear() override;
    void focusStatus() override;
    void setDateTimeText(const QString& text) override;
    void setSiteIDText(const QString& text) override;
    void setEnabled(Control control, bool enabled) override;
    void bringToFront() override;
    void processPendingInput() override;
    void runBlocking(const std::function<void()>& work) override;
    void showSetupChooser() override;
    void showProgress(const QString& text, int percent) override;
    void hideProgress() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Command1_Click();
    void ClaimHistory_Click();

    Module1& m_;
    Dialogs& dialogs_;
    std::unique_ptr<Form5> picker_;
    std::unique_ptr<Zuduvor> logic_;
    QPointer<Form2> form2_;
    QListWidget* list1_ = nullptr;
    QProgressBar* progress_ = nullptr;
    // Counts the hides: a show queued before a hide must not bring the bar back.
    std::atomic<int> progressEpoch_ = 0;
    QLineEdit* siteIdText_ = nullptr;
    QLineEdit* dateTimeText_ = nullptr;
    std::map<Control, QPushButton*> buttons_;
    QPushButton* claimHistory_ = nullptr;
    std::unique_ptr<HistoryWindow> history_;
    bool busy_ = false;
};

}  // namespace zv
