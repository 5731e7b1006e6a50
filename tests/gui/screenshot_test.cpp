// `zuduvor --screenshot FILE` ends by itself in every start state: start-up's messages are
// drawn into the picture and told on standard error, never waited for.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "support/program_run.h"

namespace zv::test {
namespace {

struct StartCase {
    const char* name;
    QStringList (*setup)(const QString& dir);  // the lines of setup.prm; none: no file
    const char* told;                          // on standard error; empty: nothing
};

const StartCase kStartCases[] = {
    {"NoSetupFile", nullptr, "Setup File not Found. Please do the Setup."},
    {"UnknownKey", [](const QString&) { return QStringList{"Colour  blue"}; },
     "Unknown Setup Parameter. Please Redo the Setup."},
    {"MissingValue", [](const QString& dir) { return completeSetup(dir, dir).mid(0, 4); },
     "Site ID not found, Setup Required."},
    {"Complete", [](const QString& dir) { return completeSetup(dir, dir); }, ""},
    {"WorkRootUnusable", nullptr, "could not be created"},  // the work root under a file
};

class Screenshot : public ::testing::TestWithParam<StartCase> {};

TEST_P(Screenshot, EndsWithAPicture) {
    const StartCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString root = dir.path() + "/zod";
    if (c.setup) writeSetupLines(root, c.setup(dir.path()));
    if (QString(c.name) == "WorkRootUnusable") {
        ASSERT_TRUE(QFile(dir.path() + "/file").open(QIODevice::WriteOnly));
        root = dir.path() + "/file/zod";
    }
    const QString picture = dir.path() + "/window.png";
    const ProgramRun run =
        runProgram({"--work-root", root, "--screenshot", picture}, dir.path(), 20000);
    ASSERT_TRUE(run.ended) << "still running after 20 s";
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    QFile png(picture);
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    EXPECT_EQ(png.read(4), QByteArray("\x89PNG"));
    if (*c.told)
        EXPECT_TRUE(run.err.contains(c.told)) << run.err.toStdString();
    else
        EXPECT_FALSE(run.err.contains("zuduvor:")) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(StartStates, Screenshot, ::testing::ValuesIn(kStartCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zv::test
