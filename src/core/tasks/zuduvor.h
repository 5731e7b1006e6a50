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
//   the claim ledger: opening, settling working copies, answers ledger/ledger_tasks.cpp
//   ViewReports_Click                                           reports/view_reports.cpp
//   HelpCommand_Click, ZODWebSite_Click                         help/help.cpp
//   Setup_Click                                                 app/zuduvor.cpp
#include <QElapsedTimer>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "base/activity_log.h"
#include "base/module1.h"
#include "base/ports.h"
#include "base/transfer_progress.h"
#include "claims/send_observer.h"
#include "sftp/sftp_client.h"

class QLockFile;

namespace zv {

class Ledger;
struct PriorSend;
struct FetchedReport;

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
    QString ledgerPath() const { return m_.Paths.WorkRoot + QStringLiteral("ledger.db"); }

    // The claim ledger, opened on first use; null when it cannot be kept in this run
    // (the user has then been told once why).
    Ledger* ledger();
    // The guards' question "was this sent before?" put to the ledger (sha256: raw bytes).
    std::optional<PriorSend> findPriorSend(const QByteArray& sha256, const QString& sender,
                                           const QString& interchangeNumber);
    // Views a backed-up claim file as View Submitted Claims does (the history window's
    // double-click).
    void ViewClaimFile(const QString& name);

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
    // Upper-cased names waiting in the server's claims/ and the sizes of all it lists;
    // our uploads left there by a cut-off run are taken away. False when not listed.
    bool ListServerClaims(QSet<QString>& names, QMap<QString, qint64>& sizes);
    // Gives the whole upload `part` the claim's name on the server.
    UploadResult PlaceUpload(const QString& part, const QString& name, bool resend);
    QStringList FindClaimFiles();
    // The guards over the found files; false when none of them goes on.
    bool GuardClaimFiles(QStringList& found);
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
    // Working copies left in claims/ by an earlier run, settled against the ledger, the
    // server's listing (serverSizes_) and the practice files `found` before new files
    // are numbered.
    void SettleWorkingCopies(bool listed, const QStringList& found);
    // True when the working copy `name` is a copy of a practice file still waiting: the
    // run was cut off before it took that file, which is now numbered anew.
    bool StillInPracticeFolder(const QString& name, const QStringList& found);
    void RecordNumbered(const QString& claim, int number);
    // A fetched report, kept in the report folder at `path`, recorded for MatchAnswers.
    void RecordReport(const QString& path, const QString& name);
    // Matches the reports fetched in this run with the claim files they answer, records
    // the outcomes and adds one status line per answered file, then names the files sent
    // more than two days ago that nothing has answered yet.
    void MatchAnswers();
    // A ledger write that failed: the user is told once and the ledger is not used again.
    void keepLedger(const Status& written);
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

    // A transfer's progress, from the thread that runs it; and the end of a blocking call,
    // after which no line of it may stay (a failed transfer never tells its end).
    void progressed(const QString& name, qint64 done, qint64 total);
    void endProgress();
    void apply(TransferProgress::Change change);

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
    // The names a normal run found on the server: numbers that are taken; with the sizes
    // listed (upload temp names too, as listed before they are taken away).
    QSet<QString> serverClaims_;
    QMap<QString, qint64> serverSizes_;
    // The practice file(s) the claim being numbered was made of.
    QStringList sources_;
    std::unique_ptr<Ledger> ledger_;
    bool ledgerOff_ = false;
    std::vector<FetchedReport> fetched_;
    // The listing and entry of the latest directory walk (reports or claims).
    std::optional<RemoteListing> listing_;
    RemoteEntry entry_;
    TransferProgress progress_;
    QElapsedTimer progressClock_;
};

template <class F>
auto Zuduvor::blocking(F&& f) -> decltype(f()) {
    using R = decltype(f());
    if constexpr (std::is_void_v<R>) {
        view_.runBlocking([&] { f(); });
        endProgress();
    } else {
        std::optional<R> result;
        view_.runBlocking([&] { result.emplace(f()); });
        endProgress();
        return std::move(*result);
    }
}

}  // namespace zv
