// Sending claims against the real test server: what the user sees (status lines,
// messages, log) and what ends up on disk and on the server.
#include <gtest/gtest.h>

#include "support/scenario.h"

namespace zv::test {
namespace {

using SendTask = ScenarioTest;

QString connecting() { return QStringLiteral("Connecting to ZOD SFTPServer/K9SITE Server"); }

TEST_F(SendTask, NoClaimFileStillFetchesReportsAndLeavesTheNumberAlone) {
    s->putReport("R1.TXT", "report one");
    s->z->SendClaims_Click();
    EXPECT_EQ(s->view.status,
              (QStringList{"No Claim File Found at " + s->practiceDir(), "Looking for Reports",
                           connecting(), "Downloading Report R1.TXT", " 1 Reports Downloaded"}));
    EXPECT_EQ(s->dialogs.texts(), QStringList{"Click OK to View Reports"});
    EXPECT_EQ(s->seqfile(), "<missing>");
    EXPECT_EQ(Scenario::bytesOf(s->reportDir() + "R1.TXT"), "report one");
    EXPECT_TRUE(s->view.isEnabled(Control::SendClaims));
    EXPECT_EQ(s->logActivities(),
              (QStringList{"Start DADEDIRUred", "SendClaims", "GetReports",
                           "GetReports-Call OpenSFTPServer", "GetReports-Call OpenSFTPServer"}));
}

}  // namespace
}  // namespace zv::test
