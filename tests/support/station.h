#pragma once
// The one scenario for whole-task tests: a practice's workstation (work root, practice
// claim folder, report folder, setup.prm) in a temporary folder, a server account of
// either kind, the program's logic with a recorded window and message boxes, and the
// checks every scenario ends with: no claim lost, no report lost, no password shown.
#include <gtest/gtest.h>

#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <ostream>

#include "app/module1.h"
#include "app/zuduvor.h"
#include "claims/numbering.h"
#include "support/recorders.h"
#include "support/test_server.h"

inline std::ostream& operator<<(std::ostream& os, const QString& s) {
    return os << s.toStdString();
}
inline std::ostream& operator<<(std::ostream& os, const QStringList& l) {
    return os << l.join('|');
}

namespace zv::test {

QByteArray readBytes(const QString& path);  // "<missing>" when it cannot be read
void writeBytes(const QString& path, const QByteArray& bytes);  // makes the folder too
QByteArray patterned(qsizetype size, quint32 seed);        // claim-like bytes, distinct per seed
QMap<QString, QByteArray> filesIn(const QString& folder);  // name -> contents, dot-files too
inline QStringList namesIn(const QString& folder) { return filesIn(folder).keys(); }
// One setup.prm line: the 8-character key and the value, padded to 50, then CR LF.
inline QByteArray setupLine(const char* key, const QString& value) {
    return (QByteArray(key) + value.toUtf8()).leftJustified(50, ' ', true) + "\r\n";
}

struct ServerAccount {
    QString host;
    int port = 0;
    QString user, password, home;
    QString claimsDir() const { return home + QStringLiteral("/claims/"); }
    QString reportsDir() const { return home + QStringLiteral("/reports/"); }
};
template <class Server>
ServerAccount accountOf(const Server& s) {
    return {s.host(), s.port(), s.user(), s.password(), s.home()};
}
enum class ServerKind { Asyncssh, OpenSsh };

struct ConsoleRun {
    int exitCode = -1;
    bool crashed = false;
    QString out, err;
};

class Station {
public:
    Station();
    ~Station();
    QString base() const { return dir_.path() + QLatin1Char('/'); }
    QString workRoot() const { return base() + QStringLiteral("zod/"); }
    QString practice() const { return base() + QStringLiteral("practice/"); }
    QString reportFolder() const { return base() + QStringLiteral("rpt/"); }
    QString backupDir() const { return workRoot() + QStringLiteral("claimsbu/"); }
    QString workingDir() const { return workRoot() + QStringLiteral("claims/"); }
    QString seqFile() const { return workRoot() + QStringLiteral("seqfile.fil"); }
    QString claimText() const { return workRoot() + QStringLiteral("claim.txt"); }

    void writeSetup(const ServerAccount& server, const QString& fileType = QStringLiteral("83P"),
                    const QString& userFile = QStringLiteral("*.CLM"));
    StartState start(const ServerAccount& server);  // start-up as the window runs it
    Zuduvor& z() { return *z_; }
    QString claimName(int n) const { return makeClaimName(server_.user, n, fileType_); }
    void putClaim(const QString& name, const QByteArray& b) { writeBytes(practice() + name, b); }
    void putBackup(const QString& name, const QByteArray& bytes);  // dated 01/05/2026 9:03:07 AM
    QByteArray seq() const { return readBytes(seqFile()); }
    void pick(const QString& name);  // clicks the picker line of `name`
    // The program the console runs use: the built program unless a test names another.
    QString consoleProgram = QStringLiteral(ZV_ZUDUVOR_BINARY);
    // The console mode of the built program on this work root.
    std::unique_ptr<QProcess> startConsole(const QStringList& command,
                                           const QStringList& extraEnv = {}) const;
    ConsoleRun runConsole(const QStringList& command, const QStringList& extraEnv = {}) const;
    QStringList messageHeads() const;  // each message box's first line
    QString allMessages() const { return dialogs.texts().join(QStringLiteral("\n---\n")); }
    QString logText() const { return QString::fromLatin1(readBytes(workRoot() + "ZUDUVOR.LOG")); }

    Module1 m;
    RecordingView view;
    RecordingDialogs dialogs;
    RecordingLauncher launcher;

private:
    QTemporaryDir dir_;
    ServerAccount server_;
    QString fileType_ = QStringLiteral("83P");
    std::unique_ptr<Zuduvor> z_;
};

// Every claim (by content) is on the server exactly once and whole, or waits whole in
// claims/ and claimsbu/ for a resend, or is untouched in the practice folder; the number
// in seqfile.fil (when not 0) is one whose upload completed.
void expectNoClaimLost(const Station& st, const ServerAccount& server,
                       const QList<QByteArray>& claims, bool seqMustBeOnServer = true);
// Every report is on the server whole or in the report folder whole; nothing else is there.
void expectNoReportLost(const Station& st, const ServerAccount& server,
                        const QMap<QString, QByteArray>& reports);
// The password in no message, status line, log line or `extra` text.
void expectNoPassword(const Station& st, const QString& password, const QString& extra = {});

// A folder made full (tmpfs) or read-only (bind mount) for one test; undone when it goes.
class ScopedMount {
public:
    ~ScopedMount();
    QString tmpfs(const QString& folder, const QString& size);  // empty, or why not
    QString readOnly(const QString& folder);

private:
    QStringList mounted_;
};

// The scenario: a station and a server of the kind kind() names (asyncssh unless a
// parameterised test says otherwise); skipped when that server cannot run here.
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    virtual ServerKind kind() const { return ServerKind::Asyncssh; }
    void startStation(const QString& fileType = QStringLiteral("83P"),
                      const QString& mask = QStringLiteral("*.CLM"));

    TestSftpServer server;
    TestSshdServer sshd;
    ServerAccount account;
    Station st;
    ScopedMount mounts;
};
// The same, started up with the default setup.
class StationTest : public ServerTest {
protected:
    void SetUp() override;
};

}  // namespace zv::test

#define ZV_MOUNT_OR_SKIP(expr)                                          \
    do {                                                                \
        if (const QString why = (expr); !why.isEmpty())                 \
            GTEST_SKIP() << "cannot mount here: " << why.toStdString(); \
    } while (0)
