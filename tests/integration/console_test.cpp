// The program run without a window, as a scheduled task or a script runs it: status lines
// on standard output, messages on standard error, the exit status, and never the password;
// a long transfer's progress line only on a terminal.
#include <gtest/gtest.h>

#include "support/station.h"

namespace zv::test {
namespace {

// clang-format off
const Scenario kRows[] = {
    {"Send", "83P|*.CLM", "p:a.clm=@300", "cli:send|exit:0|out:Sending File K9SITE0001.83P%0A", nullptr, "K9SITE0001.83P"},
    {"SendFailing", "83P|*.CLM", "p:a.clm=@300|fail:open=claims/*", "cli:send|exit:1|err:Upload File not Found.%0A", nullptr, ""},
    {"ReportsAnswerCancel", "83P|*.CLM", "r:R1=r", "cli:get-reports|exit:0|out:Downloading Report R1%0A 1 Reports Downloaded%0A|err:Click OK to View Reports", nullptr, "", nullptr, "R1=r"},
    {"ReportsYesOpensTheFolder", "83P|*.CLM", "r:R1=r", "cli:get-reports --yes|exit:0|out:/rpt/%0A", nullptr, "", nullptr, "R1=r"},
    {"ListWaiting", "83P|*.CLM", "w:A.83P=abc", "cli:list-waiting|exit:0|out:%0AA.83P   3%0A", nullptr, "A.83P"},
    {"ListBackups", "83P|*.CLM", "b:K9SITE0001.83P=AB~CD~", "cli:list-backups|exit:0|out:%0AK9SITE0001.83P   ", nullptr, ""},
    {"DeleteByName", "83P|*.CLM", "w:A.83P=abc", "cli:delete A.83P|exit:0|out:File A.83P Deleted.%0A", nullptr, ""},
    {"DeleteMissing", "83P|*.CLM", "", "cli:delete A.83P|exit:1|err:A.83P", nullptr, ""},
    {"ResendNeedsYes", "83P|*.CLM", "b:K9SITE0001.83P=AB~CD~", "cli:resend K9SITE0001.83P|exit:0|err:WARNING! Please check with ZOD before resending a file.", nullptr, ""},
    {"ResendWithYes", "83P|*.CLM", "b:K9SITE0001.83P=AB~CD~", "cli:resend K9SITE0001.83P --yes|exit:0|out:Resending File K9SITE0001.83P%0A", nullptr, "K9SITE0001.83P=AB~CD~"},
    {"ViewWritesClaimText", "83P|*.CLM", "b:K9SITE0001.83P=AB~CD~", "cli:view K9SITE0001.83P|exit:0|out:/zod/claim.txt%0A", nullptr, "", nullptr, "", "AB\r\nCD\r\n"},
    {"ProgressNeverInAPipe", "83P|*.CLM", "r:R1=@98304|slow:read=reports/*", "cli:get-reports|exit:0|noerr:%0D|noerr: left", nullptr, "", nullptr, "R1"},
    {"UsageError", "83P|*.CLM", "", "cli:sendd|exit:2|err:sendd", nullptr, ""},
};
// clang-format on

ZV_SCENARIO_ROWS(Console, ExitStatusAndBothStreams, kRows);

}  // namespace
}  // namespace zv::test
