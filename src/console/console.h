#pragma once
// The main window's tasks without a window, for scheduled and scripted use: status
// lines go to standard output as they are added, message texts to standard error, and
// questions are answered Cancel unless --yes was given.
#include <QTextStream>
#include <vector>

#include "base/ports.h"
#include "claims/send_observer.h"
#include "console/command_line.h"

namespace zv {

class Zuduvor;

class ConsoleRunner : public MainView, public PickerView, public Dialogs, public Launcher {
public:
    // `observer` is handed to the task logic (see Zuduvor).
    ConsoleRunner(QTextStream& out, QTextStream& err, SendObserver* observer = nullptr)
        : out_(out), err_(err), observer_(observer) {}
    // Runs the command; returns the exit status (0 fine, 1 a failure was shown).
    int run(const CommandLine& commandLine);

    // MainView
    void statusAdd(const QString& line) override;
    void statusClear() override {}
    void focusStatus() override {}
    void setDateTimeText(const QString&) override {}
    void setSiteIDText(const QString&) override {}
    void setEnabled(Control, bool) override {}
    void bringToFront() override {}
    void processPendingInput() override {}
    void runBlocking(const std::function<void()>& work) override { work(); }
    void showSetupChooser() override {}
    // One line on standard error, rewritten in place, and only on a terminal: a pipe, a
    // file or a timer's journal gets none of it.
    void showProgress(const QString& text, int percent) override;
    void hideProgress() override;
    // PickerView
    void clearList() override { lines_.clear(); }
    void setLabels(const QString&, const QString&, const QString&) override {}
    void addLine(const PickerLine& line) override { lines_.push_back(line); }
    void showPicker() override { pickerShown_ = true; }
    void hidePicker() override { pickerShown_ = false; }
    bool isPickerVisible() const override { return pickerShown_; }
    void setListEnabled(bool) override {}
    // Dialogs
    void message(const QString& text, MessageKind kind) override;
    bool askOkCancel(const QString& text, MessageIcon icon) override;
    // Launcher: nothing is started; the path that would be opened is printed.
    bool openerExists() override { return true; }
    Status open(const QString& target) override;

private:
    const PickerLine* findLine(const QString& name) const;
    // The picker's lines, one per line of standard output.
    void printLines();
    // Clicks the picker's line for `name`; when there is none, says so (`notFound` after
    // the name) if the picker was shown.
    void pick(Zuduvor& z, const QString& name, const QString& notFound);
    int printHistory(Zuduvor& z, const CommandLine& commandLine);
    int schedule(bool on, const QString& workRoot);
    void runTask(Zuduvor& z, const CommandLine& commandLine);

    QTextStream& out_;
    QTextStream& err_;
    SendObserver* observer_;
    bool yes_ = false;
    bool statusShown_ = true;  // the history prints only itself
    bool failed_ = false;
    QString firstFailure_;  // the first failure message of the run
    bool pickerShown_ = false;
    std::vector<PickerLine> lines_;
    qsizetype progressWidth_ = 0;  // of the progress line on the terminal, 0 when none
};

}  // namespace zv
