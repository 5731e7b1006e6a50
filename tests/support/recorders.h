#pragma once
// Stand-ins that record what the task logic shows and answer its questions, so tests
// read as "what the user saw".
#include <QString>
#include <QStringList>
#include <deque>
#include <map>
#include <utility>
#include <vector>

#include "base/ports.h"

namespace zv::test {

struct RecordingDialogs : Dialogs {
    struct Shown {
        QString text;
        MessageKind kind;
    };
    std::vector<Shown> shown;
    std::deque<bool> answers;  // answers to askOkCancel in order; empty = Cancel
    // The send's guards ("... Send it anyway?") take theirs from here; empty = OK, so that
    // claims of tests about other things still go.
    std::deque<bool> guardAnswers;

    void message(const QString& text, MessageKind kind) override { shown.push_back({text, kind}); }
    bool askOkCancel(const QString& text, MessageIcon) override {
        shown.push_back({text, MessageKind::Info});
        if (text.endsWith(QLatin1String("Send it anyway?"))) {
            const bool a = guardAnswers.empty() || guardAnswers.front();
            if (!guardAnswers.empty()) guardAnswers.pop_front();
            return a;
        }
        const bool a = !answers.empty() && answers.front();
        if (!answers.empty()) answers.pop_front();
        return a;
    }
    QStringList texts() const {
        QStringList out;
        for (const auto& s : shown) out << s.text;
        return out;
    }
};

struct RecordingLauncher : Launcher {
    bool exists = true, succeed = true;
    QStringList opened;
    bool openerExists() override { return exists; }
    Status open(const QString& target) override {
        if (!succeed) return fail(QStringLiteral("the opener could not be started"));
        opened << target;
        return {};
    }
};

// The main window and the picker, recorded; onPendingInput, when set, runs once: the next
// time the window takes input (it does so once per uploaded file).
struct RecordingView : MainView, PickerView {
    QStringList status;
    QString dateTimeText, siteIdText;
    std::map<Control, bool> enabled;
    bool pickerVisible = false;
    std::vector<PickerLine> pickerLines;
    std::function<void()> onPendingInput;

    void statusAdd(const QString& line) override { status << line; }
    void statusClear() override { status.clear(); }
    void focusStatus() override {}
    void setDateTimeText(const QString& t) override { dateTimeText = t; }
    void setSiteIDText(const QString& t) override { siteIdText = t; }
    void setEnabled(Control c, bool e) override { enabled[c] = e; }
    void bringToFront() override {}
    void processPendingInput() override {
        if (auto f = std::exchange(onPendingInput, nullptr)) f();
    }
    void runBlocking(const std::function<void()>& work) override { work(); }
    void showSetupChooser() override {}
    void clearList() override { pickerLines.clear(); }
    void setLabels(const QString&, const QString&, const QString&) override {}
    void addLine(const PickerLine& line) override { pickerLines.push_back(line); }
    void showPicker() override { pickerVisible = true; }
    void hidePicker() override { pickerVisible = false; }
    bool isPickerVisible() const override { return pickerVisible; }
    void setListEnabled(bool) override {}
};

}  // namespace zv::test
