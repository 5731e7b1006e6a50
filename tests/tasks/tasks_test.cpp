// The tasks behind the buttons and the picker where a wrong state would send, delete or
// show the wrong file; and the workstation's own disk and input going wrong (a full or
// read-only folder, a damaged setup.prm or seqfile.fil, odd masks and claim names). Each
// gets the described behaviour or a clear message, and every claim stays somewhere whole.
// And start-up's end states as the user meets them, the log after Exit, and the web site.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QThread>

#include "base/durable_file.h"
#include "setup/setup_file.h"
#include "support/steps.h"
#include "zuduvor_config.h"

namespace zv::test {
namespace {

// a.clm, [x].clm and "b c.txt" in the practice folder, with a file beside it and one below.
void mix(ServerTest& t) {
    t.play({{claim, "a.clm", "a.clm"},
            {claim, "[x].clm", "[x].clm"},
            {claim, "b c.txt", "b c.txt"},
            {keptWith, "outside.clm", "outside"},
            {keptWith, "practice/sub/inner.clm", "inner"}});
}
void hugeClaim(ServerTest& t) { claim(t, "big.clm", "ISA~" + QByteArray((50 << 20) - 4, 0)); }

void immutable(ServerTest& t, QString path) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can make a file immutable (chattr +i)";
    ASSERT_EQ(QProcess::execute("chattr", {"+i", t.path(path)}), 0);
}
void filled(ServerTest& t, QString path) {  // a file that fills its disk
    QFile filler(t.path(path));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(4096, 'f')) == 4096 && filler.flush()) {
    }
}

// Until the test ends: a full folder is a small tmpfs, an unwritable one a read-only bind
// mount (root ignores file modes).
void mounted(ServerTest& t, QString path, bool readOnly) {
    const QString at = t.path(path);
    QDir().mkpath(at);
    const QStringList ro{"--bind", "-o", "ro", at, at},
        full{"-t", "tmpfs", "-o", "size=256k", "tmpfs", at};
    if (QProcess::execute("mount", readOnly ? ro : full) != 0) GTEST_SKIP() << "cannot mount here";
    t.atEnd([at] { QProcess::execute("umount", {"-l", at}); });
}
void tmpfs(ServerTest& t, QString path) { mounted(t, path, false); }
void readOnly(ServerTest& t, QString path) { mounted(t, path, true); }

void claimFolderInSetup(ServerTest& t, QString path) { t.claimFolderInSetup = path; }
// The report folder as Setup leaves it while the program runs: "/" for a blank value.
void reportFolderInSetup(ServerTest& t, QString path) {
    t.m.Setup.RptPath = path == "/" ? path : t.path(path);
}
void userFolderClaim(ServerTest& t, QString name, QByteArray bytes) {
    putAged(t.path("zod/user/" + name), bytes);
    t.claims << bytes;
}
void appendTo(ServerTest& t, QString path) {
    QFile file(t.path(path));
    ASSERT_TRUE(file.open(QIODevice::Append) && file.write("NTE~more~") == 9);
}
void openerFails(ServerTest& t) { t.launcher.succeed = false; }
void pickerHidden(ServerTest& t) { EXPECT_FALSE(t.view.pickerVisible) << "the picker stays"; }
void pickerLineWithoutABlank(ServerTest& t, QString text) { t.z().Form5_List1_Click({text, text}); }

// Done when the window next takes input, as a user's click during an upload.
void atNextInput(ServerTest& t, Step step) {
    t.view.onPendingInput = [&t, step] { step(t); };
}

// A second program (the console) with a work root and a claim folder of its own and the
// same site ID sends `bytes`; once its upload is under way, this program runs `step`.
void otherProgramSendsDuring(ServerTest& t, QByteArray bytes, Step step) {
    const QString root = t.base() + "zod2/";
    putAged(t.base() + "practice2/b.clm", bytes);
    const QString was = std::exchange(t.claimFolderInSetup, "practice2/");
    writeBytes(root + "setup.prm", t.setupBytes());
    t.claimFolderInSetup = was;
    QProcess& other = t.process();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    other.setProcessEnvironment(env);
    other.start(t.consoleProgram, {"--work-root", root, "--sftp-host", t.account.host,
                                   "--sftp-port", QString::number(t.account.port), "send"});
    const QString begun = "open claims/." + t.claimName(1) + ".";
    for (int i = 0; i < 600 && !t.server.logText().contains(begun); ++i) QThread::msleep(50);
    if (!t.server.logText().contains(begun)) other.kill();
    ASSERT_TRUE(t.server.logText().contains(begun) || !other.waitForFinished(5000))
        << t.server.logText() << QString::fromUtf8(other.readAll());
    step(t);
    ASSERT_TRUE(other.waitForFinished(60000));
    EXPECT_EQ(other.exitCode(), 0) << QString::fromUtf8(other.readAllStandardError());
    // Its claim is on the server whole, first come first named; its copies are its own.
    EXPECT_EQ(readBytes(t.account.claimsDir() + t.claimName(1)), bytes);
    t.keep(t.account.claimsDir() + t.claimName(1));
}

// clang-format off
const Scenario kRows[] = {
    // Two programs sharing a server account: neither takes, replaces or removes the
    // other's upload, and both claims end on the server under names of their own.
    {.name = "TwoProgramsOneSiteIdBothSent", .steps = {{claim, "a.clm", sized(3000)}, onServer(&Server::delayOn, "close", "claims/*", 3.0), {otherProgramSendsDuring, sized(3001), Step{SendClaims}}, {statusLines, "Sending File $0002.83P", 1}}, .server = "$0001.83P|$0002.83P", .seq = "0002"},
    // seqfile.fil is read by its leading number and only its first four bytes change.
    {.name = "LowerCaseTypeAndNoSeqFile", .type = "83p", .steps = {mix, SendClaims}, .server = "K9SITE0001.83P|K9SITE0002.83P", .seq = "0002"},
    {.name = "SeqLetters", .mask = "a.*", .steps = {mix, {seqFile, "abcd"}, SendClaims}, .server = "K9SITE0001.83P=a.clm", .seq = "0001"},
    {.name = "SeqLong", .mask = "a.*", .steps = {mix, {seqFile, "12345678"}, SendClaims}, .server = "K9SITE1235.83P=a.clm", .seq = "12355678"},
    {.name = "SeqBlanks", .mask = "a.*", .steps = {mix, {seqFile, " 4 1"}, SendClaims}, .server = "K9SITE0042.83P=a.clm", .seq = "0042"},
    {.name = "SeqShort", .mask = "a.*", .steps = {mix, {seqFile, "7"}, SendClaims}, .server = "K9SITE0008.83P=a.clm", .seq = "0008"},
    {.name = "SeqNul", .mask = "a.*", .steps = {mix, {seqFile, QByteArray("\x00\x00\x00\x00", 4)}, SendClaims}, .server = "K9SITE0001.83P=a.clm", .seq = "0001"},
    // A mask matches only files of the practice folder.
    {.name = "MaskParentFolder", .mask = "../*.clm", .steps = {mix, SendClaims}, .seq = "<missing>"},
    {.name = "MaskSubFolder", .mask = "sub/*.clm", .steps = {mix, SendClaims}, .seq = "<missing>"},
    {.name = "MaskAbsolutePath", .mask = "/etc/*", .steps = {mix, SendClaims}, .seq = "<missing>"},
    {.name = "MaskBrackets", .mask = "[x].clm", .steps = {mix, SendClaims}, .server = "K9SITE0001.83P=[x].clm", .seq = "0001"},
    {.name = "MaskBlank", .mask = "b c.*", .steps = {mix, SendClaims}, .server = "K9SITE0001.83P=b c.txt", .seq = "0001"},
    {.name = "MaskQuestionMarks", .mask = "?????", .steps = {mix, SendClaims}, .server = "K9SITE0001.83P=a.clm", .seq = "0001"},
    {.name = "MaskManyStars", .mask = "*a*****************************.*****m", .steps = {mix, SendClaims}, .server = "K9SITE0001.83P=a.clm", .seq = "0001"},
    // Names as another program may leave them.
    {.name = "LineBreakInAName", .steps = {{claim, "line\nbreak.clm", "ISA~"}, SendClaims, {folderHolds, "practice", ""}}, .server = "K9SITE0001.83P=ISA~", .seq = "0001"},
    {.name = "LeadingBlankInAName", .steps = {{claim, " lead.clm", "ISA~"}, SendClaims, {folderHolds, "practice", ""}}, .server = "K9SITE0001.83P=ISA~", .seq = "0001"},
    {.name = "HugeClaimIsSentWhole", .steps = {hugeClaim, SendClaims}, .server = "K9SITE0001.83P", .seq = "0001"},
    // While the first is sent, the billing software takes the second back.
    {.name = "ClaimVanishingBeforeItsTurnTakesNoNumber", .steps = {{claim, "a.clm", "a"}, {claim, "b.clm", "b"}, {atNextInput, Step{takenAway, "practice/b.clm"}}, SendClaims}, .server = "K9SITE0001.83P=a", .seq = "0001"},
    // The workstation's disk: full folders are small tmpfs mounts, unwritable ones
    // read-only bind mounts (root ignores file modes). The claim stays in the practice
    // folder and its number unused; no half-made backup blocks it.
    {.name = "FullWorkRoot", .before = {{tmpfs, "zod"}}, .steps = {{claim, "a.clm", sized(180000)}, {seqFile, "0007"}, SendClaims, {folderHolds, "zod/claimsbu", ""}}, .told = "still in your claim folder", .seq = "0007"},
    {.name = "ReadOnlyBackups", .steps = {{claim, "a.clm", "claim"}, {seqFile, "0007"}, {readOnly, "zod/claimsbu"}, SendClaims, {folderHolds, "zod/claimsbu", ""}}, .told = "could not be copied", .seq = "0007"},
    {.name = "ReadOnlyPractice", .steps = {{claim, "a.clm", "claim"}, {seqFile, "0007"}, {readOnly, "practice"}, SendClaims, {folderHolds, "zod/claimsbu", ""}}, .told = "could not be removed from your claim folder", .seq = "0007"},
    {.name = "WorkRootWithNoRoomAtAll", .before = {{tmpfs, "zod"}}, .steps = {{claim, "a.clm", "claim"}, {seqFile, "0007"}, {filled, "zod/filler"}, SendClaims, {folderHolds, "zod/claimsbu", ""}}, .told = "", .seq = "0007"},
    {.name = "ImmutableSequenceFile", .steps = {{claim, "a.clm", "claim"}, {seqFile, "0007"}, {immutable, "zod/seqfile.fil"}, SendClaims, {folderHolds, "zod/claimsbu", ""}}, .told = "seqfile.fil", .seq = "0007"},
    {.name = "LastNumberUsedUp", .steps = {{claim, "a.clm", "claim"}, {seqFile, "9999"}, SendClaims, {folderHolds, "zod/claimsbu", ""}}, .told = "Call ZOD", .seq = "9999"},
    {.name = "FullPracticeFolderWhileJoining", .type = "DEN", .mask = "*.TXT", .before = {{tmpfs, "practice"}}, .steps = {{claim, "a.txt", sized(100000)}, {claim, "b.txt", sized(100001)}, SendClaims, {folderHolds, "zod/claimsbu", ""}, {folderHolds, "practice", "a.txt,b.txt"}}, .told = "no file was deleted"},
    {.name = "FullReportFolder", .before = {{tmpfs, "rpt"}}, .steps = {{report, "R1.TXT", sized(100000)}, {report, "R2.TXT", sized(300000)}, GetReports}, .told = "is nearly full"},
    {.name = "ReadOnlyReportFolder", .steps = {{report, "R1.TXT", "report"}, {readOnly, "rpt"}, GetReports}, .told = "Report Download Failure-Try Once More.\n"},
    // Only plain files are claims: a link (to the password file here) stays in place; a
    // claim folder inside the work root would send the program's own files.
    {.name = "LinkInThePracticeFolderIsNotSent", .steps = {{linked, "practice/s.clm", "zod/setup.prm"}, {claim, "a.clm", "claim"}, SendClaims, {statusLines, "is a link", 1}, {folderHolds, "practice", "s.clm"}}, .server = "$0001.83P=claim", .seq = "0001"},
    {.name = "PracticeFolderInsideTheWorkRootIsRefused", .before = {{claimFolderInSetup, "zod/claims/"}}, .steps = {{put, "zod/claims/w.clm", "working copy"}, SendClaims, {folderHolds, "zod/claims", "w.clm"}}, .told = "claim folder in Setup"},
    {.name = "WorkRootItselfIsRefused", .before = {{claimFolderInSetup, "zod/"}}, .steps = {{put, "zod/w.clm", "own file"}, SendClaims, {folderHolds, "zod/claimsbu", ""}}, .told = "claim folder in Setup"},
    {.name = "UserFolderOfTheWorkRootIsAClaimFolder", .before = {{claimFolderInSetup, "zod/user/"}}, .steps = {{userFolderClaim, "a.clm", "claim"}, SendClaims, {folderHolds, "zod/user", ""}}, .server = "$0001.83P=claim", .seq = "0001"},
    // A file changed after it settled is not taken: the copies go, the file stays.
    {.name = "ClaimChangedAfterItSettledStays", .steps = {{claim, "a.clm", "a"}, {claim, "b.clm", "b"}, {atNextInput, Step{appendTo, "practice/b.clm"}}, SendClaims, {statusLines, "b.clm was changed while it was being sent", 1}, {folderHolds, "practice", "b.clm"}, {folderHolds, "zod/claimsbu", "$0001.83P"}}, .server = "$0001.83P=a", .seq = "0001"},
    // A claim whose upload failed is named at every later Send and Get Reports until resent.
    {.name = "FailedUploadNamedUntilResent", .steps = {{claim, "a.clm", "claim"}, {refuse, "write", "claims/*"}, SendClaims, clearFaults, SendClaims, GetReports, {statusLines, "$0001.83P was not sent: its upload did not complete; use Resend Claims to ZOD", 2}, answerOk, ResendClaims, {pick, "$0001.83P"}, GetReports, {statusLines, "was not sent", 0}, {folderHolds, "zod/claims", ""}}, .told = "File Upload Failure. Try once more.", .server = "$0001.83P=claim"},
    // Reports go into the report folder of Setup or nowhere.
    {.name = "BlankReportFolderIsNeverUsed", .steps = {{report, "R1.TXT", "r"}, {reportFolderInSetup, "/"}, GetReports, {folderHolds, "~/reports", "R1.TXT"}}, .told = "Report Path not found, Setup Required."},
    {.name = "MissingReportFolderIsNeverUsed", .steps = {{report, "R1.TXT", "r"}, {reportFolderInSetup, "gone/"}, GetReports, {folderHolds, "~/reports", "R1.TXT"}}, .told = "Report Path not found, Setup Required."},
    // Modes and clicks that must not act on the wrong file.
    {.name = "NoClaimFileStillFetchesReportsAndLeavesTheNumber", .steps = {{report, "R1.TXT", "one"}, answerOk, SendClaims}, .seq = "<missing>", .reports = "R1.TXT=one", .opened = "rpt/"},
    {.name = "ResendOfAnotherTypeFindsNothing", .steps = {{backup, "K9SITE0003.DEN", "3"}, ResendClaims, pickerHidden, answerOk, ResendClaims}, .told = "No Files Found to Resend"},
    {.name = "ResendSendsOnlyThePickedBackup", .steps = {{backup, "K9SITE0001.83P", "one"}, {backup, "K9SITE0002.83P", "two"}, {backup, "K9SITE0003.DEN", "3"}, {claim, "a.clm", "new"}, {report, "R1.TXT", "r"}, answerOk, ResendClaims, {pickerLines, "K9SITE0001.83P  01/05/2026  9:03:07 AM,K9SITE0002.83P  01/05/2026  9:03:07 AM"}, {pick, "K9SITE0001.83P"}}, .server = "K9SITE0001.83P=one"},
    {.name = "BackupGoneSinceTheListingIsNamedAndNothingSent", .steps = {{backup, "K9SITE0002.83P", "gone"}, answerOk, ResendClaims, {takenAway, "zod/claimsbu/K9SITE0002.83P"}, {pick, "K9SITE0002.83P"}, {folderHolds, "zod/claims", ""}}, .told = "K9SITE0002.83P"},
    // The resend's upload gives the window one chance for input; Send stays usable.
    {.name = "SendClickedDuringAResendSpoilsNeitherFile", .steps = {{backup, "K9SITE0001.83P", "resent"}, {seqFile, "0001"}, {claim, "a.clm", "new"}, answerOk, ResendClaims, {atNextInput, SendClaims}, {pick, "K9SITE0001.83P"}}, .server = "K9SITE0001.83P=resent|K9SITE0002.83P=new", .seq = "0002"},
    {.name = "DeleteReopensALostSession", .steps = {{waiting, "A.83P", "a"}, DeleteClaimFiles, DeleteClaimFiles, restartServer, DeleteClaimFiles, {pickerLines, "A.83P   1"}, {pick, "A.83P"}, noPickerMode}},
    {.name = "PickerLineWithoutABlankNamesNoFile", .steps = {{waiting, "NOBLANK.83P", "x"}, {backup, "K9SITE0001.83P", "AB~"}, DeleteClaimFiles, {pickerLineWithoutABlank, "NOBLANK.83P"}, ClosePicker, answerOk, ResendClaims, {pickerLineWithoutABlank, "K9SITE0001.83P"}, ClosePicker, ViewClaims, {pickerLineWithoutABlank, "K9SITE0001.83P"}}, .told = "", .server = "NOBLANK.83P=x"},
    {.name = "ExitThenDeleteDeletesAndResendsNothing", .steps = {{backup, "K9SITE0001.83P", "backup~"}, {waiting, "K9SITE0001.83P", "waiting"}, answerOk, ResendClaims, ClosePicker, DeleteClaimFiles, {pick, "K9SITE0001.83P"}}},
    {.name = "ExitThenViewOnlyViews", .steps = {{backup, "K9SITE0001.83P", "backup~"}, {waiting, "K9SITE0001.83P", "waiting"}, DeleteClaimFiles, ClosePicker, ViewClaims, {pick, "K9SITE0001.83P"}}, .server = "K9SITE0001.83P=waiting", .text = "backup\r\n", .opened = "zod/claim.txt"},
    {.name = "SendHidesThePicker", .steps = {{waiting, "A.83P", "a"}, DeleteClaimFiles, SendClaims, pickerHidden}, .server = "A.83P=a"},
    {.name = "View837SplitsSegmentsIntoLines", .steps = {{backup, "K9SITE0001.83P", "AB~CD~EF~\r\n"}, ViewClaims, {pick, "K9SITE0001.83P"}, pickerHidden, noPickerMode}, .text = "AB\r\nCD\r\nEF\r\n", .opened = "zod/claim.txt"},
    {.name = "View837KeepsEmptySegments", .steps = {{backup, "K9SITE0002.83D", "~~X~"}, ViewClaims, {pick, "K9SITE0002.83D"}, pickerHidden, noPickerMode}, .text = "\r\n\r\nX\r\n", .opened = "zod/claim.txt"},
    {.name = "ViewOfOtherTypesOpensTheBackupAsItIs", .steps = {{put, "zod/claim.txt", "earlier"}, {backup, "K9SITE0003.ECP", "AB~CD~"}, ViewClaims, {pick, "K9SITE0003.ECP"}, pickerHidden, noPickerMode}, .text = "earlier", .opened = "zod/claimsbu/K9SITE0003.ECP"},
    // Folders and hidden files are no reports.
    {.name = "ViewOfEmptyFoldersNamesThem", .steps = {{inReportFolder, ".hidden", ""}, {keptWith, "rpt/sub/x", "x"}, ViewClaims, ViewReports}, .told = "/rpt/", .reports = ".hidden="},
    {.name = "ViewOfAVanishedBackupNamesIt", .steps = {{put, "zod/claim.txt", "earlier"}, {backup, "K9SITE0001.83P", "AB~"}, ViewClaims, {takenAway, "zod/claimsbu/K9SITE0001.83P"}, {pick, "K9SITE0001.83P"}}, .told = "K9SITE0001.83P", .text = "earlier"},
    {.name = "ViewOfAVanishedOtherTypeNamesIt", .steps = {{backup, "K9SITE0002.ECP", "AB~"}, ViewClaims, {takenAway, "zod/claimsbu/K9SITE0002.ECP"}, {pick, "K9SITE0002.ECP"}}, .told = "K9SITE0002.ECP"},
    {.name = "ViewWithAFailedOpenerSaysWhich", .steps = {{backup, "K9SITE0003.83P", "AB~"}, openerFails, ViewClaims, {pick, "K9SITE0003.83P"}}, .told = "claim.txt"},
    {.name = "ViewReportsWithAFailedOpenerSaysWhich", .steps = {{inReportFolder, "R1", ""}, openerFails, ViewReports}, .told = "/rpt/", .reports = "R1="},
};
// clang-format on

ZV_SCENARIO_ROWS(Tasks, EndsInTheRightState, kRows);

// A damaged setup.prm: start-up says so or goes on, and tasks clicked after a failed
// start-up must not take the current folder for the claim folder.
struct Setup {
    const char* name;
    QByteArray (*damage)(QByteArray good);
    bool complete;
};
// clang-format off
const Setup kSetups[] = {
    {"ShortLines", [](QByteArray) -> QByteArray { return "User\r\nFile\r\n"; }, false},
    {"BinaryBytes", [](QByteArray) { return patterned(4096, 7); }, false},
    {"OneMegabyteLine", [](QByteArray s) { return "UserPath" + QByteArray(1 << 20, 'x') + "\r\n" + s.mid(52); }, true},
    {"NoLineEnds", [](QByteArray s) { return s.replace("\r\n", ""); }, false},
    {"LineFeedsOnly", [](QByteArray s) { return s.replace("\r\n", "\n"); }, true},
    {"KeysInOtherCase", [](QByteArray s) { return s.toUpper(); }, false},
    {"NulBytesInValues", [](QByteArray s) { return s.replace("Secret", QByteArray("Se\0ret", 6)); }, true},
    {"UserPathMissing", [](QByteArray s) { return s.mid(52); }, false},
};
// clang-format on

class Setups : public ServerTest, public ::testing::WithParamInterface<Setup> {};

TEST_P(Setups, StartUpSaysSoAndNoStrayClaimIsSent) {
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(base()));
    writeBytes(base() + "bystander.clm", "not a claim");
    writeBytes(workRoot() + "setup.prm", GetParam().damage(setupBytes("83P", "*.*")));
    EXPECT_EQ(start() == StartState::Complete, GetParam().complete) << allMessages();
    z().SendClaims_Click();
    z().ResendClaims_Click();
    QDir::setCurrent(cwd);
    EXPECT_TRUE(GetParam().complete || !dialogs.shown.empty());
    EXPECT_EQ(readBytes(base() + "bystander.clm"), "not a claim");
}

INSTANTIATE_TEST_SUITE_P(Rows, Setups, ::testing::ValuesIn(kSetups), rowName);

// A name that is no UTF-8, as another program may leave it: named in a message and kept.
using OddName = ServerTest;

TEST_F(OddName, NotUtf8IsNamedAndKept) {
    startStation();
    const QByteArray file = QFile::encodeName(practice()) + "bad\xff\xfe.clm";
    FILE* f = ::fopen(file, "wb");
    ASSERT_TRUE(f && ::fputs("ISA~", f) >= 0 && ::fclose(f) == 0);
    z().SendClaims_Click();
    EXPECT_TRUE(filesIn(account.claimsDir()).isEmpty());
    EXPECT_TRUE(allMessages().contains("cannot read")) << allMessages();
    EXPECT_EQ(::unlink(file), 0) << "the claim was not kept";
}

struct Workstation {
    QTemporaryDir tmp;
    QString root = tmp.path() + "/zod/";
    bool made = QDir().mkpath(root);
    Module1 m;
    RecordingView view;
    RecordingDialogs dialogs;
    RecordingLauncher launcher;
    Zuduvor z{m, view, view, dialogs, launcher};
    QByteArray log() { return readBytes(root + "ZUDUVOR.LOG"); }
};

TEST(StartStates, EachSetupStateHasItsMessageAndTheLogStartsAfreshOrNotAtAll) {
    const QByteArray full = formatSetupFile({"/c/", "*.txt", "83P", "DOCUTRAC", "k9", "pw", "/r/"});
    // clang-format off
    const std::tuple<QByteArray, StartState, QString> rows[] = {
        {{}, StartState::NoSetupFile, "Setup File not Found. Please do the Setup."},
        {"", StartState::NoSetupFile, "Setup File not Found. Please do the Setup."},
        {"UserFile*.txt\r\nsiteid  x\r\nFileType83P\r\n", StartState::UnknownKey, "Unknown Setup Parameter. Please Redo the Setup."},
        {"UserFile*.txt\r\nSiteID  x\r\n", StartState::MissingValue, "User Claim File not found, Setup Required."},
        {full, StartState::Complete, ""}};
    // clang-format on
    for (const auto& [setup, state, message] : rows) {
        Workstation s;
        EXPECT_TRUE(writeFileSafely(s.root + "ZUDUVOR.LOG", "earlier\r\n").ok());
        EXPECT_TRUE(setup.isNull() || writeFileSafely(s.root + "setup.prm", setup).ok());
        EXPECT_EQ(s.z.Form_Load({s.root, "127.0.0.1", 2222, "", ""}), state);
        EXPECT_EQ(s.dialogs.texts().join(""), message);
        EXPECT_EQ(s.view.status, QStringList{ReadyLine});
        EXPECT_EQ(s.view.siteIdText, s.m.Setup.SiteID.toUpper());
        const QByteArray log = s.log();
        const bool logged = state == StartState::MissingValue || state == StartState::Complete;
        EXPECT_EQ(log.startsWith("Start DADEDIRUred on ") && log.count("\r\n") == 1, logged)
            << log.toStdString();
        // A task still finishing after Exit must not reopen (and so empty) the log.
        s.z.Command1_Click();
        s.z.WriteLogLine();
        EXPECT_EQ(s.log(), log);
    }
}

TEST(MainLogic, TheWebSiteOpensOrSaysWhyNot) {
    Workstation s;
    s.z.ZODWebSite_Click();
    s.launcher.succeed = false;
    s.z.ZODWebSite_Click();
    s.launcher.exists = false;
    s.z.ZODWebSite_Click();
    EXPECT_EQ(s.launcher.opened, QStringList{config::kWebSite});
    const QString shown = s.dialogs.texts().join("|");
    EXPECT_TRUE(shown.contains(").\nthe opener could not be started\n")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("|Path to Internet Explorer not Found"));
}

}  // namespace
}  // namespace zv::test
