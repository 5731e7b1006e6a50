// The main tasks end to end against OpenSSH's own sshd and against the asyncssh test
// server: the same table, the same results, byte for byte.
#include <gtest/gtest.h>

#include "support/station.h"

namespace zv::test {
namespace {

// clang-format off
const Scenario kRows[] = {
    // Over 1 MB, so that OpenSSH gets several of its larger write requests; the bytes after
    // record 1 of seqfile.fil belong to nobody here; a resend mode left over from before
    // must not turn the send into a resend.
    {"SendNumbersEachClaim", "83P|*.CLM", "p:a.clm=@1500000|p:B.CLM=@700|p:c.CLM=|x:notes.txt=not a claim|s:0041tail", "resendmode|S|0m|ls:zod/claims=|ls:practice=notes.txt", nullptr, "$0042.83P|$0043.83P|$0044.83P", "0044tail"},
    // "*.*" also matches the join's own scratch file; it must never become a source.
    {"JoinSendsADentalPackageAsOneClaim", "den|*.*", "p:A.TXT=ISA*first~|p:b.txt=ISA*second~|x:temp.xxx=left from a run that was cut off", "S|ls:practice=", nullptr, "$0001.DEN=ISA*first~ISA*second~", "0001"},
    {"ResendPutsTheBackupBackUnderItsOwnNumber", "83P|*.CLM", "p:x.clm=@40000", "S|w:$0001.83P=older copy|c:$0001.83P=stale working copy, longer than it|ok|R|@$0001.83P", nullptr, "$0001.83P", "0001"},
    // Another work root with this site ID (or one that lost its seqfile.fil) sent first.
    {"ClaimOfAnotherWorkRootKeepsItsName", "83P|*.CLM", "k:~/claims/$0001.83P=other practice|p:a.clm=ours", "S", nullptr, "$0001.83P=other practice|$0002.83P=ours", "0002"},
    {"WaitingFilesAreListedAndOneWithABlankDeleted", "83P|*.CLM", "w:A.83P=a{1234}|w:B.83P=|w:C D.83P=c{7}|b:C D.83P=c|k:zod/claimsbu/C D.83P|k:~/claims/folder/x=x", "D|#A.83P   1234,B.83P   0,C D.83P   7|@C D.83P", nullptr, "A.83P|B.83P"},
    {"ReportsComeHomeWholeAndLeaveTheServer", "83P|*.CLM", "r:R1.TXT=@3000000|r:r2.277=@32769|r:R3=@32768|r:E=", "G|ls:~/reports=", nullptr, "", nullptr, "E|R1.TXT|R3|r2.277"},
    // Nothing a link points to is fetched or removed; folders stay.
    {"OnlyPlainReportFilesComeHome", "83P|*.CLM", "r:R1.TXT=@4000|k:~/reports/sub/inner.txt=inner|ln:~/reports/passwd>/etc/passwd|ln:~/reports/alias.txt>~/reports/R1.TXT|ln:~/reports/broken>/nonexistent|k:/etc/passwd|k:~/reports/passwd", "G", nullptr, "", nullptr, "R1.TXT"},
    // A name that is not UTF-8 keeps its bytes; an older local report of the same name
    // stays and the new one goes beside it; the same report again only counts; hidden
    // names stay on the server.
    {"ReportsKeepTheirNameBytesAndReplaceNoFile", "83P|*.CLM", "r:r%E9sum%E9.TXT=bytes|r:SAME.TXT=same|l:SAME.TXT=same|r:DIFF.TXT=newer|k:rpt/DIFF.TXT=older|r:.hidden=h", "G|status:Report r\\xE9sum\\xE9.TXT=1|status:kept as \"DIFF(2).TXT\"=1|status:begins with a dot=1|status: 3 Reports=1|ls:~/reports=.hidden", nullptr, "", nullptr, "DIFF(2).TXT=newer|DIFF.TXT=older|SAME.TXT=same|r\\xE9sum\\xE9.TXT=bytes"},
};
// clang-format on

ZV_BOTH_SERVERS_ROWS(Interop, SameResultOnBothServers, kRows);

}  // namespace
}  // namespace zv::test
