// Replays every kept fuzz input through the same checks the fuzz targets make, so an
// input that once found a fault keeps guarding against it in the normal build.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <functional>

#include "../../fuzz/fuzz_checks.h"

namespace zv {
namespace {

void replayCorpus(const char* target, const std::function<QString(const QByteArray&)>& check) {
    const QDir dir(QStringLiteral(ZV_SOURCE_DIR "/fuzz/corpus/") + QLatin1String(target));
    const QStringList files = dir.entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty()) << "no kept inputs in " << dir.path().toStdString();
    for (const QString& name : files) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        const QString problem = check(f.readAll());
        EXPECT_TRUE(problem.isEmpty())
            << target << "/" << name.toStdString() << ": " << problem.toStdString();
    }
}

TEST(FuzzCorpus, SetupReader) { replayCorpus("fuzz_setup_reader", fuzz::checkSetupBytes); }
TEST(FuzzCorpus, SequenceParse) { replayCorpus("fuzz_sequence_parse", fuzz::checkSequenceRecord); }
TEST(FuzzCorpus, Mask) { replayCorpus("fuzz_mask", fuzz::checkMask); }
TEST(FuzzCorpus, Splitter) { replayCorpus("fuzz_splitter", fuzz::checkSplitter); }

}  // namespace
}  // namespace zv
