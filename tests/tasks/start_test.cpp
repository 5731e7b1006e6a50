// Start-up's end states as the user meets them, the log after Exit, and the web site.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "base/text_file.h"
#include "setup/setup_file.h"
#include "support/files.h"
#include "support/recorders.h"
#include "tasks/zuduvor.h"
#include "zuduvor_config.h"

using namespace zv;

struct Workstation {
    QTemporaryDir tmp;
    QString root = tmp.path() + "/zod/";
    bool made = QDir().mkpath(root);
    Module1 m;
    test::RecordingView view;
    test::RecordingDialogs dialogs;
    test::RecordingLauncher launcher;
    Zuduvor z{m, view, view, dialogs, launcher};
    QByteArray log() { return test::readBytes(root + "ZUDUVOR.LOG"); }
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
