// Opening the server session, seen through a report run: each failing step's message,
// its status line, and what the server was told.
#include <gtest/gtest.h>

#include "support/scenario.h"

namespace zv::test {
namespace {

using SessionOpening = ScenarioTest;

const QString kConnecting = QStringLiteral("Connecting to ZOD SFTPServer/K9SITE Server");

TEST_F(SessionOpening, WrongPasswordAfterTheConnectingLine) {
    rebuild({.password = "Wrong-Pass9"});
    s->z->GetReports_Click();
    EXPECT_EQ(s->view.status, (QStringList{ReadyLine, kConnecting}));
    ASSERT_EQ(s->dialogs.shown.size(), 2u);
    EXPECT_TRUE(failureShown(s->dialogs, "SFTP Authentications Error. Call ZOD."));
    EXPECT_EQ(s->dialogs.texts()[1], "Unable to Open the SFTP Server. Try once more.");
    EXPECT_FALSE(s->z->SessionOpen);
    EXPECT_NE(s->m.LastResult, 1);
}

TEST_F(SessionOpening, UnreachablePortGivesNoStatusLine) {
    server.stop();
    s->z->OpenSFTPServer();
    EXPECT_EQ(s->view.status, QStringList{ReadyLine});
    ASSERT_EQ(s->dialogs.shown.size(), 1u);
    EXPECT_TRUE(failureShown(s->dialogs, "SFTP Open Failure. Wait 5 minutes and try once more."));
    EXPECT_FALSE(s->z->SessionOpen);
}

TEST_F(SessionOpening, RefusedSftpSubsystem) {
    server.refuseSftp(true);
    s->z->OpenSFTPServer();
    EXPECT_EQ(s->view.status, (QStringList{ReadyLine, kConnecting}));
    ASSERT_EQ(s->dialogs.shown.size(), 1u);
    EXPECT_TRUE(failureShown(s->dialogs, "SFTP Initialization Failure.Call ZOD."));
    EXPECT_FALSE(s->z->SessionOpen);
}

}  // namespace
}  // namespace zv::test
