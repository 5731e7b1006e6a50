// The ledger as an earlier version left it (files without their claims, a report kept but
// never matched), the question "was this sent before?" asked of it, and the writes kept
// while it could not take them.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QJsonObject>
#include <QTemporaryDir>

#include "base/workstation_rules.h"
#include "ledger/ledger.h"
#include "ledger/ledger_pending.h"
#include "support/steps.h"
#include "support/x12_samples.h"

namespace zv::test {
namespace {

void execute(const QString& ledger, const QByteArray& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(ledger).constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
}

const QByteArray kRejectsPcn2 = interchange(group(
    "277",
    {"HL*1**20*1", "NM1*AY*2*ZOD", "HL*4*3*PT", "TRN*2*PCN-1", "STC*A2:20*20260512*WQ", "HL*5*3*PT",
     "TRN*2*PCN-2", "STC*A7:21*20260512*U", "HL*6*3*PT", "TRN*2*PCN-3", "STC*A1:19*20260512*WQ"}));

TEST_F(ServerTest, AnEarlierVersionsLedgerIsReadClaimByClaimAndItsReportsMatched) {
    startStation();
    play({{claim, "a.clm", claimFile()}, SendClaims, {claim, "b.clm", sized(3000)}, SendClaims});
    const QString ledger = workRoot() + "ledger.db";
    // As an earlier version kept it: no claims, R5.277 recorded in the report folder but
    // never matched; the second file's backup gone since.
    writeBytes(reportFolder() + "R5.277", kRejectsPcn2);
    execute(ledger,
            "DELETE FROM claims; UPDATE claim_files SET claims_read = 0, summary = '', "
            "interchange_time = ''; INSERT INTO reports(name, size, sha256, fetched_at, kind, "
            "says, matched) VALUES('R5.277', 1, 'x', '2026-12-01T10:00:00.000Z', '277CA', '', 0)");
    ASSERT_TRUE(QFile::remove(backupDir() + claimName(2)));
    ASSERT_EQ(start(), StartState::Complete);  // this version started on it
    view.status.clear();
    z().GetReports_Click();
    z().GetReports_Click();
    const QStringList told = view.status.filter(claimName(1) + ": 2 claims accepted, 1 REJECTED");
    EXPECT_EQ(told.size(), 1) << view.status.join('|');
    EXPECT_TRUE(view.status.filter(claimName(2)).isEmpty()) << view.status.join('|');

    auto opened = Ledger::open(ledger);
    ASSERT_TRUE(opened.ok()) << opened.reason();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    EXPECT_EQ(opened->ledger->fileClaims(claimName(1), now)->size(), 3u);
    EXPECT_TRUE(opened->ledger->fileClaims(claimName(2), now)->empty());
    // Read again from its backup: the interchange's date and time as well.
    x12::ClaimFileFacts facts = *x12::readClaimFile(claimFile());
    EXPECT_TRUE(opened->ledger->priorSend("other", facts)->has_value());
    const auto attention = runConsole({"history", "--attention", "--claims"}).out;
    EXPECT_TRUE(attention.startsWith(claimName(1)) && !attention.contains(claimName(2)) &&
                attention.contains(QRegularExpression(
                    "PCN-2 +20.00  REJECTED by ZOD: A7 invalid information \\(report R5.277\\)")))
        << attention;
}

// "Sent before?" asks only of the same claims: the same bytes, or the same sender,
// interchange number and interchange date and time.
struct Again {
    const char* name;
    QByteArray second;
    bool asked;
};

class SentBefore : public ServerTest, public ::testing::WithParamInterface<Again> {};

TEST_P(SentBefore, IsAskedOnlyOfTheSameClaims) {
    startStation();
    putAged(practice() + "a.clm", patterned(3000, 1));
    z().SendClaims_Click();
    ASSERT_TRUE(QFile::remove(backupDir() + claimName(1)));  // the ledger alone knows it
    putAged(practice() + "b.clm", GetParam().second);
    dialogs.shown.clear();
    dialogs.guardAnswers = {false};
    z().SendClaims_Click();
    EXPECT_EQ(allMessages().startsWith("b.clm is the same claim file as " + claimName(1) +
                                       ", sent on " + dateText(QDateTime::currentDateTime())),
              GetParam().asked)
        << allMessages();
    EXPECT_EQ(filesIn(account.claimsDir()).size(), GetParam().asked ? 1 : 2);
}

const Again kAgain[] = {
    {"SameInterchange", patterned(3001, 1), true},  // other bytes
    {"SameNumberAnotherDay", patterned(3000, 1).replace("260512*1003", "260513*1003"), false},
    {"SameNumberAnotherTime", patterned(3000, 1).replace("260512*1003", "260512*1004"), false},
};

INSTANTIATE_TEST_SUITE_P(Rows, SentBefore, ::testing::ValuesIn(kAgain), rowName);

TEST(PendingWrites, KeepTheirOrderAndGoWhenTaken) {
    QTemporaryDir dir;
    PendingWrites pending(dir.filePath("ledger.pending"));
    EXPECT_FALSE(pending.any());
    for (const char* op : {"numbered", "upload", "confirmed"})
        ASSERT_TRUE(pending.add({{"op", op}, {"name", "K90001.83P"}}).ok());
    // A line cut short (a power cut while it was written elsewhere) is passed over.
    QFile file(pending.path());
    ASSERT_TRUE(file.open(QIODevice::Append) && file.write("{\"op\":\"fail") > 0);
    file.close();
    std::vector<QJsonObject> kept = pending.read();
    QStringList ops;
    for (const QJsonObject& w : kept) ops << w["op"].toString();
    EXPECT_EQ(ops.join(','), "numbered,upload,confirmed");
    ASSERT_TRUE(pending.keepOnly({kept.begin() + 2, kept.end()}).ok());
    EXPECT_EQ(pending.read().size(), 1u);
    ASSERT_TRUE(pending.keepOnly({}).ok());
    EXPECT_FALSE(pending.any());
}

}  // namespace
}  // namespace zv::test
