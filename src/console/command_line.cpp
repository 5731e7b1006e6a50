#include "console/command_line.h"

#include <libssh/libssh.h>

#include <QProcessEnvironment>

#include "zuduvor_config.h"

namespace zv {

namespace {

const QStringList kCommands = {QStringLiteral("send"),         QStringLiteral("get-reports"),
                               QStringLiteral("list-waiting"), QStringLiteral("delete"),
                               QStringLiteral("list-backups"), QStringLiteral("resend"),
                               QStringLiteral("view"),         QStringLiteral("history"),
                               QStringLiteral("check"),        QStringLiteral("schedule")};

bool needsName(const QString& command) {
    return command == QLatin1String("delete") || command == QLatin1String("resend") ||
           command == QLatin1String("view") || command == QLatin1String("schedule");
}

bool parsePort(const QString& text, int* port) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1 || value > 65535) return false;
    *port = value;
    return true;
}

void readEnvironment(CommandLine& cl, const QStringList& environment) {
    for (const QString& entry : environment) {
        const QString key = entry.section(QLatin1Char('='), 0, 0);
        const QString value = entry.section(QLatin1Char('='), 1);
        if (key == QLatin1String("ZUDUVOR_WORK_ROOT")) cl.start.workRoot = value;
        if (key == QLatin1String("ZUDUVOR_SFTP_HOST")) cl.start.sftpHost = value;
        if (key == QLatin1String("ZUDUVOR_SFTP_PORT") && !value.isEmpty() &&
            !parsePort(value, &cl.start.sftpPort))
            cl.error = QStringLiteral("ZUDUVOR_SFTP_PORT must be a port number from 1 to 65535");
    }
}

// The switch an option without a value sets; null when `a` is none of them.
bool* switchOf(CommandLine& cl, const QString& a) {
    if (a == QLatin1String("--help") || a == QLatin1String("-h")) return &cl.help;
    if (a == QLatin1String("--version")) return &cl.version;
    if (a == QLatin1String("--yes")) return &cl.yes;
    if (a == QLatin1String("--csv")) return &cl.csv;
    if (a == QLatin1String("--json")) return &cl.json;
    if (a == QLatin1String("--claims")) return &cl.claims;
    if (a == QLatin1String("--attention")) return &cl.attention;
    return nullptr;
}

// Where the value of an option that takes one goes; null when `a` is none of them.
QString* valueOf(CommandLine& cl, const QString& a, QString& port) {
    if (a == QLatin1String("--work-root")) return &cl.start.workRoot;
    if (a == QLatin1String("--sftp-host")) return &cl.start.sftpHost;
    if (a == QLatin1String("--screenshot")) return &cl.screenshot;
    if (a == QLatin1String("--sftp-port")) return &port;
    // Wine passes no QT_* variable to a Windows program: the platform comes this way.
    if (a == QLatin1String("-platform")) return &cl.platform;
    return nullptr;
}

// A word that is no option: the command, then the name it needs.
void takeWord(CommandLine& cl, const QString& a) {
    if (cl.command.isEmpty()) {
        if (!kCommands.contains(a)) cl.error = QStringLiteral("unknown command ") + a;
        cl.command = a;
    } else if (needsName(cl.command) && cl.name.isEmpty()) {
        cl.name = a;
    } else if (cl.command == QLatin1String("check")) {
        cl.files << a;
    } else {
        cl.error = QStringLiteral("unexpected argument ") + a;
    }
}

}  // namespace

CommandLine parseCommandLine(const QStringList& arguments, const QStringList& environment) {
    CommandLine cl;
    readEnvironment(cl, environment);
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        QString port;
        if (bool* on = switchOf(cl, a)) {
            *on = true;
        } else if (QString* value = valueOf(cl, a, port)) {
            const bool given = i + 1 < arguments.size();
            if (given)
                *value = arguments[++i];
            else
                cl.error = a + QStringLiteral(" needs a value");
            if (given && value == &port && !parsePort(port, &cl.start.sftpPort))
                cl.error = QStringLiteral("--sftp-port must be a port number from 1 to 65535");
        } else if (a.startsWith(QLatin1String("-"))) {
            cl.error = QStringLiteral("unknown option ") + a;
        } else {
            takeWord(cl, a);
        }
        if (!cl.error.isEmpty()) return cl;
    }
    if ((cl.csv || cl.claims || cl.attention) && cl.command != QLatin1String("history"))
        cl.error = QStringLiteral("--csv, --claims and --attention go only with history");
    else if (cl.json && cl.command != QLatin1String("check"))
        cl.error = QStringLiteral("--json goes only with check");
    else if (cl.command == QLatin1String("schedule") && cl.name != QLatin1String("on") &&
             cl.name != QLatin1String("off"))
        cl.error = QStringLiteral("schedule needs on or off");
    else if ((needsName(cl.command) && cl.name.isEmpty()) ||
             (cl.command == QLatin1String("check") && cl.files.isEmpty()))
        cl.error = cl.command + QStringLiteral(" needs the name of a claim file");
    return cl;
}

QString usageText() {
    return QStringLiteral(
        "Usage: zuduvor [OPTIONS] [COMMAND]\n"
        "\n"
        "Electronic Claims Secure File Transfer. With no COMMAND the main window opens.\n"
        "\n"
        "Commands (run the main window's tasks without a window):\n"
        "  send               send the practice's new claim files, then fetch reports\n"
        "  get-reports        fetch every report waiting at ZOD into the report folder\n"
        "  list-waiting       list the claim files still waiting on the server\n"
        "  delete NAME        delete the waiting claim file NAME from the server\n"
        "  list-backups       list the backups of submitted claim files\n"
        "  resend NAME --yes  send the backup NAME again (check with ZOD first)\n"
        "  view NAME          prepare the backup NAME for viewing and print its path\n"
        "  history [--csv]    every claim file sent, newest first: when, size, claims,\n"
        "                     charges, what ZOD answered (--csv: as CSV, proof of submission)\n"
        "    --claims         each file's claims too: charge, state, by whom, reason, paid\n"
        "                     (with --csv: one record per claim)\n"
        "    --attention      only the files with a claim rejected, denied or unanswered\n"
        "  check FILE... [--json]\n"
        "                     check 837 claim files for what ZOD would reject, without\n"
        "                     sending them (exit status 1 when one would be rejected)\n"
        "  schedule on|off    fetch reports unattended every hour on working days\n"
        "\n"
        "Options:\n"
        "  --work-root DIR    the folder holding setup.prm, the claims and the log\n"
        "                     (also ZUDUVOR_WORK_ROOT; default: the current folder when its\n"
        "                     first part starts with \"zod\", else $HOME/zod)\n"
        "  --sftp-host HOST   the SFTP server (also ZUDUVOR_SFTP_HOST)\n"
        "  --sftp-port N      its port (also ZUDUVOR_SFTP_PORT; default 22)\n"
        "  --screenshot FILE  open the window, save a picture of it to FILE (PNG), end\n"
        "  --yes              answer OK to the program's questions (default: Cancel)\n"
        "  --help             show this text\n"
        "  --version          show the version of the program and of its libraries\n"
        "\n"
        "Status lines go to standard output, messages to standard error.\n"
        "Exit status: 0 when no failure message was shown and no claim file was held back,\n"
        "1 otherwise, 2 for a usage error.\n");
}

QString versionText() {
    return QStringLiteral("zuduvor %1 (Electronic Claims Secure File Transfer)\nlibssh %2\nQt %3\n")
        .arg(QLatin1String(config::kVersion), QLatin1String(ssh_version(0)),
             QLatin1String(qVersion()));
}

}  // namespace zv
