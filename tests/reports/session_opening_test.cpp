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

TEST_F(SessionOpening, ChangedHostKeyIsRefusedBeforeThePasswordIsSent) {
    s->z->OpenSFTPServer();
    ASSERT_TRUE(s->z->SessionOpen) << s->dialogs.texts().join(" | ").toStdString();
    const auto attempts = [&] { return server.logText().count("auth user="); };
    const int before = attempts();
    ASSERT_GE(before, 1);

    ASSERT_TRUE(server.changeHostKey());
    s->z->OpenSFTPServer();
    EXPECT_FALSE(s->z->SessionOpen);
    ASSERT_EQ(s->dialogs.shown.size(), 1u);
    EXPECT_TRUE(failureShown(s->dialogs, "SFTP Open Failure. Wait 5 minutes and try once more."));
    EXPECT_EQ(attempts(), before);
}

TEST_F(SessionOpening, ThePasswordNeverReachesTheLogOrTheScreen) {
    s->z->GetReports_Click();
    rebuild({.password = "Wrong-Pass9"});
    s->z->GetReports_Click();
    const QByteArray log = Scenario::bytesOf(s->workRoot() + "ZUDUVOR.LOG");
    EXPECT_FALSE(log.contains("Wrong-Pass9"));
    EXPECT_FALSE(s->dialogs.texts().join("\n").contains("Wrong-Pass9"));
    EXPECT_FALSE(s->view.status.join("\n").contains("Wrong-Pass9"));
}

}  // namespace
}  // namespace zv::test
