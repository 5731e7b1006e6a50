// Every kept fuzz input replayed through its target's own checks in the normal build (they
// also hold the setup writer, the sequence record and the mask rules against second
// implementations).
#include <gtest/gtest.h>

#include <QDir>

#include "../../fuzz/fuzz_checks.h"
#include "support/files.h"

using namespace zv;

TEST(Rules, EveryKeptFuzzInputPassesItsTargetsCheck) {
    // clang-format off
    const std::pair<const char*, QString (*)(const QByteArray&)> targets[] = {
        {"fuzz_setup_reader", fuzz::checkSetupBytes}, {"fuzz_sequence_parse", fuzz::checkSequenceRecord},
        {"fuzz_mask", fuzz::checkMask},               {"fuzz_splitter", fuzz::checkSplitter},
        {"fuzz_x12_reader", fuzz::checkX12},
        {"fuzz_sftp_reply", fuzz::checkSftpReply}};
    // clang-format on
    for (const auto& [target, check] : targets) {
        const QDir dir(ZV_SOURCE_DIR "/fuzz/corpus/" + QString(target));
        ASSERT_FALSE(dir.isEmpty()) << target;
        for (const QString& name : dir.entryList(QDir::Files))
            EXPECT_EQ(check(test::readBytes(dir.filePath(name))), "") << name.toStdString();
    }
}
