#pragma once
// The main window's logic under the names the windows use: each handler forwards to the
// task of its button (tasks/<button>.h), and the tasks share one context (the program-
// wide values, the window's ports, the activity log, the watcher of a send and the server
// session). It talks to the window (or to the console standing in for it) only through
// the interfaces of ports.h, so the same handlers run with or without a display.
#include <QByteArray>
#include <QString>
#include <optional>

#include "base/module1.h"
#include "base/ports.h"
#include "claims/send_observer.h"
#include "sftp/sftp_client.h"
#include "tasks/delete_claims.h"
#include "tasks/get_reports.h"
#include "tasks/ledger_keeping.h"
#include "tasks/resend_claims.h"
#include "tasks/send_claims.h"
#include "tasks/server_session.h"
#include "tasks/start_up.h"
#include "tasks/task_context.h"
#include "tasks/view_claims.h"

namespace zv {

class Ledger;

class Zuduvor {
public:
    // `observer`, when given, is told of each step of a send that a cut would interrupt.
    Zuduvor(Module1& m, MainView& view, PickerView& picker, Dialogs& dialogs, Launcher& launcher,
            SendObserver* observer = nullptr);
    ~Zuduvor();

    // Start-up; runs once before the window is shown.
    StartState Form_Load(const StartOptions& options);
    void WriteLogLine() { log_.WriteLogLine(); }
    // Exit: closes every open file; the caller then ends the program.
    void Command1_Click() { log_.close(); }
    void List1_Click() {}

    // True when the latest OpenSFTPServer succeeded; only that call changes it.
    bool SessionOpen = false;
    void OpenSFTPServer() { session_.OpenSFTPServer(); }
    // Created on first use; start-up creates it when the setup is complete.
    SftpClient& Client() { return session_.Client(); }

    // Tasks of the main window's buttons.
    // A person who sends or fetches sees first what changed while nobody was watching.
    void SendClaims_Click() {
        ledger_.tellUnseen();
        sendClaims_.normalRun();
    }
    void GetReports_Click() {
        ledger_.tellUnseen();
        getReports_.run();
    }
    void ViewReports_Click();
    void ResendClaims_Click() { resendClaims_.list(); }
    void DeleteClaimFiles_Click();
    void ViewClaims_Click();
    void HelpCommand_Click();
    void ZODWebSite_Click();
    void Setup_Click();

    // The claim file picker's click handler and its Exit button.
    void Form5_List1_Click(const PickerLine& line);
    void Form5_Command1_Click() { ctx_.picker.hidePicker(); }

    QString claimTextPath() const { return viewClaims_.claimTextPath(); }
    QString ledgerPath() const { return ledger_.path(); }

    // The claim ledger, opened on first use; null when it cannot be kept in this run
    // (the user has then been told once why).
    Ledger* ledger() { return ledger_.ledger(); }
    // The guards' question "was this sent before?" put to the ledger (sha256: raw bytes).
    std::optional<PriorSend> findPriorSend(const QByteArray& sha256,
                                           const x12::ClaimFileFacts& facts) {
        return ledger_.findPriorSend(sha256, facts);
    }
    // Nobody watches this run (the report timer; the console without a terminal): what
    // needs a person waits for the next one, and desktop notices are prepared.
    void setAttended(bool attended) { ledger_.setAttended(attended); }
    // The window's start: what changed while nobody was watching.
    void tellUnseen() { ledger_.tellUnseen(); }
    // The desktop notices of this run's answers, handed over once.
    QStringList takeNotices() { return ledger_.takeNotices(); }
    // Claim files the guards held back in this run.
    int heldBack() const { return sendClaims_.heldBack(); }
    // Views a backed-up claim file as View Submitted Claims does (the history window's
    // double-click).
    void ViewClaimFile(const QString& name) { viewClaims_.viewClaimFile(name); }

private:
    Module1& m_;
    TaskLog log_;
    ServerSession session_;
    TaskContext ctx_;
    LedgerKeeping ledger_;
    GetReports getReports_;
    SendClaims sendClaims_;
    ResendClaims resendClaims_;
    DeleteClaims deleteClaims_;
    ViewClaims viewClaims_;
};

}  // namespace zv
