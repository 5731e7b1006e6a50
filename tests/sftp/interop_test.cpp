// The main tasks end to end against OpenSSH's own sshd and against the asyncssh test
// server: the same table, the same results, byte for byte.
#include <gtest/gtest.h>

#include "support/steps.h"

namespace zv::test {
namespace {

// In the practice folder, but no claim.
void practiceFile(ServerTest& t, QString name, QByteArray b) { putAged(t.practice() + name, b); }

void resendModeLeftOver(ServerTest& t) {
    t.m.PickerMode.ResendMode = true;
    t.m.ClaimName = t.claimName(5);
}

// clang-format off
const Scenario kRows[] = {
    // Over 1 MB, so that OpenSSH gets several of its larger write requests; the bytes after
    // record 1 of seqfile.fil belong to nobody here; a resend mode left over from before
    // must not turn the send into a resend.
    {.name = "SendNumbersEachClaim", .steps = {{claim, "a.clm", sized(1500000)}, {claim, "B.CLM", sized(700)}, {claim, "c.CLM", ""}, {practiceFile, "notes.txt", "not a claim"}, {seqFile, "0041tail"}, resendModeLeftOver, SendClaims, noPickerMode, {folderHolds, "zod/claims", ""}, {folderHolds, "practice", "notes.txt"}}, .server = "$0042.83P|$0043.83P|$0044.83P", .seq = "0044tail"},
    // "*.*" also matches the join's own scratch file; it must never become a source.
    {.name = "JoinSendsADentalPackageAsOneClaim", .type = "den", .mask = "*.*", .steps = {{claim, "A.TXT", "ISA*first~"}, {claim, "b.txt", "ISA*second~"}, {practiceFile, "temp.xxx", "left from a run that was cut off"}, SendClaims, {folderHolds, "practice", ""}}, .server = "$0001.DEN=ISA*first~ISA*second~", .seq = "0001"},
    {.name = "ResendPutsTheBackupBackUnderItsOwnNumber", .steps = {{claim, "x.clm", sized(40000)}, SendClaims, {waiting, "$0001.83P", "older copy"}, {put, "zod/claims/$0001.83P", "stale working copy, longer than it"}, answerOk, ResendClaims, {pick, "$0001.83P"}}, .server = "$0001.83P", .seq = "0001"},
    // Another work root with this site ID (or one that lost its seqfile.fil) sent first.
    {.name = "ClaimOfAnotherWorkRootKeepsItsName", .steps = {{keptWith, "~/claims/$0001.83P", "other practice"}, {claim, "a.clm", "ours"}, SendClaims}, .server = "$0001.83P=other practice|$0002.83P=ours", .seq = "0002"},
    {.name = "WaitingFilesAreListedAndOneWithABlankDeleted", .steps = {{waiting, "A.83P", QByteArray(1234, 'a')}, {waiting, "B.83P", ""}, {waiting, "C D.83P", QByteArray(7, 'c')}, {backup, "C D.83P", "c"}, {kept, "zod/claimsbu/C D.83P"}, {keptWith, "~/claims/folder/x", "x"}, DeleteClaimFiles, {pickerLines, "A.83P   1234,B.83P   0,C D.83P   7"}, {pick, "C D.83P"}}, .server = "A.83P|B.83P"},
    {.name = "ReportsComeHomeWholeAndLeaveTheServer", .steps = {{report, "R1.TXT", sized(3000000)}, {report, "r2.277", sized(32769)}, {report, "R3", sized(32768)}, {report, "E", ""}, GetReports, {folderHolds, "~/reports", ""}}, .reports = "E|R1.TXT|R3|r2.277"},
    // Nothing a link points to is fetched or removed; folders stay.
    {.name = "OnlyPlainReportFilesComeHome", .steps = {{report, "R1.TXT", sized(4000)}, {keptWith, "~/reports/sub/inner.txt", "inner"}, {linked, "~/reports/passwd", "/etc/passwd"}, {linked, "~/reports/alias.txt", "~/reports/R1.TXT"}, {linked, "~/reports/broken", "/nonexistent"}, {kept, "/etc/passwd"}, {kept, "~/reports/passwd"}, GetReports}, .reports = "R1.TXT"},
    // A name that is not UTF-8 keeps its bytes; an older local report of the same name
    // stays and the new one goes beside it; the same report again only counts; hidden
    // names stay on the server.
    {.name = "ReportsKeepTheirNameBytesAndReplaceNoFile", .steps = {{report, "r\xE9sum\xE9.TXT", "bytes"}, {report, "SAME.TXT", "same"}, {inReportFolder, "SAME.TXT", "same"}, {report, "DIFF.TXT", "newer"}, {keptWith, "rpt/DIFF.TXT", "older"}, {report, ".hidden", "h"}, GetReports, {statusLines, "Report r\\xE9sum\\xE9.TXT", 1}, {statusLines, "kept as \"DIFF(2).TXT\"", 1}, {statusLines, "begins with a dot", 1}, {statusLines, " 3 Reports", 1}, {folderHolds, "~/reports", ".hidden"}}, .reports = "DIFF(2).TXT=newer|DIFF.TXT=older|SAME.TXT=same|r\\xE9sum\\xE9.TXT=bytes"},
};
// clang-format on

ZV_BOTH_SERVERS_ROWS(Interop, SameResultOnBothServers, kRows);

}  // namespace
}  // namespace zv::test
