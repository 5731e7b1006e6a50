#pragma once
// Stand-ins that record what the task logic shows and answer its questions, so tests
// read as "what the user saw".
#include <QString>
#include <QStringList>
#include <deque>
#include <map>
#include <vector>

#include "app/ports.h"

namespace zv::test {

struct RecordingDialogs : Dialogs {
    struct Shown {
        QString text;
        MessageKind kind;
        bool question;
    };
    std::vector<Shown> shown;
    std::deque<bool> answers;  // answers to askOkCancel in order; empty = Cancel

    void message(const QString& text, MessageKind kind) override {
        shown.push_back({text, kind, false});
    }
    bool askOkCancel(const QString& text, MessageIcon) override {
        shown.push_back({text, MessageKind::Info, true});
        if (answers.empty()) return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    QStringList texts() const {
        QStringList out;
        for (const auto& s : shown) out << s.text;
        return out;
    }
    void clear() { shown.clear(); }
};

struct RecordingLauncher : Launcher {
    bool exists = true;
    bool succeed = true;
    QStringList opened;
    bool openerExists() override { return exists; }
    Status open(const QString& target) override {
        if (!succeed) return fail(QStringLiteral("the opener could not be started"));
        opened << target;
        return {};
    }
};

// The main window and the picker, recorded.
struct RecordingView : MainView, PickerView {
    QStringList status;
    QString dateTimeText;
    QString siteIdText;
    std::map<Control, bool> enabled;
    int frontCount = 0;
    int pendingInputCount = 0;
    int setupChooserShown = 0;
    bool statusFocused = false;

    QString label1, label2, label3;
    std::vector<PickerLine> pickerLines;
    bool pickerVisible = false;
    bool listEnabled = true;

    void statusAdd(const QString& line) override { status << line; }
    void statusClear() override { status.clear(); }
    void focusStatus() override { statusFocused = true; }
    void setDateTimeText(const QString& t) override { dateTimeText = t; }
    void setSiteIDText(const QString& t) override { siteIdText = t; }
    void setEnabled(Control c, bool e) override { enabled[c] = e; }
    void bringToFront() override { ++frontCount; }
    void processPendingInput() override { ++pendingInputCount; }
    void runBlocking(const std::function<void()>& work) override { work(); }
    void showSetupChooser() override { ++setupChooserShown; }
    bool isEnabled(Control c) const {
        auto it = enabled.find(c);
        return it == enabled.end() || it->second;
    }

    void clearList() override { pickerLines.clear(); }
    void setLabels(const QString& a, const QString& b, const QString& c) override {
        label1 = a;
        label2 = b;
        label3 = c;
    }
    void addLine(const PickerLine& line) override { pickerLines.push_back(line); }
    void showPicker() override { pickerVisible = true; }
    void hidePicker() override { pickerVisible = false; }
    bool isPickerVisible() const override { return pickerVisible; }
    void setListEnabled(bool e) override { listEnabled = e; }
    QStringList pickerTexts() const {
        QStringList out;
        for (const auto& l : pickerLines) out << l.text;
        return out;
    }
};

}  // namespace zv::test
