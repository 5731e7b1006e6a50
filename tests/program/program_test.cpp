// The built program as a user runs it, with its own times; stopped if it does not end.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <optional>

#include "support/test_server.h"

namespace zv::test {
namespace {

struct ProgramRun {
    bool ended;
    int exitCode;
    QString err;
};

ProgramRun runProgram(const QString& root, const QStringList& args, int limitMs) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "ZUDUVOR_WORK_ROOT"}) env.remove(name);
    p.setProcessEnvironment(env);
    p.start(ZV_ZUDUVOR_BINARY, QStringList{"--work-root", root} + args);
    const bool ended = p.waitForFinished(limitMs);
    if (!ended) p.kill();
    p.waitForFinished();
    return {ended, p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
}

QStringList wholeSetup(const QString& dir) {
    return {"UserPath" + dir + "/", "UserFile*.txt",  "FileType83P",
            "SoftTypeDOCUTRAC",     "SiteID  k9site", "PassWordSecret-Pass1",
            "RptPath " + dir + "/"};
}

void writeSetup(const QString& root, const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) bytes += line.leftJustified(50).toUtf8() + "\r\n";
    QFile f(root + "/setup.prm");
    ASSERT_TRUE(QDir().mkpath(root) && f.open(QIODevice::WriteOnly) &&
                f.write(bytes) == bytes.size());
}

// --screenshot ends in every start state: start-up's message is told, not waited for.
TEST(Screenshot, EndsInEveryStartState) {
    QTemporaryDir dir;
    const QString d = dir.path();
    ASSERT_TRUE(QFile(d + "/file").open(QIODevice::WriteOnly));
    const struct {
        QString root;
        std::optional<QStringList> setup;
        const char* told;
    } states[] = {{d + "/none", {}, "Setup File not Found"},
                  {d + "/unknown", QStringList{"Colour  blue"}, "Unknown Setup Parameter"},
                  {d + "/missing", wholeSetup(d).mid(0, 4), "Site ID not found"},
                  {d + "/whole", wholeSetup(d), ""},
                  {d + "/file/zod", {}, "could not be created"}};
    for (const auto& s : states) {
        if (s.setup) writeSetup(s.root, *s.setup);
        const QString png = d + "/" + s.root.section('/', -1) + ".png";
        const ProgramRun run = runProgram(s.root, {"--screenshot", png}, 20000);
        EXPECT_TRUE(run.ended && run.exitCode == 0 && QFile::exists(png)) << s.told;
        EXPECT_EQ(run.err.contains("zuduvor: "), *s.told != 0) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(s.told)) << run.err.toStdString();
    }
}

// Each read of a report answered with one byte every 3 s: never silent for the program's
// 10 s, so only its overall 60 s ends the fetch (this row takes a minute). The report
// fetched before stays fetched; the slow one stays on the server and leaves nothing here.
TEST(OverallDeadline, EndsATricklingFetch) {
    TestSftpServer server;
    ZV_START_TEST_SERVER(server);
    QTemporaryDir dir;
    writeSetup(dir.path() + "/zod", wholeSetup(dir.path()));
    for (const auto& [name, size] : {std::pair{"A1.TXT", 10}, {"B2.TXT", 2000}}) {
        QFile f(server.account().reportsDir() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(QByteArray(size, 'r')) == size);
    }
    server.shortReadOn("reports/B2.TXT", 1);
    server.delayOn("read", "reports/B2.TXT", 3);
    const ProgramRun run = runProgram(dir.path() + "/zod",
                                      {"--sftp-host", server.host(), "--sftp-port",
                                       QString::number(server.port()), "get-reports"},
                                      150000);
    ASSERT_TRUE(run.ended) << "still fetching after 150 s";
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("did not end within 60 seconds")) << run.err.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList({"*.TXT"}), QStringList{"A1.TXT"});
    EXPECT_EQ(QDir(server.account().reportsDir()).entryList(QDir::Files), QStringList{"B2.TXT"});
}

}  // namespace
}  // namespace zv::test
