#pragma once
// Narrow interfaces between the task logic and what surrounds it: the main window
// (or the console that stands in for it), message boxes, the claim file picker and
// outside programs. Tests answer and record them.
#include <QString>
#include <functional>

#include "base/result.h"

namespace zv {

enum class MessageKind { Failure, Info };
enum class MessageIcon { None, Critical };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Modal box with one OK button, captioned "ZUDUVOR".
    virtual void message(const QString& text, MessageKind kind = MessageKind::Failure) = 0;
    // Modal box with OK and Cancel; true when the user chose OK.
    virtual bool askOkCancel(const QString& text, MessageIcon icon = MessageIcon::None) = 0;
};

class Launcher {
public:
    virtual ~Launcher() = default;
    // True when the desktop's opener can be found.
    virtual bool openerExists() = 0;
    // Opens a file, folder or address with the desktop's opener, without waiting.
    virtual Status open(const QString& target) = 0;
};

enum class Control {
    SendClaims,
    GetReports,
    ViewReports,
    Setup,
    Command1,
    HelpCommand,
    ResendClaims,
    ViewClaims,
    DeleteClaimFiles,
    ZODWebSite,
};

// What the task logic needs of the main window.
class MainView {
public:
    virtual ~MainView() = default;
    virtual void statusAdd(const QString& line) = 0;
    virtual void statusClear() = 0;
    virtual void focusStatus() = 0;
    virtual void setDateTimeText(const QString& text) = 0;
    virtual void setSiteIDText(const QString& text) = 0;
    virtual void setEnabled(Control control, bool enabled) = 0;
    virtual void bringToFront() = 0;
    // The one chance per uploaded file for the window to take user input.
    virtual void processPendingInput() = 0;
    // Runs a blocking call (a server operation) to its end. A window keeps repainting
    // meanwhile but takes no user input; a console just calls it.
    virtual void runBlocking(const std::function<void()>& work) = 0;
    // Shows the setup chooser (a window only; a console does nothing).
    virtual void showSetupChooser() = 0;
    // The line of a long transfer (percent 0..100), or none. Called from the thread that
    // runs the blocking call.
    virtual void showProgress(const QString& text, int percent) {
        (void)text;
        (void)percent;
    }
    virtual void hideProgress() {}
};

// One line of the claim file picker; the name travels with its line so that a name
// holding blanks is handed over whole.
struct PickerLine {
    QString text;
    QString name;
};

class PickerView {
public:
    virtual ~PickerView() = default;
    virtual void clearList() = 0;
    virtual void setLabels(const QString& label1, const QString& label2, const QString& label3) = 0;
    virtual void addLine(const PickerLine& line) = 0;
    virtual void showPicker() = 0;
    virtual void hidePicker() = 0;
    virtual bool isPickerVisible() const = 0;
    // The picker's list takes no click while a pick action runs.
    virtual void setListEnabled(bool enabled) = 0;
};

}  // namespace zv
