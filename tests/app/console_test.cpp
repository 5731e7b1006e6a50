// The program run without a window, as a scheduled task or a script runs it: status
// lines on standard output, messages on standard error, and the exit status.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include "support/scenario.h"

namespace zv::test {
namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

struct Console : ScenarioTest {
    QStringList seen;  // every output, to look for the password in

    Outcome run(const QStringList& command) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", s->tmp.path());
        for (const char* name : {"ZUDUVOR_WORK_ROOT", "ZUDUVOR_SFTP_HOST", "ZUDUVOR_SFTP_PORT"})
            env.remove(name);
        p.setProcessEnvironment(env);
        p.start(ZV_ZUDUVOR_BINARY,
                QStringList{"--work-root", s->workRoot(), "--sftp-host", server.host(),
                            "--sftp-port", QString::number(server.port())} +
                    command);
        Outcome r;
        if (!p.waitForFinished(60000)) {
            ADD_FAILURE() << "zuduvor did not finish";
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        seen << r.out << r.err;
        return r;
    }
    void TearDown() override {
        seen << QString::fromLatin1(Scenario::bytesOf(s->workRoot() + "ZUDUVOR.LOG"));
        for (const QString& text : seen) EXPECT_FALSE(text.contains(server.password()));
    }
};

TEST_F(Console, SendPrintsEachStatusLineAndSucceeds) {
    s->dropClaim("a.txt", "ISA~");
    const Outcome r = run({"send"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.split('\n'),
              (QStringList{ReadyLine, "Wake up the SFTP Server!", "Wake up the SFTP Server",
                           "Connecting to ZOD SFTPServer/K9SITE Server",
                           "Sending File K9SITE0001.83P", ReadyLine, " 1 Claim Files Sent",
                           "Looking for Reports", "Connecting to ZOD SFTPServer/K9SITE Server",
                           "No Reports Found to Download", ReadyLine, ""}));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(s->serverBytes("claims/K9SITE0001.83P"), "ISA~");
    EXPECT_EQ(s->seqfile(), "0001");
}

TEST_F(Console, FailureGoesToStandardErrorAndFailsTheRun) {
    s->dropClaim("a.txt", "ISA~");
    server.failOn("open", "claims/*");
    const Outcome r = run({"send"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith("Upload File not Found.\n")) << r.err.toStdString();
    EXPECT_FALSE(r.out.contains("Upload File not Found"));

    // A wrong password fails too, and is not printed either.
    rebuild({.password = "Wrong-Pass9"});
    seen.clear();
    const Outcome bad = run({"get-reports"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.err.contains("SFTP Authentications Error. Call ZOD.")) << bad.err.toStdString();
    EXPECT_FALSE((bad.out + bad.err).contains("Wrong-Pass9"));
}

TEST_F(Console, ReportQuestionIsAnsweredCancelUnlessYes) {
    s->putReport("R1", "r");
    const Outcome r = run({"get-reports"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("Downloading Report R1\n 1 Reports Downloaded\n"));
    EXPECT_TRUE(r.err.contains("Click OK to View Reports"));
    EXPECT_FALSE(r.out.contains(s->reportDir() + "\n"));

    s->putReport("R2", "r");
    const Outcome yes = run({"get-reports", "--yes"});
    EXPECT_TRUE(yes.out.contains(s->reportDir() + "\n")) << yes.out.toStdString();
}

TEST_F(Console, ListingsPrintThePickerLines) {
    s->putServerClaim("A.83P", "abc");
    const Outcome waiting = run({"list-waiting"});
    EXPECT_EQ(waiting.exitCode, 0);
    EXPECT_TRUE(waiting.out.contains("\nA.83P   3\n")) << waiting.out.toStdString();

    QFile b(s->backupDir() + "K9SITE0001.83P");
    ASSERT_TRUE(b.open(QIODevice::WriteOnly));
    b.close();
    const Outcome backups = run({"list-backups"});
    EXPECT_EQ(backups.exitCode, 0);
    EXPECT_TRUE(backups.out.contains("\nK9SITE0001.83P   ")) << backups.out.toStdString();
}

TEST_F(Console, DeleteByName) {
    s->putServerClaim("A.83P", "a");
    s->putServerClaim("B.83P", "b");
    const Outcome r = run({"delete", "A.83P"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("File A.83P Deleted.\n"));
    EXPECT_EQ(s->serverFiles("claims"), QStringList{"B.83P"});

    const Outcome missing = run({"delete", "A.83P"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("A.83P")) << missing.err.toStdString();
    EXPECT_EQ(s->serverFiles("claims"), QStringList{"B.83P"});
}

TEST_F(Console, ResendNeedsYes) {
    QFile b(s->backupDir() + "K9SITE0001.83P");
    ASSERT_TRUE(b.open(QIODevice::WriteOnly));
    b.write("the claim");
    b.close();
    const Outcome no = run({"resend", "K9SITE0001.83P"});
    EXPECT_TRUE(no.err.contains("WARNING! Please check with ZOD before resending a file."));
    EXPECT_EQ(s->serverFiles("claims"), QStringList{});

    const Outcome yes = run({"resend", "K9SITE0001.83P", "--yes"});
    EXPECT_EQ(yes.exitCode, 0) << yes.err.toStdString();
    EXPECT_TRUE(yes.out.contains("Resending File K9SITE0001.83P\n"));
    EXPECT_EQ(s->serverBytes("claims/K9SITE0001.83P"), "the claim");
}

TEST_F(Console, ViewWritesClaimTextAndPrintsItsPath) {
    QFile b(s->backupDir() + "K9SITE0001.83P");
    ASSERT_TRUE(b.open(QIODevice::WriteOnly));
    b.write("AB~CD~");
    b.close();
    const Outcome r = run({"view", "K9SITE0001.83P"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(s->workRoot() + "claim.txt\n")) << r.out.toStdString();
    EXPECT_EQ(Scenario::bytesOf(s->workRoot() + "claim.txt"), "AB\r\nCD\r\n");
}

TEST_F(Console, UsageErrorsAndHelp) {
    const Outcome bad = run({"sendd"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_FALSE(bad.err.isEmpty());
    EXPECT_EQ(run({"delete"}).exitCode, 2);
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"send", "get-reports", "list-waiting", "delete", "list-backups",
                             "resend", "view", "--yes"})
        EXPECT_TRUE(help.out.contains(word)) << word;
}

}  // namespace
}  // namespace zv::test
