#include "tasks/zuduvor.h"

#include "tasks/help.h"
#include "tasks/view_reports.h"

namespace zv {

Zuduvor::Zuduvor(Module1& m, MainView& view, PickerView& picker, Dialogs& dialogs,
                 Launcher& launcher, SendObserver* observer)
    : m_(m),
      log_(m),
      session_(m, view, dialogs, SessionOpen),
      ctx_{m, view, picker, dialogs, launcher, observer, log_, session_},
      ledger_(ctx_),
      getReports_(ctx_, ledger_),
      sendClaims_(ctx_, ledger_, getReports_),
      resendClaims_(ctx_, sendClaims_),
      deleteClaims_(ctx_),
      viewClaims_(ctx_) {}

Zuduvor::~Zuduvor() = default;

StartState Zuduvor::Form_Load(const StartOptions& options) { return startUp(ctx_, options); }

void Zuduvor::ViewReports_Click() { viewReports(ctx_); }

void Zuduvor::HelpCommand_Click() { showHelp(ctx_); }

void Zuduvor::ZODWebSite_Click() { openWebSite(ctx_); }

void Zuduvor::Setup_Click() {
    ctx_.view.showSetupChooser();
    ctx_.view.statusClear();
    ctx_.view.statusAdd(ReadyLine);
}

// The second stage runs when the picker's delete action called back.
void Zuduvor::DeleteClaimFiles_Click() {
    if (m_.PickerCallback)
        deleteClaims_.deleteOnServer(m_.DeleteClaimName);
    else
        deleteClaims_.list();
}

// The second stage runs when the picker's view action called back with a name.
void Zuduvor::ViewClaims_Click() {
    if (m_.PickerCallback && !m_.ViewClaimName.isEmpty())
        viewClaims_.show(m_.ViewClaimName);
    else
        viewClaims_.list();
}

void Zuduvor::Form5_List1_Click(const PickerLine& line) {
    ctx_.picker.setListEnabled(false);
    const qsizetype blank = line.text.indexOf(QLatin1Char(' '));
    if (blank < 0) {
        ctx_.dialogs.message(QStringLiteral("Can't Copy Backup File"));
    } else {
        // The name travels with its line, so a name that holds blanks is kept whole.
        const QString name = line.name.isEmpty() ? line.text.left(blank) : line.name;
        m_.ClaimName = name;
        if (m_.PickerMode.ResendMode)
            resendClaims_.pick(name);
        else if (m_.PickerMode.DeleteMode)
            deleteClaims_.pick(name);
        else if (m_.PickerMode.ViewMode)
            viewClaims_.pick(name);
    }
    ctx_.picker.setListEnabled(true);
}

}  // namespace zv
