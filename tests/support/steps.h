#pragma once
// The words that more than one table uses. Names may hold "$" for the site ID and "x{N}"
// for N times x; a path is below the station folder ("zod/claimsbu", "practice/a.clm",
// "rpt"), in the server's home ("~/claims") or absolute.
#include <fcntl.h>
#include <sys/stat.h>

#include <QFile>
#include <QRegularExpression>

#include "base/text_file.h"
#include "support/station.h"

namespace zv::test {

using Server = TestSftpServer;

inline QByteArray sized(qsizetype size) {  // a sound claim file of that size, its own per size
    return patterned(size, quint32(size));
}

// Files before the task: a claim in the practice folder (changed a minute ago), a backup (dated
// 01/05/2026 9:03:07 AM), any file, a claim waiting on the server, seqfile.fil (its number
// then need not be on the server).
inline void claim(ServerTest& t, QString name, QByteArray bytes) {
    putAged(t.path("practice/" + name), bytes);
    if (!bytes.isEmpty()) t.claims << bytes;
}
inline void backup(ServerTest& t, QString name, QByteArray bytes) {
    writeBytes(t.path("zod/claimsbu/" + name), bytes, QDateTime(QDate(2026, 1, 5), QTime(9, 3, 7)));
}
inline void put(ServerTest& t, QString path, QByteArray bytes) { writeBytes(t.path(path), bytes); }
inline void waiting(ServerTest& t, QString name, QByteArray b) { put(t, "~/claims/" + name, b); }
inline void seqFile(ServerTest& t, QByteArray bytes) {
    put(t, "zod/seqfile.fil", bytes);
    t.seqGiven = true;
}

// A report on the server or in the report folder, by its name's bytes (UTF-8 or not).
inline void putReport(ServerTest& t, QString folder, QByteArray name, QByteArray bytes) {
    QFile f;
    const int fd = ::open(QFile::encodeName(folder) + name, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ::fchmod(fd, 0644);  // whatever umask the program's start-up left this process with
    ASSERT_TRUE(f.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) &&
                f.write(bytes) == bytes.size());
    t.reports[readableName(name)] = bytes;
}
inline void report(ServerTest& t, QByteArray name, QByteArray bytes) {
    putReport(t, t.account.reportsDir(), name, bytes);
}
inline void inReportFolder(ServerTest& t, QByteArray name, QByteArray bytes) {
    putReport(t, t.reportFolder(), name, bytes);
}

// A file that must stay as it is (bytes and time), as it is or written first.
inline void kept(ServerTest& t, QString path) { t.keep(t.path(path)); }
inline void keptWith(ServerTest& t, QString path, QByteArray bytes) {
    put(t, path, bytes);
    kept(t, path);
}
inline void linked(ServerTest& t, QString path, QString target) {
    ASSERT_TRUE(QFile::link(t.path(target), t.path(path)));
}
inline void takenAway(ServerTest& t, QString path) {  // by someone else, meanwhile
    if (path.startsWith("practice/")) t.claims.removeAll(readBytes(t.path(path)));
    ASSERT_TRUE(QFile::remove(t.path(path))) << path;
}

// The server: the operation OP (open write close read stat remove rename opendir readdir)
// on paths matching GLOB is refused, the connection is cut before it or after it (the
// reply is lost), its reply is held beyond the time-out, or comes after 0.6 s. Or any
// other of its switches (test_server.h).
inline void refuse(ServerTest& t, QString op, QString glob) { t.server.failOn(op, glob); }
inline void cutBefore(ServerTest& t, QString op, QString glob) { t.server.dropOn(op, glob, false); }
inline void cutAfter(ServerTest& t, QString op, QString glob) { t.server.dropOn(op, glob, true); }
inline void stall(ServerTest& t, QString op, QString glob) {
    t.z().Client().IdleTimeoutMs(3000);  // the time-out, not the server, ends it
    t.server.delayOn(op, glob, 120);
}
inline void slow(ServerTest& t, QString op, QString glob) { t.server.delayOn(op, glob, 0.6); }
template <class C, class R, class... P, class... A>
Step onServer(R (C::*f)(P...), A... a) {
    return [=](ServerTest& t) { (t.server.*f)(a...); };
}
inline void restartServer(ServerTest& t) { ASSERT_TRUE(t.server.restart()); }
inline void clearFaults(ServerTest& t) { t.server.clearFaults(); }

// The buttons, and the user's answers: the next question is answered OK (else Cancel); a
// picker line is clicked, or only when it is listed.
inline void SendClaims(ServerTest& t) { t.z().SendClaims_Click(); }
inline void ResendClaims(ServerTest& t) { t.z().ResendClaims_Click(); }
inline void DeleteClaimFiles(ServerTest& t) { t.z().DeleteClaimFiles_Click(); }
inline void ViewClaims(ServerTest& t) { t.z().ViewClaims_Click(); }
inline void ViewReports(ServerTest& t) { t.z().ViewReports_Click(); }
inline void GetReports(ServerTest& t) { t.z().GetReports_Click(); }
inline void ClosePicker(ServerTest& t) { t.z().Form5_Command1_Click(); }
inline void answerOk(ServerTest& t) { t.dialogs.answers.push_back(true); }
inline bool clickLine(ServerTest& t, const QString& name) {
    const auto lines = t.view.pickerLines;  // the click may list anew
    const auto it = std::find_if(lines.begin(), lines.end(),
                                 [&](const PickerLine& l) { return l.name == t.expand(name); });
    if (it != lines.end()) t.z().Form5_List1_Click(*it);
    return it != lines.end();
}
inline void pick(ServerTest& t, QString name) {
    EXPECT_TRUE(clickLine(t, name)) << name << " is not in the picker";
}
inline void pickIfListed(ServerTest& t, QString name) { clickLine(t, name); }

// Checks on the way: the names in a folder, the status lines holding a text (each one short
// line), the picker's lines (sorted), no picker mode left.
inline void folderHolds(ServerTest& t, QString path, QString names) {
    EXPECT_EQ(filesIn(t.path(path)).keys().join(','), t.expand(names));
}
inline void statusLines(ServerTest& t, QString text, int count) {
    const QStringList lines = t.view.status.filter(t.expand(text));
    EXPECT_EQ(lines.size(), count) << t.view.status.join('|');
    for (const QString& line : lines)
        EXPECT_TRUE(line.size() < 150 && !line.contains(QRegularExpression("[\\x00-\\x1f]")))
            << line;
}
inline void pickerLines(ServerTest& t, QString lines) {
    QStringList shown;
    for (const PickerLine& line : t.view.pickerLines) shown << line.text;
    shown.sort();
    EXPECT_EQ(shown.join(','), t.expand(lines));
}
inline void noPickerMode(ServerTest& t) {
    EXPECT_FALSE(t.m.PickerMode.ResendMode || t.m.PickerMode.DeleteMode || t.m.PickerMode.ViewMode);
}

// The program without a window, on this station: its exit status, and a text on standard
// output or standard error (or not).
inline void cli(ServerTest& t, QString command) {
    const ConsoleRun& run = t.console = t.runConsole(t.expand(command).split(' '));
    EXPECT_FALSE(run.crashed);
    EXPECT_FALSE(run.exitCode == 1 && run.out.contains(run.err.section('\n', 0, 0)))
        << "a message went to standard output";
    t.expectNoPassword(run.out + run.err);
}
inline void exitIs(ServerTest& t, int code) {
    EXPECT_EQ(t.console.exitCode, code) << t.console.err;
}
inline void outHas(ServerTest& t, QString text) {
    EXPECT_TRUE(t.console.out.contains(t.expand(text))) << t.console.out;
}
inline void errHas(ServerTest& t, QString text) {
    EXPECT_TRUE(t.console.err.contains(t.expand(text))) << t.console.err;
}
inline void errLacks(ServerTest& t, QString text) {
    EXPECT_FALSE(t.console.err.contains(t.expand(text))) << t.console.err;
}

}  // namespace zv::test
