// Servers that lie or are not who they were: names that lead elsewhere, huge listings,
// a changed host key, weak algorithms only, listeners that are no SSH server at all.
// Nothing may be written outside the report folder, no password goes to a server that is
// not the known one, every refusal says why, and no claim or report is lost.
#include <gtest/gtest.h>

#include "support/station.h"

namespace zv::test {
namespace {

constexpr const char* kOpenFailure = "SFTP Open Failure. Wait 5 minutes and try once more.";

// clang-format off
const Scenario kRows[] = {
    // Peers the program must not get past: refused before any file moves, and the
    // password goes to none but the known server.
    {"SilentListener", "83P|*.CLM|listener:", "r:R1.TXT=report|p:a.clm=claim", "G|S", kOpenFailure, ""},
    {"HttpListener", "83P|*.CLM|listener:HTTP/1.1 400 Bad Request%0D%0A%0D%0A", "r:R1.TXT=report|p:a.clm=claim", "G|S", kOpenFailure, ""},
    {"BannerOnlyListener", "83P|*.CLM|listener:SSH-2.0-OpenSSH_9.2%0D%0A", "r:R1.TXT=report|p:a.clm=claim", "G|S", kOpenFailure, ""},
    {"WeakAlgorithmsOnly", "83P|*.CLM|weak", "r:R1.TXT=report|p:a.clm=claim", "G|S|nolog:auth user=", kOpenFailure, ""},
    {"ServerGone", "83P|*.CLM", "r:R1.TXT=report|p:a.clm=claim", "stop|G|S", kOpenFailure, ""},
    {"SftpRefused", "83P|*.CLM", "r:R1.TXT=report|p:a.clm=claim", "nosftp|G|S", "SFTP Initialization Failure.Call ZOD.", ""},
    {"WrongPassword", "83P|*.CLM|password:Wr0ng-Guess-93", "r:R1.TXT=report|p:a.clm=claim", "G|S|log:password=Wr0ng-Guess-93", "SFTP Authentications Error. Call ZOD.", ""},
    // Nothing is written outside the report folder, and each name is refused in words;
    // "." and ".." are not files at all. 250 bytes is a legal name here, 300 is not.
    {"NamesLeadingOutOfTheReportFolder", "83P|*.CLM", "r:R1.TXT=r1|r:r{246}.TXT=long|list:reports=../x,/etc/passwd,a/b,a\\b,ctl\x01x,line\nbreak,..,.,z{300}|k:x|k:rpt/a/b|k:/etc/passwd", "G|status:not a plain file name=6|status:too long=1|nolog:remove reports/..", nullptr, "", nullptr, "R1.TXT=r1|r{246}.TXT=long"},
    {"TenThousandEntries", "83P|*.CLM", "many:claims=K9SITE%1.83P|many:reports=../r%1", "D|lines:10000|X|G|status:Skipped Report=10000", nullptr, ""},
    {"WaitingClaimWithAPathForANameIsNotDeleted", "83P|*.CLM", "k:~/victim=keep me|list:claims=../victim", "D|@../victim", "not a plain file name", ""},
    {"LyingServerKeepsHalfAClaim", "83P|*.CLM", "p:x.clm=@200000|shortwrite", "S", "File Upload Failure. Try once more.", ""},
    // Short replies are legal: the rest is asked for. The link is neither followed nor
    // replaced: the report goes beside it.
    {"ShortReadsAndALinkInTheReportFolder", "83P|*.CLM", "r:S.TXT=@300001|k:outside.txt=outside|ln:rpt/S.TXT>outside.txt|k:rpt/S.TXT|shortread", "G", nullptr, "", nullptr, "S(2).TXT|S.TXT"},
    {"NameListedTwiceIsFetchedOnce", "83P|*.CLM", "r:R1.TXT=r1|r:R2.TXT=r2|twice:reports/R1.TXT", "G|status:Report R1.TXT=1|status: 2 Reports Downloaded=1", nullptr, "", nullptr, "R1.TXT|R2.TXT"},
    // "R1.TXT" and "r1.txt" are one name there: the second is kept beside, unless the same.
    {"FolderThatIgnoresLetterCase", "83P|*.CLM|FAT:rpt", "r:R1.TXT=upper|r:r1.txt=lower|r:S.TXT=same|r:s.txt=same", "G|status:kept as=1|ls:~/reports=", nullptr, "", nullptr, "R1.TXT=upper|S.TXT=same|r1(2).txt=lower"},
    // Reports and the copies of claims are as open as the umask allows, not as the source.
    {"FilesKeepToTheUmask", "83P|*.CLM", "p:x.clm=claim|r:R1.TXT=r1|umask:077", "S|mode:rpt/R1.TXT=600|mode:zod/claimsbu/$0001.83P=600", nullptr, "$0001.83P", "0001", "R1.TXT"},
    {"FailedDownloadKeepsTheOlderCopyAndNoPart", "83P|*.CLM", "r:R.TXT=@300000|l:R.TXT=old report|fail:read", "G", "Report Download Failure", "", nullptr, "R.TXT=old report"},
    // The first contact records the key; a restart with the same key is met again, a new
    // key is refused every time and gets no password.
    {"ChangedHostKeyGetsNoPassword", "83P|*.CLM", "w:A.83P=a", "G|!|D|lines:1|X|newkey|G|G|noauth", "password was not sent", "A.83P=a"},
    // A cut-off upload leaves no claim under its name; the next session takes it away and
    // the claim waits for a resend. A name taken unseen (the listing refused) stays.
    {"UploadCutMidWrite", "83P|*.CLM", "p:x.clm=@1880017|cutat:claims/*=425984", "S|ls:~/claims=.$0001.83P.part|clear|p:y.clm=later|S|ls:~/claims=$0002.83P|ok|R|@$0001.83P", "File Upload Failure", "$0001.83P|$0002.83P", "0002"},
    {"NameTakenUnseenIsNotReplaced", "83P|*.CLM", "k:~/claims/$0001.83P=other practice|p:a.clm=ours|fail:opendir=claims", "S|ls:zod/claimsbu=$0001.83P|ls:zod/claims=$0001.83P", "could not be given its name", "$0001.83P=other practice"},
    // Bounded in size and time, each ends in words with no report lost: a download stops
    // at the size the server gave and is fetched whole at the next run.
    {"EndlessListing", "83P|*.CLM", "r:R1.TXT=r1|endless:listing", "G", "more than 100,000 files in reports", ""},
    {"EndlessDownload", "83P|*.CLM", "r:R1.TXT=@100000|endless:read", "G|ls:rpt=|clear|G", "longer than the 100000 bytes", "", nullptr, "R1.TXT"},
    {"TricklingServer", "83P|*.CLM", "r:R1.TXT=r1|trickle:0.2,2500", "G", "answered too slowly", ""},
    // A damaged known_hosts refuses every server before the password and says how to put
    // it right; the first contact showed the recorded key's fingerprint.
    {"CutShortKnownHosts", "83P|*.CLM", "", "G|fp|kh:cut|G|noauth", "known_hosts is damaged", ""},
    {"BinaryKnownHosts", "83P|*.CLM", "", "G|kh:bin|G|noauth", "known_hosts is damaged", ""},
    {"FileHiddenOnceClosedWasStillTaken", "83P|*.CLM", "p:x.clm=claim|fail:stat", "S", nullptr, "K9SITE0001.83P=claim", "0001"},
};
// clang-format on

ZV_SCENARIO_ROWS(HostileServer, RefusedSafelyAndInWords, kRows);

}  // namespace
}  // namespace zv::test
