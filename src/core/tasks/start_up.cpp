#include "tasks/start_up.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QOperatingSystemVersion>

#include "base/platform.h"
#include "base/workstation_rules.h"
#include "setup/setup_file.h"
#include "tasks/server_session.h"
#include "zuduvor_config.h"

namespace zv {

namespace {

QString withSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path;
}

#ifdef Q_OS_WIN
// The first line of the workstation marker file, lower-cased; blanks are kept.
QString readSysId(QFile& file) {
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
    return QString::fromLocal8Bit(line).toLower();
}

// Drive letters, the version tag, "c:\sysid" and the C:/D: programs, as described.
void chooseWorkstation(Module1& m, const QString& current, const QString& /*home*/,
                       const QString& workRoot) {
    m.Paths.WorkDrive = current.toUpper().left(2);
    m.Paths.WorkRoot = workRoot.isEmpty() ? windowsWorkRoot(current) : workRoot;
    const QOperatingSystemVersion os = QOperatingSystemVersion::current();
    m.OSVersion = osVersionTag(os.majorVersion(), os.minorVersion());
    QFile marker(QStringLiteral("c:/sysid"));
    const bool present = marker.exists();
    m.SysID = present ? readSysId(marker) : QString();
    const ViewerCommands commands = viewerCommands(m.OSVersion, present, m.SysID);
    m.Paths.ExplorerCommand = commands.explorer;
    m.Paths.BrowserCommand = commands.browser;
    m.Paths.NotepadCommand = commands.notepad;
}
#else
void chooseWorkstation(Module1& m, const QString& current, const QString& home,
                       const QString& workRoot) {
    m.Paths.WorkDrive = QStringLiteral("/");
    m.Paths.WorkRoot = workRoot.isEmpty() ? posixWorkRoot(current, home) : workRoot;
    // No "ver" command and no workstation marker here: the tag is fixed and the desktop's
    // opener stands in for the three viewers.
    m.OSVersion = QStringLiteral("W8");
    m.SysID.clear();
    m.Paths.ExplorerCommand = QStringLiteral("xdg-open ");
    m.Paths.BrowserCommand = QStringLiteral("xdg-open ");
    m.Paths.NotepadCommand = QStringLiteral("xdg-open ");
}
#endif

// The work root and its folders; false when the root cannot be made.
bool SetUpWorkRoot(Module1& m, const StartOptions& options) {
    const QString current = options.currentDir.isEmpty() ? QDir::currentPath() : options.currentDir;
    const QString home = options.homeDir.isEmpty() ? QDir::homePath() : options.homeDir;
    const QString workRoot =
        options.workRoot.isEmpty() ? QString() : withSlash(QDir::cleanPath(options.workRoot));
    chooseWorkstation(m, current, home, workRoot);

    // Patient data: whatever the program creates from here on is the user's alone.
    keepNewFilesPrivate();
    // There is no installer that makes the work root, so it is made here.
    const bool rootUsable = QDir().mkpath(m.Paths.WorkRoot);
    for (const char* sub : {"claims", "claimsbu", "user", "reports"})
        QDir().mkdir(m.Paths.WorkRoot + QLatin1String(sub));
    // Folders and files an earlier version left open are closed too. A failure (a work
    // root of another user's) is ignored, as a failed folder creation is.
    for (const char* sub : {"", "claims", "claimsbu", "user", "reports"})
        (void)makePrivate(m.Paths.WorkRoot + QLatin1String(sub));

    m.Paths.ClaimsDir = m.Paths.WorkRoot + QStringLiteral("claims/");
    m.Paths.ClaimsBackupDir = m.Paths.WorkRoot + QStringLiteral("claimsbu/");
    m.Paths.SetupFile = m.Paths.WorkRoot + QStringLiteral("setup.prm");
    m.Paths.SequenceFile = m.Paths.WorkRoot + QStringLiteral("seqfile.fil");
    m.Paths.LogFile = m.Paths.WorkRoot + QStringLiteral("ZUDUVOR.LOG");
    return rootUsable;
}

// The setup file, the log, and the values a complete setup holds.
StartState LoadSetup(const TaskContext& ctx) {
    Module1& m = ctx.m;
    const QFileInfo setupInfo(m.Paths.SetupFile);
    if (!setupInfo.exists() || setupInfo.size() == 0) {
        ctx.dialogs.message(QStringLiteral("Setup File not Found. Please do the Setup."));
        return StartState::NoSetupFile;
    }

    const SetupReadResult read = readSetupFile(
        m.Paths.SetupFile, m.Setup, [&](const QString& id) { ctx.view.setSiteIDText(id); });
    if (read.outcome == SetupReadOutcome::UnknownKey) {
        ctx.dialogs.message(QStringLiteral("Unknown Setup Parameter. Please Redo the Setup."));
        return StartState::UnknownKey;
    }
    if (read.outcome == SetupReadOutcome::Unreadable) {
        ctx.dialogs.message(QStringLiteral("The setup file ") + m.Paths.SetupFile +
                            QStringLiteral(" could not be read: ") + read.error +
                            QStringLiteral(". Please Redo the Setup."));
        return StartState::UnknownKey;
    }

    ctx.log.open();
    ctx.log.write(QStringLiteral("Start DADEDIRUred"));

    const std::pair<const QString*, const char*> required[] = {
        {&m.Setup.UserPath, "User Claim File not found, Setup Required."},
        {&m.Setup.UserFile, "Claim File not found, Setup Required."},
        {&m.Setup.SiteID, "Site ID not found, Setup Required."},
        {&m.Setup.PassWord, "Password not found, Setup Required."},
        {&m.Setup.FileType, "File Type not found, Setup Required."},
        {&m.Setup.RptPath, "Report Path not found, Setup Required."},
    };
    for (const auto& [value, text] : required) {
        if (value->isEmpty()) {
            ctx.dialogs.message(QString::fromLatin1(text));
            return StartState::MissingValue;
        }
    }
    return StartState::Complete;
}

}  // namespace

StartState startUp(const TaskContext& ctx, const StartOptions& options) {
    Module1& m = ctx.m;
    ctx.view.statusAdd(ReadyLine);
    m.LF = QStringLiteral("\n");
    const bool rootUsable = SetUpWorkRoot(m, options);
    ctx.view.setDateTimeText(dateAndTimeText(QDateTime::currentDateTime()));
    if (!rootUsable) {
        ctx.dialogs.message(
            QStringLiteral("The work folder ") + m.Paths.WorkRoot +
            QStringLiteral(" could not be created. Check that the disk is "
                           "available and writable, then start the program again."));
        return StartState::WorkRootUnusable;
    }
    if (const StartState setup = LoadSetup(ctx); setup != StartState::Complete) return setup;
    m.SftpHost =
        options.sftpHost.isEmpty() ? QString::fromUtf8(config::kSftpHost) : options.sftpHost;
    m.SftpPort = options.sftpPort > 0 ? options.sftpPort : 22;
    ctx.session.Client();
    return StartState::Complete;
}

}  // namespace zv
