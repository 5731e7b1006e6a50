#pragma once
// The words that more than one table uses, checked by the compiler. A word taking nothing
// is a function used as it is (`SendClaims`); one taking values makes the step. Names may
// hold "$" for the site ID and "x{N}" for N times x; a path is below the station folder
// ("zod/claimsbu", "practice/a.clm", "rpt"), in the server's home ("~/claims") or absolute.
#include <fcntl.h>

#include <QFile>
#include <QRegularExpression>

#include "base/text_file.h"
#include "support/station.h"

namespace zv::test {

using Server = TestSftpServer;

inline QByteArray sized(qsizetype size) {  // a sound claim file of that size, its own per size
    return patterned(size, quint32(size));
}

// Files before the task: a claim in the practice folder (changed 5 s ago), a backup (dated
// 01/05/2026 9:03:07 AM), a working copy, a claim waiting on the server.
inline Step claim(const QString& name, const QByteArray& bytes) {
    return [=](ServerTest& t) {
        putAged(t.path("practice/" + name), bytes);
        if (!bytes.isEmpty()) t.claims << bytes;
    };
}
inline Step backup(const QString& name, const QByteArray& bytes) {
    return [=](ServerTest& t) {
        writeBytes(t.path("zod/claimsbu/" + name), bytes);
        QFile f(t.path("zod/claimsbu/" + name));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) &&
                    f.setFileTime(QDateTime(QDate(2026, 1, 5), QTime(9, 3, 7)),
                                  QFileDevice::FileModificationTime));
    };
}
inline Step put(const QString& path, const QByteArray& bytes) {
    return [=](ServerTest& t) { writeBytes(t.path(path), bytes); };
}
inline Step workingCopy(const QString& name, const QByteArray& bytes) {
    return put("zod/claims/" + name, bytes);
}
inline Step waiting(const QString& name, const QByteArray& bytes) {
    return put("~/claims/" + name, bytes);
}
inline Step seqFile(const QByteArray& bytes) {  // its number then need not be on the server
    return [=](ServerTest& t) {
        writeBytes(t.path("zod/seqfile.fil"), bytes);
        t.seqGiven = true;
    };
}

// A report on the server or in the report folder, by its name's bytes (UTF-8 or not).
inline Step report(const QByteArray& name, const QByteArray& bytes, bool onServer = true) {
    return [=](ServerTest& t) {
        const QString folder = onServer ? t.account.reportsDir() : t.reportFolder();
        QFile f;
        const int fd = ::open(QFile::encodeName(folder) + name, O_WRONLY | O_CREAT | O_TRUNC, 0666);
        ASSERT_TRUE(f.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) &&
                    f.write(bytes) == bytes.size());
        t.reports[readableName(name)] = bytes;
    };
}
inline Step inReportFolder(const QByteArray& name, const QByteArray& bytes) {
    return report(name, bytes, false);
}

// A file that must stay as it is (bytes and time), written first when given bytes.
inline Step kept(const QString& path) {
    return [=](ServerTest& t) { t.keep(t.path(path)); };
}
inline Step kept(const QString& path, const QByteArray& bytes) {
    return [=](ServerTest& t) {
        writeBytes(t.path(path), bytes);
        t.keep(t.path(path));
    };
}
inline Step linked(const QString& path, const QString& target) {
    return [=](ServerTest& t) { ASSERT_TRUE(QFile::link(t.path(target), t.path(path))); };
}
inline Step takenAway(const QString& path) {  // by someone else, meanwhile
    return [=](ServerTest& t) {
        if (path.startsWith("practice/")) t.claims.removeAll(readBytes(t.path(path)));
        ASSERT_TRUE(QFile::remove(t.path(path))) << path;
    };
}

// The server: the operation OP (open write close read stat remove rename opendir readdir)
// on paths matching GLOB is refused, the connection is cut before it or after it (the
// reply is lost), its reply is held beyond the time-out, or comes after 0.6 s. Or any
// other of its switches (test_server.h).
inline Step refuse(const QString& op, const QString& glob = "*") {
    return [=](ServerTest& t) { t.server.failOn(op, glob); };
}
inline Step cutBefore(const QString& op, const QString& glob = "*") {
    return [=](ServerTest& t) { t.server.dropOn(op, glob, false); };
}
inline Step cutAfter(const QString& op, const QString& glob = "*") {
    return [=](ServerTest& t) { t.server.dropOn(op, glob, true); };
}
inline Step stall(const QString& op, const QString& glob = "*") {
    return [=](ServerTest& t) {
        t.z().Client().IdleTimeoutMs(3000);  // the time-out, not the server, ends it
        t.server.delayOn(op, glob, 120);
    };
}
inline Step slow(const QString& op, const QString& glob = "*") {
    return [=](ServerTest& t) { t.server.delayOn(op, glob, 0.6); };
}
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
inline Step pick(const QString& name, bool mustBeListed = true) {
    return [=](ServerTest& t) {
        const auto lines = t.view.pickerLines;  // the click may list anew
        const auto it = std::find_if(lines.begin(), lines.end(),
                                     [&](const PickerLine& l) { return l.name == t.expand(name); });
        if (it != lines.end()) t.z().Form5_List1_Click(*it);
        EXPECT_TRUE(it != lines.end() || !mustBeListed) << name << " is not in the picker";
    };
}
inline Step pickIfListed(const QString& name) { return pick(name, false); }

// Checks on the way: the names in a folder, the status lines holding a text (each one short
// line), the picker's lines (sorted), no picker mode left.
inline Step folderHolds(const QString& path, const QString& names) {
    return
        [=](ServerTest& t) { EXPECT_EQ(filesIn(t.path(path)).keys().join(','), t.expand(names)); };
}
inline Step statusLines(const QString& text, int count) {
    return [=](ServerTest& t) {
        const QStringList lines = t.view.status.filter(t.expand(text));
        EXPECT_EQ(lines.size(), count) << t.view.status.join('|');
        for (const QString& line : lines)
            EXPECT_TRUE(line.size() < 150 && !line.contains(QRegularExpression("[\\x00-\\x1f]")))
                << line;
    };
}
inline Step pickerLines(const QString& lines) {
    return [=](ServerTest& t) {
        QStringList shown;
        for (const PickerLine& line : t.view.pickerLines) shown << line.text;
        shown.sort();
        EXPECT_EQ(shown.join(','), t.expand(lines));
    };
}
inline void noPickerMode(ServerTest& t) {
    EXPECT_FALSE(t.m.PickerMode.ResendMode || t.m.PickerMode.DeleteMode || t.m.PickerMode.ViewMode);
}

// The program without a window, on this station: its exit status, and a text on standard
// output or standard error (or not).
inline Step cli(const QString& command) {
    return [=](ServerTest& t) {
        const ConsoleRun& run = t.console = t.runConsole(t.expand(command).split(' '));
        EXPECT_FALSE(run.crashed);
        EXPECT_FALSE(run.exitCode == 1 && run.out.contains(run.err.section('\n', 0, 0)))
            << "a message went to standard output";
        t.expectNoPassword(run.out + run.err);
    };
}
inline Step exitIs(int status) {
    return [=](ServerTest& t) { EXPECT_EQ(t.console.exitCode, status) << t.console.err; };
}
inline Step said(QString ConsoleRun::*stream, const QString& text, bool has = true) {
    return [=](ServerTest& t) {
        const QString& said = t.console.*stream;
        EXPECT_EQ(said.contains(t.expand(text)), has) << said;
    };
}
inline Step outHas(const QString& text) { return said(&ConsoleRun::out, text); }
inline Step errHas(const QString& text) { return said(&ConsoleRun::err, text); }
inline Step errLacks(const QString& text) { return said(&ConsoleRun::err, text, false); }

}  // namespace zv::test
