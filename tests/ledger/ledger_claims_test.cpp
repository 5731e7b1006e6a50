// The ledger claim by claim without a server: a report's content counted once, what is
// told and left unseen, "sent before" by content or by the whole interchange identity, and
// the claim view's lines and records (the CSV formula guard kept).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "ledger/history.h"
#include "ledger/ledger.h"
#include "support/x12_samples.h"

namespace zv::test {
namespace {

class OneSentFile : public ::testing::Test {
protected:
    void SetUp() override {
        auto opened = Ledger::open(dir.filePath("ledger.db"));
        ASSERT_TRUE(opened.ok()) << opened.reason().toStdString();
        ledger = std::move(opened.value().ledger);
        const QByteArray claim = claimFile();
        ASSERT_TRUE(ledger->numbered({"K90001.83P",
                                      1,
                                      claim.size(),
                                      "aa",
                                      {"a.clm"},
                                      *x12::readClaimFile(claim),
                                      *answers::readSentClaims(claim)}) &&
                    ledger->uploadStarted("K90001.83P", "zod", false, claim.size(), "aa") &&
                    ledger->confirmed("K90001.83P"));
    }
    Result<ReportMatched> record(const QByteArray& report, const char* sha) {
        const auto index = ledger->sentIndex();
        if (!index) return Result<ReportMatched>::failure(index.reason());
        return ledger->recordMatched({"R1.999", report.size(), sha, "999", ""}, std::nullopt,
                                     *answers::readAnswers(report), **index,
                                     QDateTime::currentDateTimeUtc());
    }

    QTemporaryDir dir;
    std::unique_ptr<Ledger> ledger;
};

QByteArray ack(const QByteArray& ik5) {
    return interchange(
        group("999", {"AK1*HC*41*005010X222A1", "AK2*837*0002", "IK5*" + ik5, "AK9*P*1*1*0"}));
}

TEST_F(OneSentFile, AReportsContentCountsOnceAndItsChangeWaitsUntilSeen) {
    const auto first = record(ack("R"), "s1");
    ASSERT_TRUE(first.ok()) << first.reason().toStdString();
    ASSERT_EQ(first->changes.size(), 1u);
    EXPECT_TRUE(first->changes[0].rejection);
    EXPECT_EQ(first->changes[0].notice,
              "ZOD rejected 1 claim of K90001.83P - open the program to see which");
    const auto again = record(ack("R"), "s1");  // the same bytes fetched again
    EXPECT_TRUE(again.ok() && !again->counted && again->changes.empty());
    // The same answer in another report changes no line: nothing to tell.
    const auto same = record(ack("R"), "s2");
    EXPECT_TRUE(same.ok() && same->counted && same->changes.empty());
    ASSERT_EQ(ledger->unseen()->size(), 1u);
    EXPECT_EQ(ledger->unseen()->front().unseen, 2);
    ASSERT_TRUE(ledger->markSeen({"K90001.83P"}).ok());
    EXPECT_TRUE(ledger->unseen()->empty());
    EXPECT_TRUE(ledger->history()->front().attention);
    EXPECT_EQ(ledger->history()->front().answerEvents, 4);  // a group and a set, twice
}

// A run stopped after a report's events were written but before it was matched: those
// events count for nothing, and the report's matching at the next run counts them once.
TEST_F(OneSentFile, EventsOfAReportNotYetMatchedCountOnlyWhenItIs) {
    ASSERT_TRUE(record(ack("R"), "s1").ok());
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(dir.filePath("ledger.db")).constData(), &raw),
              SQLITE_OK);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, sqlite3_close);
    ASSERT_EQ(sqlite3_exec(db.get(), "UPDATE reports SET matched = 0", nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(ledger->history()->front().answerEvents, 0);
    const auto unmatched = ledger->unmatchedReports();
    ASSERT_TRUE(unmatched.ok() && unmatched->size() == 1u);

    const auto index = ledger->sentIndex();
    const QByteArray report = ack("R");
    const auto again = ledger->recordMatched({"R1.999", report.size(), "s1", "999", ""},
                                             unmatched->front().id, *answers::readAnswers(report),
                                             **index, QDateTime::currentDateTimeUtc());
    ASSERT_TRUE(again.ok() && again->counted) << again.reason().toStdString();
    EXPECT_EQ(ledger->history()->front().answerEvents, 2);  // a group and a set, once
    EXPECT_TRUE(ledger->unmatchedReports()->empty());
}

TEST_F(OneSentFile, SentBeforeIsTheSameBytesOrTheWholeInterchangeIdentity) {
    x12::ClaimFileFacts facts = *x12::readClaimFile(claimFile());
    const auto asked = [&](const char* sha, const x12::ClaimFileFacts& f) {
        const auto prior = ledger->priorSend(sha, f);
        return prior.ok() && prior->has_value();
    };
    EXPECT_TRUE(asked("aa", x12::ClaimFileFacts{}));
    EXPECT_TRUE(asked("bb", facts));
    facts.interchangeTime = "260513 1003";  // another day, the same number
    EXPECT_FALSE(asked("bb", facts));
    facts.interchangeTime.clear();
    EXPECT_FALSE(asked("bb", facts));
}

TEST(ClaimView, LinesAndRecordsPerClaimWithTheFormulaGuard) {
    answers::ClaimVerdict rejected;
    rejected.state = answers::State::Rejected;
    rejected.by = "ZOD";
    rejected.code = "A7";
    rejected.reason = "invalid information";
    rejected.report = "R5.277";
    answers::ClaimVerdict paid;
    paid.state = answers::State::Paid;
    paid.by = "AETNA";
    paid.paidCents = 12000;
    paid.report = "R7.835";
    const std::vector<answers::FileClaim> claims = {{"=HYPERLINK(1)", 2000, rejected},
                                                    {"PCN-1", 15050, paid}};
    EXPECT_EQ(claimLines(claims).join('|').toStdString(),
              "    =HYPERLINK(1)               20.00  REJECTED by ZOD: A7 invalid information "
              "(report R5.277)|    PCN-1                      150.50  paid by AETNA, paid "
              "120.00 (report R7.835)");
    ClaimRecord file;
    file.name = "K90001.83P";
    EXPECT_EQ(claimsCsv({{file, claims}}).toStdString(),
              "Claim File,Sent,Patient Control Number,Charge,State,By,Reason,Paid,Report\r\n"
              "K90001.83P,,'=HYPERLINK(1),20.00,REJECTED,ZOD,A7 invalid information,,R5.277\r\n"
              "K90001.83P,,PCN-1,150.50,paid,AETNA,,120.00,R7.835\r\n");
}

}  // namespace
}  // namespace zv::test
