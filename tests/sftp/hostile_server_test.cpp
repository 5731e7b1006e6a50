// Servers that lie or are not who they were: names that lead elsewhere, huge listings,
// a changed host key, weak algorithms only, listeners that are no SSH server at all.
// Nothing may be written outside the report folder, no password goes to a server that is
// not the known one, every refusal says why, and no claim or report is lost.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QProcess>
#include <QRegularExpression>

#include "support/steps.h"

namespace zv::test {
namespace {

// In the server's place: a listener that says its greeting to each caller, then keeps
// quiet; a server with weak algorithms only. Or another password.
void listener(ServerTest& t, QByteArray greeting) {
    QProcess& p = t.process();
    p.start("/usr/bin/python3", {"-c",
                                 "import socket,sys\ns=socket.create_server(('127.0.0.1',0))\n"
                                 "print(s.getsockname()[1],flush=True)\nk=[]\nwhile 1:\n"
                                 " k.append(s.accept()[0]);k[-1].sendall(sys.argv[1].encode())",
                                 greeting});
    ASSERT_TRUE(p.waitForReadyRead(20000));
    t.account.port = p.readLine().trimmed().toInt();
}
void weakServer(ServerTest& t) {
    ASSERT_TRUE(t.weak.start());
    t.account = t.weak.account();
}
void password(ServerTest& t, QString password) { t.account.password = password; }

// A FAT image on the folder: letter case ignored, as on a USB stick (the kernel's or FUSE's).
void caseBlindReportFolder(ServerTest& t) {
    const QString image = t.base() + "fat.img", at = t.reportFolder();
    if (!QFile(image).open(QIODevice::WriteOnly) || !QFile::resize(image, 8 << 20) ||
        QProcess::execute("mkfs.vfat", {image}) != 0 ||
        (QProcess::execute("mount", {"-o", "loop", image, at}) != 0 &&
         QProcess::execute("fusefat", {"-o", "rw+", image, at}) != 0))
        GTEST_SKIP() << "cannot mount a FAT image here (dosfstools, fusefat)";
    t.atEnd([at] { QProcess::execute("umount", {"-l", at}); });
}
// The usual umask, and a report folder the practice shares with its billing group.
void umask022(ServerTest& t) {
    t.atEnd([was = ::umask(022)] { ::umask(was); });
    const QByteArray rpt = QFile::encodeName(t.reportFolder());
    if (::chmod(rpt.constData(), 02775) != 0 || ::chown(rpt.constData(), -1, 4) != 0)
        GTEST_SKIP() << "needs root to give the report folder a group";
}
void groupIs(ServerTest& t, QString path, gid_t gid) {
    struct stat st = {};
    ::stat(QFile::encodeName(t.path(path)).constData(), &st);
    EXPECT_EQ(st.st_gid, gid) << path;
}

QStringList tenThousand(const QString& format) {
    QStringList names;
    for (int i = 0; i < 10000; ++i) names << format.arg(i, 5, 10, QLatin1Char('0'));
    return names;
}

// A byte every 0.2 s after 2,500: the deadline, not the time-out, ends the operation.
void trickle(ServerTest& t) {
    t.z().Client().IdleTimeoutMs(30000);
    t.z().Client().OperationDeadlineMs(2000);
    t.server.trickle(0.2, 2500);
}

// The server comes back with another host key, or known_hosts is damaged (and kept so);
// from then on no password may go to it. The first contact showed the key's fingerprint.
void newHostKey(ServerTest& t) {
    (void)t.z().Client().ConnectServer(QString(), 0);  // the old connection must end
    ASSERT_TRUE(t.server.changeHostKey());
    t.passwordAttempts = t.server.logText().count("auth user=");
}
void damagedKnownHosts(ServerTest& t, bool cut) {  // cut short, or binary
    const QByteArray was = readBytes(t.workRoot() + "known_hosts");
    keptWith(t, "zod/known_hosts", cut ? was.left(was.size() / 2) : "\177ELF\002\001" + was);
    t.passwordAttempts = t.server.logText().count("auth user=");
}
void noPasswordSince(ServerTest& t) {
    EXPECT_EQ(t.server.logText().count("auth user="), t.passwordAttempts) << "a password went";
}
void fingerprintShown(ServerTest& t) {
    QProcess keygen;
    keygen.start("ssh-keygen", {"-lf", t.workRoot() + "known_hosts"});
    ASSERT_TRUE(keygen.waitForFinished(20000));
    const QString key = QString::fromLatin1(keygen.readAll()).section(' ', 1, 1);
    EXPECT_EQ(t.view.status.filter(" key " + key + " is now recorded").size(), 1)
        << t.view.status.join('|');
}

// The server's log, or the weak one's; a file's permission bits; the picker's lines.
bool logged(ServerTest& t, const QString& text) {
    return t.server.logText().contains(text) || t.weak.logText().contains(text);
}
void logHas(ServerTest& t, QString text) { EXPECT_TRUE(logged(t, text)) << text; }
void logLacks(ServerTest& t, QString text) { EXPECT_FALSE(logged(t, text)) << text; }
void modeIs(ServerTest& t, QString path, mode_t mode) {
    struct stat st = {};
    ::stat(QFile::encodeName(t.path(path)).constData(), &st);
    EXPECT_EQ(QString::number(st.st_mode & 07777, 8), QString::number(mode, 8)) << path;
}
void pickerLineCount(ServerTest& t, size_t count) { EXPECT_EQ(t.view.pickerLines.size(), count); }

// The names in a folder, as a pattern ("$" the site ID; no "$" anchors, "x{N}" repeats).
void folderLike(ServerTest& t, QString path, QString pattern) {
    const QString names = filesIn(t.path(path)).keys().join(',');
    EXPECT_TRUE(QRegularExpression(QRegularExpression::anchoredPattern(t.expand(pattern)))
                    .match(names)
                    .hasMatch())
        << names;
}
// The temporary copy a lying rename left is named to the user; the clearinghouse then
// clears it away.
void survivorNamedThenCleared(ServerTest& t) {
    const QStringList names = filesIn(t.account.claimsDir()).keys();
    ASSERT_EQ(names.size(), 1) << names.join(',');
    EXPECT_TRUE(t.allMessages().contains("still there only as " + names.first()))
        << t.allMessages();
    ASSERT_TRUE(QFile::remove(t.account.claimsDir() + names.first()));
}

constexpr const char* kOpenFailure = "SFTP Open Failure. Wait 5 minutes and try once more.";

// clang-format off
const Scenario kRows[] = {
    // Peers the program must not get past: refused before any file moves, and the
    // password goes to none but the known server.
    {.name = "SilentListener", .before = {{listener, ""}}, .steps = {{report, "R1.TXT", "report"}, {claim, "a.clm", "claim"}, GetReports, SendClaims}, .told = kOpenFailure},
    {.name = "HttpListener", .before = {{listener, "HTTP/1.1 400 Bad Request\r\n\r\n"}}, .steps = {{report, "R1.TXT", "report"}, {claim, "a.clm", "claim"}, GetReports, SendClaims}, .told = kOpenFailure},
    {.name = "BannerOnlyListener", .before = {{listener, "SSH-2.0-OpenSSH_9.2\r\n"}}, .steps = {{report, "R1.TXT", "report"}, {claim, "a.clm", "claim"}, GetReports, SendClaims}, .told = kOpenFailure},
    {.name = "WeakAlgorithmsOnly", .before = {weakServer}, .steps = {{report, "R1.TXT", "report"}, {claim, "a.clm", "claim"}, GetReports, SendClaims, {logLacks, "auth user="}}, .told = kOpenFailure},
    {.name = "ServerGone", .steps = {{report, "R1.TXT", "report"}, {claim, "a.clm", "claim"}, onServer(&Server::stop), GetReports, SendClaims}, .told = kOpenFailure},
    {.name = "SftpRefused", .steps = {{report, "R1.TXT", "report"}, {claim, "a.clm", "claim"}, onServer(&Server::refuseSftp, true), GetReports, SendClaims}, .told = "SFTP Initialization Failure.Call ZOD."},
    {.name = "WrongPassword", .before = {{password, "Wr0ng-Guess-93"}}, .steps = {{report, "R1.TXT", "report"}, {claim, "a.clm", "claim"}, GetReports, SendClaims, {logHas, "password=Wr0ng-Guess-93"}}, .told = "SFTP Authentications Error. Call ZOD."},
    // Nothing is written outside the report folder, and each name is refused in words;
    // "." and ".." are not files at all. 250 bytes is a legal name here, 300 is not.
    {.name = "NamesLeadingOutOfTheReportFolder", .steps = {{report, "R1.TXT", "r1"}, {report, QByteArray(246, 'r') + ".TXT", "long"}, onServer(&Server::extraEntries, "reports", QStringList{"../x", "/etc/passwd", "a/b", "a\\b", "ctl\x01x", "line\nbreak", "..", ".", QString(300, 'z')}), {kept, "x"}, {kept, "rpt/a/b"}, {kept, "/etc/passwd"}, GetReports, {statusLines, "not a plain file name", 6}, {statusLines, "too long", 1}, {logLacks, "remove reports/.."}}, .reports = "R1.TXT=r1|r{246}.TXT=long"},
    {.name = "TenThousandEntries", .steps = {onServer(&Server::extraEntries, "claims", tenThousand("K9SITE%1.83P")), onServer(&Server::extraEntries, "reports", tenThousand("../r%1")), DeleteClaimFiles, {pickerLineCount, 10000}, ClosePicker, GetReports, {statusLines, "Skipped Report", 10000}}},
    {.name = "WaitingClaimWithAPathForANameIsNotDeleted", .steps = {{keptWith, "~/victim", "keep me"}, onServer(&Server::extraEntries, "claims", QStringList{"../victim"}), DeleteClaimFiles, {pick, "../victim"}}, .told = "not a plain file name"},
    {.name = "LyingServerKeepsHalfAClaim", .steps = {{claim, "x.clm", sized(200000)}, onServer(&Server::shortWriteOn, "*"), SendClaims}, .told = "File Upload Failure. Try once more."},
    // Short replies are legal: the rest is asked for. The link is neither followed nor
    // replaced: the report goes beside it.
    {.name = "ShortReadsAndALinkInTheReportFolder", .steps = {{report, "S.TXT", sized(300001)}, {keptWith, "outside.txt", "outside"}, {linked, "rpt/S.TXT", "outside.txt"}, {kept, "rpt/S.TXT"}, onServer(&Server::shortReadOn, "*", 0), GetReports}, .reports = "S(2).TXT|S.TXT"},
    {.name = "NameListedTwiceIsFetchedOnce", .steps = {{report, "R1.TXT", "r1"}, {report, "R2.TXT", "r2"}, onServer(&Server::listTwice, "reports/R1.TXT"), GetReports, {statusLines, "Report R1.TXT", 1}, {statusLines, " 2 Reports Downloaded", 1}}, .reports = "R1.TXT|R2.TXT"},
    // "R1.TXT" and "r1.txt" are one name there: the second is kept beside, unless the same.
    {.name = "FolderThatIgnoresLetterCase", .before = {caseBlindReportFolder}, .steps = {{report, "R1.TXT", "upper"}, {report, "r1.txt", "lower"}, {report, "S.TXT", "same"}, {report, "s.txt", "same"}, GetReports, {statusLines, "kept as", 1}, {folderHolds, "~/reports", ""}}, .reports = "R1.TXT=upper|S.TXT=same|r1(2).txt=lower"},
    // Under the usual umask the work root, its folders and every file in them are the
    // owner's alone; a report in the practice's shared folder follows that folder.
    {.name = "PrivateUnderUmask022", .before = {umask022}, .steps = {{claim, "x.clm", "claim"}, {report, "R1.TXT", "r1"}, SendClaims, {modeIs, "zod", 0700}, {modeIs, "zod/claims", 0700}, {modeIs, "zod/claimsbu", 0700}, {modeIs, "zod/user", 0700}, {modeIs, "zod/claimsbu/$0001.83P", 0600}, {modeIs, "zod/seqfile.fil", 0600}, {modeIs, "zod/ZUDUVOR.LOG", 0600}, {modeIs, "zod/ledger.db", 0600}, {modeIs, "rpt/R1.TXT", 0644}, {groupIs, "rpt/R1.TXT", 4}}, .server = "$0001.83P", .seq = "0001", .reports = "R1.TXT"},
    {.name = "FailedDownloadKeepsTheOlderCopyAndNoPart", .steps = {{report, "R.TXT", sized(300000)}, {inReportFolder, "R.TXT", "old report"}, {refuse, "read", "*"}, GetReports}, .told = "Report Download Failure", .reports = "R.TXT=old report"},
    // The first contact records the key; a restart with the same key is met again, a new
    // key is refused every time and gets no password.
    {.name = "ChangedHostKeyGetsNoPassword", .steps = {{waiting, "A.83P", "a"}, GetReports, restartServer, DeleteClaimFiles, {pickerLineCount, 1}, ClosePicker, newHostKey, GetReports, GetReports, noPasswordSince}, .told = "password was not sent", .server = "A.83P=a"},
    // A cut-off upload leaves no claim under its name; the next session takes it away and
    // the claim waits for a resend. A name taken unseen (the listing refused) stays.
    {.name = "UploadCutMidWrite", .steps = {{claim, "x.clm", sized(1880017)}, onServer(&Server::cutWriteAt, "claims/*", 425984), SendClaims, {folderLike, "~/claims", "\\.$0001\\.83P\\.\\w+\\.part"}, clearFaults, {claim, "y.clm", "later"}, SendClaims, {folderHolds, "~/claims", "$0002.83P"}, answerOk, ResendClaims, {pick, "$0001.83P"}}, .told = "File Upload Failure", .server = "$0001.83P|$0002.83P", .seq = "0002"},
    {.name = "NameTakenUnseenGetsTheNextNumber", .steps = {{keptWith, "~/claims/$0001.83P", "other practice"}, {claim, "a.clm", "ours"}, {refuse, "opendir", "claims"}, SendClaims, {folderHolds, "zod/claimsbu", "$0002.83P"}, {folderHolds, "zod/claims", ""}, {statusLines, "$0001.83P was taken on the server meanwhile", 1}, {statusLines, " 1 Claim Files Sent", 1}}, .server = "$0001.83P=other practice|$0002.83P=ours", .seq = "0002"},
    // A rename answered done but not done: not counted as sent, the claim kept for a
    // resend, its temporary copy named and never taken away as a leftover.
    {.name = "RenameAnsweredButNotDone", .steps = {{claim, "x.clm", "claim"}, onServer(&Server::fakeRename, "claims/*"), SendClaims, {statusLines, " 0 Claim Files Sent", 1}, clearFaults, SendClaims, GetReports, {folderLike, "~/claims", "\\.$0001\\.83P\\.\\w+\\.part"}, {statusLines, "$0001.83P was not sent", 2}, survivorNamedThenCleared}, .told = "the server answered that it was given its name", .seq = ""},
    // A listed size that is wrong holds back no report: the open file's size counts. A
    // report the server will not give is named and skipped; the next is still fetched.
    {.name = "WrongListedSizeAndARefusedReport", .steps = {{report, "A0001.TXT", sized(4053)}, {report, "B.TXT", "refused"}, {report, "C999.TXT", "999"}, onServer(&Server::listedSize, "reports/A0001.TXT", 0), {refuse, "open", "reports/B.TXT"}, GetReports, {statusLines, "Report B.TXT was not fetched", 1}, {statusLines, " 2 Reports Downloaded", 1}}, .told = "Report Download Failure-Try Once More.\nCould not open reports/B.TXT", .reports = "A0001.TXT|C999.TXT"},
    // Bounded in size and time, each ends in words with no report lost: a download stops
    // at the size the server gave and is fetched whole at the next run.
    {.name = "EndlessListing", .steps = {{report, "R1.TXT", "r1"}, onServer(&Server::endlessListing, "reports"), GetReports}, .told = "more than 100,000 files in reports"},
    {.name = "EndlessDownload", .steps = {{report, "R1.TXT", sized(100000)}, onServer(&Server::endlessRead, "*"), GetReports, {folderHolds, "rpt", ""}, clearFaults, GetReports}, .told = "longer than the 100000 bytes", .reports = "R1.TXT"},
    {.name = "TricklingServer", .steps = {{report, "R1.TXT", "r1"}, trickle, GetReports}, .told = "answered too slowly"},
    // A damaged known_hosts refuses every server before the password and says how to put
    // it right; the first contact showed the recorded key's fingerprint.
    {.name = "CutShortKnownHosts", .steps = {GetReports, fingerprintShown, {damagedKnownHosts, true}, GetReports, noPasswordSince}, .told = "known_hosts is damaged"},
    {.name = "BinaryKnownHosts", .steps = {GetReports, {damagedKnownHosts, false}, GetReports, noPasswordSince}, .told = "known_hosts is damaged"},
    {.name = "FileHiddenOnceClosedWasStillTaken", .steps = {{claim, "x.clm", "claim"}, {refuse, "stat", "*"}, SendClaims}, .server = "K9SITE0001.83P=claim", .seq = "0001"},
};
// clang-format on

ZV_SCENARIO_ROWS(HostileServer, RefusedSafelyAndInWords, kRows);

}  // namespace
}  // namespace zv::test
