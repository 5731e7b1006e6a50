#pragma once
// The main window's logic: start-up, the activity log, the session opening and every
// task behind the main window's buttons, with the handler names the windows use.
// It talks to the window (or to the console standing in for it) only through the
// interfaces of ports.h, so the same handlers run with or without a display.
//
// Where each handler's task lives (under src/core/):
//   Form_Load, Command1_Click, OpenSFTPServer and the helpers
//     every task shares (showFailure, closeQuietly, shownName)  app/zuduvor.cpp
//   SendClaims_Click                                            claims/send_claims.cpp
//   ResendClaims_Click                                          claims/resend_claims.cpp
//   DeleteClaimFiles_Click                                      claims/delete_claims.cpp
//   ViewClaims_Click                                            claims/view_claims.cpp
//   Form5_List1_Click, Form5_Command1_Click (the picker)        app/zuduvor.cpp
//     (its pick actions live with their tasks: ResendPickAction with resend,
//     DeletePickAction with delete, ViewPickAction with view)
//   GetReports_Click                                            reports/get_reports.cpp
//   ViewReports_Click                                           reports/view_reports.cpp
//   HelpCommand_Click, ZODWebSite_Click                         help/help.cpp
//   Setup_Click                                                 app/zuduvor.cpp
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "app/activity_log.h"
#include "app/module1.h"
#include "app/ports.h"
#include "claims/send_observer.h"
#include "sftp/sftp_client.h"

class QLockFile;

namespace zv {

struct StartOptions {
    QString workRoot;    // --work-root / ZUDUVOR_WORK_ROOT; empty = the usual rule
    QString sftpHost;    // --sftp-host / ZUDUVOR_SFTP_HOST; empty = the built-in host
    int sftpPort = 0;    // --sftp-port / ZUDUVOR_SFTP_PORT; 0 = 22
    QString currentDir;  // empty = the process's current directory
    QString homeDir;     // empty = $HOME
};

enum class StartState { NoSetupFile, UnknownKey, MissingValue, Complete, WorkRootUnusable };

class Zuduvor {
public:
    // `observer`, when given, is told of each step of a send that a cut would interrupt.
    Zuduvor(Module1& m, MainView& view, PickerView& picker, Dialogs& dialogs, Launcher& launcher,
            SendObserver* observer = nullptr);
    ~Zuduvor();

    // Start-up; runs once before the window is shown.
    StartState Form_Load(const StartOptions& options);
    void WriteLogLine();
    // Exit: closes every open file; the caller then ends the program.
    void Command1_Click();
    void List1_Click() {}

    void OpenSFTPServer();
    bool SessionOpen = false;
    // Created on first use; start-up creates it when the setup is complete.
    SftpClient& Client();

    // Tasks of the main window's buttons.
    void SendClaims_Click();
    void GetReports_Click();
    void ViewReports_Click();
    void ResendClaims_Click();
    void DeleteClaimFiles_Click();
    void ViewClaims_Click();
    void HelpCommand_Click();
    void ZODWebSite_Click();
    void Setup_Click();

    // The claim file picker's click handler and its Exit button.
    void Form5_List1_Click(const PickerLine& line);
    void Form5_Command1_Click();

    // Where the converted copy of a viewed 837 claim goes.
    QString claimTextPath() const { return m_.Paths.WorkRoot + QStringLiteral("claim.txt"); }

private:
    // Runs one blocking server call through the view; stores nothing by itself.
    template <class F>
    auto blocking(F&& f) -> decltype(f());

    // Form_Load's two halves: the work root and its folders (false when the root cannot
    // be made), then the setup file and the log.
    bool SetUpWorkRoot(const StartOptions& options);
    StartState LoadSetup();
    // Takes a lock file in the work root so that two programs never run the same task on
    // it at once; otherwise shows `busy`, or why no lock could be made ("so " + notDone).
    bool LockWorkRoot(QLockFile& lock, const QString& busy, const QString& notDone);
    void showFailure(const QString& message);  // message + LF + ErrorDetail
    bool ensureLog();
    QString nowText() const;  // "mm-dd-yyyy at hh:mm:ss"

    // Claim submission: NormalRun's steps, in their order.
    enum class UploadResult { Completed, CloseFailed, NotPlaced, EndRun };
    enum class ClaimOutcome { Sent, Gone, Stop, EndRun };
    // The run's own kind decides the status line, whatever the picker is set to meanwhile.
    UploadResult UploadClaimFile(bool resend);
    void ResendRun();
    void NormalRun();
    void BeginSend();
    bool SetupReadyForSend();
    bool PracticeFolderOutsideWorkRoot();
    // Upper-cased names waiting in the server's claims/ (none when it cannot be listed);
    // our uploads left there by a cut-off run are taken away.
    QSet<QString> ListServerClaims();
    // Gives the whole upload `part` the claim's name on the server.
    UploadResult PlaceUpload(const QString& part, const QString& name, bool resend);
    QStringList FindClaimFiles();
    bool JoinsFiles() const;
    // Joins the practice's files into one; on success `found` names the file to send.
    bool JoinClaimFiles(QStringList& found);
    // Number, keep copies, remove the practice's file, upload, record.
    ClaimOutcome SendOneClaim(const QString& original, int& number);
    bool NumberClaim(int& number);
    bool KeepCopies(const QString& original, const QString& claim);
    bool RemovePracticeFile(const QString& original, const QString& claim);
    void RecordNumber(int number, const QString& claim);
    void EndSend(const QString& message);  // message (when any), Send enabled again
    void FinishNormalRun();
    void reach(SendStep step) {
        if (observer_) observer_->stepReached(step);
    }

    // Get Reports: the listed reports one by one; false when a download failed, which
    // ends the task.
    enum class ReportOutcome { OnDisk, Skipped, Failed };
    bool DownloadListedReports(const QString& handle);
    // `next`: the report fetched after this one, if any.
    ReportOutcome FetchReport(const RemoteEntry& entry, const QByteArray& next);
    // Not skipped by FetchReport's name checks.
    static bool Fetchable(const RemoteEntry& entry);

    // Shared by several tasks.
    void closeQuietly(const QString& handle);
    // A name from the server shown in a status line, with control characters made visible.
    static QString shownName(const QString& name);

    // Pick actions of the three picker modes.
    void ResendPickAction();
    void DeletePickAction();
    void ViewPickAction();
    void ViewStage2();
    void DeleteStage2();

    Module1& m_;
    MainView& view_;
    PickerView& picker_;
    Dialogs& dialogs_;
    Launcher& launcher_;
    SendObserver* observer_;
    ActivityLog log_;
    std::unique_ptr<SftpClient> client_;
    // Set only by the picker's resend action: a Send click never turns into a resend.
    bool resendRequested_ = false;
    // The names a normal run found on the server: numbers that are taken.
    QSet<QString> serverClaims_;
    // The listing and entry of the latest directory walk (reports or claims).
    std::optional<RemoteListing> listing_;
    RemoteEntry entry_;
};

template <class F>
auto Zuduvor::blocking(F&& f) -> decltype(f()) {
    using R = decltype(f());
    if constexpr (std::is_void_v<R>) {
        view_.runBlocking([&] { f(); });
    } else {
        std::optional<R> result;
        view_.runBlocking([&] { result.emplace(f()); });
        return std::move(*result);
    }
}

}  // namespace zv
