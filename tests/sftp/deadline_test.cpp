// A server operation ends by its overall time whatever the server's pace, with the
// program's own times (10 s without an answer, 60 s for the operation): a server that
// answers every read of a report with one byte every 3 seconds is never silent long
// enough for the first, so only the second ends the fetch. The report fetched before it
// stays fetched; the slow one stays on the server, nothing of it in the report folder.
// This row takes about a minute: the overall time is never shorter than 60 s.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "support/program_run.h"
#include "support/test_server.h"

namespace zv::test {
namespace {

TEST(OverallDeadline, TricklingReportEndsOnTime) {
    TestSftpServer server;
    ZV_START_TEST_SERVER(server);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid() && QDir().mkpath(dir.path() + "/rpt"));
    writeSetupLines(dir.path() + "/zod", completeSetup(dir.path(), dir.path() + "/rpt"));
    const auto put = [&](const QString& name, const QByteArray& bytes) {
        QFile f(server.reportsDir() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    };
    put("A0001.TXT", "first\r\n");
    put("B0002.TXT", QByteArray(2000, 'b'));
    server.shortReadOn("reports/B0002.TXT", 1);
    server.delayOn("read", "reports/B0002.TXT", 3);

    const ProgramRun run =
        runProgram({"--work-root", dir.path() + "/zod", "--sftp-host", server.host(), "--sftp-port",
                    QString::number(server.port()), "get-reports"},
                   dir.path(), 150000);
    RecordProperty("seconds", std::to_string(run.seconds));
    ASSERT_TRUE(run.ended) << "still fetching after 150 s";
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err.toStdString(),
                ::testing::HasSubstr("the operation did not end within 60 seconds"));
    EXPECT_EQ(QDir(dir.path() + "/rpt").entryList(QDir::Files), QStringList{"A0001.TXT"});
    EXPECT_EQ(QDir(server.reportsDir()).entryList(QDir::Files), QStringList{"B0002.TXT"});
}

}  // namespace
}  // namespace zv::test
