#include "tasks/zuduvor.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include "base/workstation_rules.h"
#include "ledger/ledger.h"
#include "setup/setup_file.h"
#include "zuduvor_config.h"

namespace zv {

namespace {

QString withSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path;
}

}  // namespace

Zuduvor::Zuduvor(Module1& m, MainView& view, PickerView& picker, Dialogs& dialogs,
                 Launcher& launcher, SendObserver* observer)
    : m_(m),
      view_(view),
      picker_(picker),
      dialogs_(dialogs),
      launcher_(launcher),
      observer_(observer) {}

Zuduvor::~Zuduvor() = default;

QString Zuduvor::nowText() const { return dateAndTimeText(QDateTime::currentDateTime()); }

StartState Zuduvor::Form_Load(const StartOptions& options) {
    view_.statusAdd(ReadyLine);
    m_.LF = QStringLiteral("\n");
    const bool rootUsable = SetUpWorkRoot(options);
    view_.setDateTimeText(nowText());
    if (!rootUsable) {
        dialogs_.message(QStringLiteral("The work folder ") + m_.Paths.WorkRoot +
                         QStringLiteral(" could not be created. Check that the disk is "
                                        "available and writable, then start the program again."));
        return StartState::WorkRootUnusable;
    }
    if (const StartState setup = LoadSetup(); setup != StartState::Complete) return setup;
    m_.SftpHost =
        options.sftpHost.isEmpty() ? QString::fromUtf8(config::kSftpHost) : options.sftpHost;
    m_.SftpPort = options.sftpPort > 0 ? options.sftpPort : 22;
    Client();
    return StartState::Complete;
}

bool Zuduvor::SetUpWorkRoot(const StartOptions& options) {
    const QString current = options.currentDir.isEmpty() ? QDir::currentPath() : options.currentDir;
    const QString home = options.homeDir.isEmpty() ? QDir::homePath() : options.homeDir;
    m_.Paths.WorkDrive = QStringLiteral("/");
    m_.Paths.WorkRoot = options.workRoot.isEmpty() ? posixWorkRoot(current, home)
                                                   : withSlash(QDir::cleanPath(options.workRoot));

    // There is no installer on this platform, so the work root is made here.
    const bool rootUsable = QDir().mkpath(m_.Paths.WorkRoot);

    // No "ver" command and no workstation marker here: the tag is fixed and the desktop's
    // opener stands in for the three viewers.
    m_.OSVersion = QStringLiteral("W8");
    m_.SysID.clear();
    m_.Paths.ExplorerCommand = QStringLiteral("xdg-open ");
    m_.Paths.BrowserCommand = QStringLiteral("xdg-open ");
    m_.Paths.NotepadCommand = QStringLiteral("xdg-open ");

    for (const char* sub : {"claims", "claimsbu", "user", "reports"})
        QDir().mkdir(m_.Paths.WorkRoot + QLatin1String(sub));

    m_.Paths.ClaimsDir = m_.Paths.WorkRoot + QStringLiteral("claims/");
    m_.Paths.ClaimsBackupDir = m_.Paths.WorkRoot + QStringLiteral("claimsbu/");
    m_.Paths.SetupFile = m_.Paths.WorkRoot + QStringLiteral("setup.prm");
    m_.Paths.SequenceFile = m_.Paths.WorkRoot + QStringLiteral("seqfile.fil");
    m_.Paths.LogFile = m_.Paths.WorkRoot + QStringLiteral("ZUDUVOR.LOG");
    return rootUsable;
}

StartState Zuduvor::LoadSetup() {
    const QFileInfo setupInfo(m_.Paths.SetupFile);
    if (!setupInfo.exists() || setupInfo.size() == 0) {
        dialogs_.message(QStringLiteral("Setup File not Found. Please do the Setup."));
        return StartState::NoSetupFile;
    }

    const SetupReadResult read = readSetupFile(
        m_.Paths.SetupFile, m_.Setup, [this](const QString& id) { view_.setSiteIDText(id); });
    if (read.outcome == SetupReadOutcome::UnknownKey) {
        dialogs_.message(QStringLiteral("Unknown Setup Parameter. Please Redo the Setup."));
        return StartState::UnknownKey;
    }
    if (read.outcome == SetupReadOutcome::Unreadable) {
        dialogs_.message(QStringLiteral("The setup file ") + m_.Paths.SetupFile +
                         QStringLiteral(" could not be read: ") + read.error +
                         QStringLiteral(". Please Redo the Setup."));
        return StartState::UnknownKey;
    }

    log_.open(m_.Paths.LogFile);
    m_.Activity = QStringLiteral("Start DADEDIRUred");
    WriteLogLine();

    const std::pair<const QString*, const char*> required[] = {
        {&m_.Setup.UserPath, "User Claim File not found, Setup Required."},
        {&m_.Setup.UserFile, "Claim File not found, Setup Required."},
        {&m_.Setup.SiteID, "Site ID not found, Setup Required."},
        {&m_.Setup.PassWord, "Password not found, Setup Required."},
        {&m_.Setup.FileType, "File Type not found, Setup Required."},
        {&m_.Setup.RptPath, "Report Path not found, Setup Required."},
    };
    for (const auto& [value, text] : required) {
        if (value->isEmpty()) {
            dialogs_.message(QString::fromLatin1(text));
            return StartState::MissingValue;
        }
    }
    return StartState::Complete;
}

SftpClient& Zuduvor::Client() {
    if (!client_) {
        client_ = std::make_unique<SftpClient>();
        client_->ConnectTimeoutMs(5000);
        client_->IdleTimeoutMs(10000);
        client_->KnownHostsFile(m_.Paths.WorkRoot + QStringLiteral("known_hosts"));
        client_->OnProgress([this](const QString& name, qint64 done, qint64 total) {
            progressed(name, done, total);
        });
    }
    return *client_;
}

void Zuduvor::progressed(const QString& name, qint64 done, qint64 total) {
    if (!progressClock_.isValid()) progressClock_.start();
    apply(progress_.update(name, done, total, progressClock_.elapsed()));
}

void Zuduvor::endProgress() { apply(progress_.finish()); }

void Zuduvor::apply(TransferProgress::Change change) {
    if (change == TransferProgress::Change::Show)
        view_.showProgress(progress_.text(), progress_.percent());
    else if (change == TransferProgress::Change::Hide)
        view_.hideProgress();
}

bool Zuduvor::ensureLog() {
    // A start-up that ended before its log step leaves no log; the first task that
    // logs opens it then, so the run's activity is still recorded.
    if (log_.isOpen()) return true;
    if (m_.Paths.LogFile.isEmpty()) return false;
    return log_.open(m_.Paths.LogFile);
}

void Zuduvor::WriteLogLine() {
    if (!ensureLog()) return;
    log_.writeLine(m_.Activity + QStringLiteral(" on ") + dateText(QDateTime::currentDateTime()) +
                   QStringLiteral(" at ") + timeText(QDateTime::currentDateTime()));
}

void Zuduvor::Command1_Click() {
    log_.close();
    // The program is ending. A task still finishing (Exit clicked during a send's
    // chance for input) must not open the log again: that would empty it.
    m_.Paths.LogFile.clear();
}

bool Zuduvor::LockWorkRoot(QLockFile& lock, const QString& busy, const QString& notDone) {
    lock.setStaleLockTime(0);  // a lock left by a program that was killed is taken over
    if (lock.tryLock(0)) return true;
    if (lock.error() == QLockFile::LockFailedError) {
        dialogs_.message(busy);
    } else {
        // No lock could be made at all: the work folder is full or not writable.
        dialogs_.message(QStringLiteral("The work folder ") + m_.Paths.WorkRoot +
                         QStringLiteral(" cannot be written (is the disk full?), so ") + notDone +
                         QStringLiteral(". Free some disk space, then try once more."));
    }
    return false;
}

void Zuduvor::showFailure(const QString& message) {
    dialogs_.message(message + m_.LF + Client().ErrorDetail());
}

QString Zuduvor::shownName(const QString& name) {
    QString out;
    for (QChar c : name) out += (c.unicode() < 0x20 || c.unicode() == 0x7F) ? QChar(u'?') : c;
    return out;
}

void Zuduvor::closeQuietly(const QString& handle) {
    if (handle.isEmpty()) return;
    SftpClient& c = Client();
    (void)blocking([&] { return c.CloseRemoteHandle(handle); });
}

void Zuduvor::OpenSFTPServer() {
    SessionOpen = false;
    // A live session to this server is kept by the component: a send and its report
    // check share one connection.
    SftpClient& c = Client();
    const QString host = m_.SftpHost;
    const int port = m_.SftpPort;
    m_.LastResult = blocking([&] { return c.ConnectServer(host, port); });
    if (m_.LastResult != 1) {
        showFailure(QStringLiteral("SFTP Open Failure. Wait 5 minutes and try once more."));
        return;
    }
    view_.statusAdd(QStringLiteral("Connecting to ZOD SFTPServer/") + m_.Setup.SiteID.toUpper() +
                    QStringLiteral(" Server"));
    // A first contact recorded the server's key: the user can compare its fingerprint with
    // the one ZOD gives.
    if (const QString fingerprint = c.FirstContactFingerprint(); !fingerprint.isEmpty())
        view_.statusAdd(QStringLiteral("First connection to this server: its key ") + fingerprint +
                        QStringLiteral(" is now recorded. ZOD can confirm this fingerprint."));
    const QString user = m_.Setup.SiteID;
    const QString password = m_.Setup.PassWord;
    m_.LastResult = blocking([&] { return c.LoginWithPassword(user, password); });
    if (m_.LastResult != 1) {
        showFailure(QStringLiteral("SFTP Authentications Error. Call ZOD."));
        return;
    }
    m_.LastResult = blocking([&] { return c.StartSftp(); });
    if (m_.LastResult != 1) {
        showFailure(QStringLiteral("SFTP Initialization Failure.Call ZOD."));
        return;
    }
    SessionOpen = true;
}

void Zuduvor::Setup_Click() {
    view_.showSetupChooser();
    view_.statusClear();
    view_.statusAdd(ReadyLine);
}

void Zuduvor::Form5_List1_Click(const PickerLine& line) {
    picker_.setListEnabled(false);
    const int blank = line.text.indexOf(QLatin1Char(' '));
    if (blank < 0) {
        dialogs_.message(QStringLiteral("Can't Copy Backup File"));
    } else {
        // The name travels with its line, so a name that holds blanks is kept whole.
        m_.ClaimName = line.name.isEmpty() ? line.text.left(blank) : line.name;
        if (m_.PickerMode.ResendMode)
            ResendPickAction();
        else if (m_.PickerMode.DeleteMode)
            DeletePickAction();
        else if (m_.PickerMode.ViewMode)
            ViewPickAction();
    }
    picker_.setListEnabled(true);
}

void Zuduvor::Form5_Command1_Click() { picker_.hidePicker(); }

}  // namespace zv
