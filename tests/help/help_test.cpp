#include <gtest/gtest.h>

#include <QRegularExpression>

#include "app/zuduvor.h"
#include "help/help_texts.h"
#include "support/recorders.h"
#include "zuduvor_config.h"

namespace zv {
namespace {

TEST(SetupHelpText, TopicsAreSeparatedByOneEmptyLineAndNothingTrails) {
    const QString claim = claimSetupHelpText();
    EXPECT_FALSE(claim.endsWith(u'\n'));
    EXPECT_FALSE(claim.endsWith(u'\r'));
    EXPECT_FALSE(claim.contains(QStringLiteral("\r\n\r\n\r\n")));
    EXPECT_FALSE(claim.contains(QRegularExpression(QStringLiteral("[^\r]\n|\r[^\n]"))));
    EXPECT_TRUE(claim.startsWith(QStringLiteral(
        "Select Path to Claim File.\r\nSelect the Drive and Directory your software will use "
        "when creating the claim file you upload to ZOD.\r\n\r\nFile Path.\r\n")));
    EXPECT_TRUE(claim.endsWith(
        QStringLiteral("ZOD.\r\n\r\nPassword.\r\nEnter the Password you were assigned by ZOD.")));
    // 14 rows, 7 topics: 13 line breaks of which 6 start a new topic.
    EXPECT_EQ(claim.count(QStringLiteral("\r\n")), 13 + 6);
    EXPECT_EQ(claim.split(QStringLiteral("\r\n\r\n")).size(), 7);

    EXPECT_EQ(reportSetupHelpText(),
              QStringLiteral("Select Path to Report Folder.\r\n"
                             "Select the Drive and Directory to where you want your reports "
                             "downloaded.\r\n\r\n"
                             "Directory Path.\r\n"
                             "The Drive and Directory selected above will be displayed here."));
}

struct MainWindowFixture : ::testing::Test {
    Module1 m;
    test::RecordingView view;
    test::RecordingDialogs dialogs;
    test::RecordingLauncher launcher;
    Zuduvor z{m, view, view, dialogs, launcher};
};

TEST_F(MainWindowFixture, HelpReplacesTheStatusListWithTheHelpLines) {
    view.status << QStringLiteral("something from an earlier task");
    z.HelpCommand_Click();
    z.HelpCommand_Click();

    ASSERT_EQ(view.status.size(), 32);
    EXPECT_TRUE(view.statusFocused);
    EXPECT_EQ(view.status.first(), QStringLiteral("Site ID."));
    EXPECT_EQ(view.status.last(), QStringLiteral("Exit from the system."));
    EXPECT_EQ(view.status.at(16), QStringLiteral("Resend Claims to ZEQs."));
    // Empty entries separate the topics.
    const QList<int> emptyAt{2, 5, 9, 12, 15, 18, 22, 25, 29};
    for (int i = 0; i < view.status.size(); ++i)
        EXPECT_EQ(view.status.at(i).isEmpty(), emptyAt.contains(i)) << i;
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(MainWindowFixture, WebSiteOpensTheClearinghouseAddressOrSaysWhyNot) {
    z.ZODWebSite_Click();
    EXPECT_EQ(launcher.opened, QStringList{QString::fromUtf8(config::kWebSite)});
    EXPECT_TRUE(dialogs.shown.empty());

    launcher.succeed = false;
    z.ZODWebSite_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, MessageKind::Failure);
    EXPECT_TRUE(dialogs.shown[0].text.contains(QString::fromUtf8(config::kWebSite)));
    EXPECT_TRUE(dialogs.shown[0].text.contains(QStringLiteral("the opener could not be started")));

    launcher.exists = false;
    dialogs.clear();
    z.ZODWebSite_Click();
    EXPECT_EQ(launcher.opened.size(), 1);
    EXPECT_EQ(dialogs.texts(), QStringList{QStringLiteral("Path to Internet Explorer not Found")});
}

}  // namespace
}  // namespace zv
