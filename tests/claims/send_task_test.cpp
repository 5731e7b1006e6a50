// Sending claims: what the user sees (status lines, messages, log) and what ends up on
// disk and on the server, for the cases the fault and interoperability suites leave out.
#include <gtest/gtest.h>

#include "support/station.h"

namespace zv::test {
namespace {

using SendTask = StationTest;

TEST_F(SendTask, NoClaimFileStillFetchesReportsAndLeavesTheNumberAlone) {
    writeBytes(account.reportsDir() + "R1.TXT", "report one");
    st.z().SendClaims_Click();
    const QString connecting = "Connecting to ZOD SFTPServer/K9SITE Server";
    EXPECT_EQ(st.view.status,
              (QStringList{"No Claim File Found at " + st.practice(), "Looking for Reports",
                           connecting, "Downloading Report R1.TXT", " 1 Reports Downloaded"}));
    EXPECT_EQ(st.dialogs.texts(), QStringList{"Click OK to View Reports"});
    EXPECT_EQ(st.seq(), "<missing>");
    EXPECT_EQ(readBytes(st.reportFolder() + "R1.TXT"), "report one");
    EXPECT_TRUE(st.view.isEnabled(Control::SendClaims));
    EXPECT_EQ(st.logActivities(),
              (QStringList{"Start DADEDIRUred", "SendClaims", "GetReports",
                           "GetReports-Call OpenSFTPServer", "GetReports-Call OpenSFTPServer"}));
}

TEST_F(SendTask, MissingSequenceFileAndLowerCaseTypeGiveNumberOneInUpperCase) {
    startStation("83p");
    st.putClaim("claim.clm", "ISA*00~");
    st.z().SendClaims_Click();
    EXPECT_EQ(namesIn(account.claimsDir()), QStringList{"K9SITE0001.83P"});
    EXPECT_EQ(st.seq(), "0001");
    EXPECT_TRUE(st.dialogs.shown.empty()) << st.allMessages().toStdString();
}

TEST_F(SendTask, LeftOverResendModeDoesNotTurnSendIntoAResend) {
    st.m.PickerMode.ResendMode = true;
    st.m.ClaimName = "K9SITE0005.83P";
    st.putClaim("a.clm", "new claim");
    st.z().SendClaims_Click();
    EXPECT_EQ(filesIn(account.claimsDir()),
              (QMap<QString, QByteArray>{{"K9SITE0001.83P", "new claim"}}));
    EXPECT_TRUE(st.view.status.contains("Sending File K9SITE0001.83P"));
    EXPECT_FALSE(st.m.PickerMode.ResendMode);
}

}  // namespace
}  // namespace zv::test
