// The claim ledger through the test server: a ledger that cannot be written never stops a
// send and loses nothing; the answers are matched claim by claim, recorded and told once in
// one line per file, even to a person who was not watching when they came.
#include "ledger/ledger.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDeadlineTimer>

#include "base/workstation_rules.h"
#include "ledger/history.h"
#include "ledger/ledger_pending.h"
#include "support/steps.h"
#include "support/x12_samples.h"

namespace zv::test {
namespace {

QByteArray ack999(const QByteArray& gs06, const QByteArray& ik5a, const QByteArray& ik5b,
                  const QByteArray& ak9) {
    return interchange(
        group("999", {"AK1*HC*" + gs06 + "*005010X222A1", "AK2*837*0001", "IK5*" + ik5a,
                      "AK2*837*0002", "IK5*" + ik5b, "AK9*" + ak9 + "*2*2*1"}));
}

QByteArray status277(const char* pcn2) {
    return interchange(group(
        "277", {"HL*1**20*1", "NM1*AY*2*ZOD", "HL*4*3*PT", "TRN*2*PCN-1", "STC*A2:20*20260512*WQ",
                "HL*5*3*PT", "TRN*2*PCN-2", QByteArray("STC*") + pcn2 + ":21*20260512*U",
                "HL*6*3*PT", "TRN*2*PCN-3", "STC*A1:19*20260512*WQ"}));
}

// A payer's remittance: PCN-1 paid in part, PCN-2 denied.
const QByteArray k835 = interchange(
    group("835", {"BPR*I*120*C*CHK************20261220", "TRN*1*123456*1512345678", "N1*PR*AETNA",
                  "CLP*PCN-1*1*150.5*120*30.5**PAYER-1", "CLP*PCN-2*4*20*0*0**PAYER-2"}));

// Sets the time the only claim file was sent, as if it had been `days` ago.
void sentDaysAgo(const QString& ledger, int days) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(ledger).constData(), &db), SQLITE_OK);
    const QByteArray sql =
        "UPDATE claim_files SET confirmed_at = '" +
        QDateTime::currentDateTimeUtc().addDays(-days).toString(Qt::ISODateWithMs).toLatin1() + "'";
    EXPECT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

struct Row {
    const char* name;
    QByteArray report;  // put on the server as `file`; empty: none
    const char* file;
    const char* line;        // the status line told, "$" the claim file; "" none
    const char* state;       // the file's state in the history CSV
    bool backdated = false;  // sent three days before the reports are fetched
};

class Answers : public ServerTest, public ::testing::WithParamInterface<Row> {};

TEST_P(Answers, AreMatchedRecordedAndToldOnce) {
    const Row& row = GetParam();
    startStation();
    putAged(practice() + "a.clm", claimFile());
    z().SendClaims_Click();
    const QString name = claimName(1);
    ASSERT_TRUE(QFileInfo::exists(account.claimsDir() + name)) << allMessages();
    if (row.backdated) sentDaysAgo(workRoot() + "ledger.db", 3);
    if (!row.report.isEmpty()) writeBytes(account.reportsDir() + row.file, row.report);
    view.status.clear();
    z().GetReports_Click();
    QString expected = QString(row.line).replace('$', name);
    if (row.backdated)
        expected =
            expected.arg(dateText(QDateTime::currentDateTimeUtc().addDays(-3).toLocalTime()));
    const QStringList told = view.status.filter(name);
    EXPECT_EQ(told.join('|').toStdString(), expected.toStdString()) << view.status.join('|');
    // The same report fetched again (its removal failed, say) is not counted twice.
    if (!row.report.isEmpty()) writeBytes(account.reportsDir() + row.file, row.report);
    z().GetReports_Click();
    EXPECT_EQ(view.status.filter(name).size(), told.size()) << view.status.join('|');
    EXPECT_TRUE(dialogs.texts().filter("REJECTED").isEmpty()) << allMessages();

    // The proof of submission a practice keeps: one record per file, and per claim.
    const ConsoleRun csv = runConsole({"history", "--csv"});
    const QStringList records = csv.out.split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(records.size(), 2) << csv.out;
    EXPECT_TRUE(records[1].startsWith(name + ",1,") && records[1].contains(",3,170.75,") &&
                records[1].contains(row.state))
        << records[1];
    const QStringList perClaim =
        runConsole({"history", "--claims", "--csv"}).out.split("\r\n", Qt::SkipEmptyParts);
    EXPECT_EQ(perClaim.size(), 4) << perClaim.join('|');
}

const QByteArray kTa1 = interchange({"TA1*000000905*260512*1004*A*000"}, 0);
const QByteArray kTa1Other = interchange({"TA1*000000777*260512*1004*R*022"}, 0);
// clang-format off
const Row kRows[] = {
    {"Ta1Accepted", kTa1, "R1.TA1", "$: accepted by ZOD", "accepted by ZOD"},
    {"AckAcceptedWithErrors", ack999("41", "E", "A", "E"), "R2.999", "$: accepted by ZOD", "accepted by ZOD"},
    {"AckSetRejected", ack999("41", "A", "R", "P"), "R3.999", "$: 2 claims accepted, 1 REJECTED by ZOD (patient control number PCN-3: IK5 R transaction set rejected) - see report R3.999", "2 claims accepted, 1 REJECTED by ZOD (patient control number PCN-3: IK5 R transaction set rejected) - see report R3.999"},
    {"AckRejected", ack999("41", "R", "R", "R"), "R4.999", "$: 3 claims REJECTED by ZOD (patient control numbers PCN-1, PCN-2, PCN-3: IK5 R transaction set rejected) - see report R4.999", ""},
    {"OneClaimRejected", status277("A7"), "R5.277", "$: 2 claims accepted, 1 REJECTED by ZOD (patient control number PCN-2: A7 invalid information) - see report R5.277", ""},
    {"ClaimsAllAccepted", status277("A1"), "R6.277", "$: accepted by ZOD", "accepted by ZOD"},
    {"PaidAndDenied", k835, "R7.835", "$: paid 120.00 of 170.75 (check 123456, 12-20-2026); 1 claim denied (PCN-2), 1 waiting for an answer", ""},
    // Answers to something we never sent, and a report that is not X12, change nothing.
    {"AckOfAnotherGroup", ack999("77", "R", "R", "R"), "R8.999", "", "sent"},
    {"Ta1OfAnotherInterchange", kTa1Other, "R9.TA1", "", "sent"},
    {"NotX12", "Monthly statement\r\n", "R10.TXT", "", "sent"},
    {"NoAnswerAfterTwoDays", {}, "", "$ sent %1: no answer from ZOD yet. Call ZOD.", "sent", true},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, Answers, ::testing::ValuesIn(kRows), rowName);

// Nobody watching (the report timer): a rejection is kept unseen with a desktop notice; the
// next person sees it once, in the status lines and one message.
TEST_F(ServerTest, ARejectionNobodySawIsShownOnceToTheNextPerson) {
    startStation();
    putAged(practice() + "a.clm", claimFile());
    z().SendClaims_Click();
    writeBytes(account.reportsDir() + "R5.277", status277("A7"));
    z().setAttended(false);
    z().GetReports_Click();
    const QString name = claimName(1);
    EXPECT_EQ(z().takeNotices(),
              QStringList{"ZOD rejected 1 claim of " + name + " - open the program to see which"});
    EXPECT_TRUE(z().takeNotices().isEmpty());
    view.status.clear();
    z().setAttended(true);
    z().tellUnseen();  // the window's start
    EXPECT_EQ(view.status.filter(name).size(), 1) << view.status.join('|');
    const QStringList told = dialogs.texts().filter("REJECTED");
    ASSERT_EQ(told.size(), 1) << allMessages();
    EXPECT_TRUE(told[0].contains(name + ": 2 claims accepted, 1 REJECTED by ZOD")) << told[0];
    z().tellUnseen();
    z().GetReports_Click();
    EXPECT_EQ(view.status.filter(name).size(), 1) << view.status.join('|');
    EXPECT_EQ(dialogs.texts().filter("REJECTED").size(), 1) << allMessages();
}

// Killed after a report was kept and matched, before it left the server or anything was
// told: the next person is told, and the report fetched again is not counted twice.
TEST_F(ServerTest, AReportKeptBeforeAKillIsToldOnceAndCountedOnce) {
    startStation();
    putAged(practice() + "a.clm", claimFile());
    z().SendClaims_Click();
    writeBytes(account.reportsDir() + "R5.277", status277("A7"));
    server.delayOn("remove", "reports/R5.277*", 30);
    auto first = startConsole({"get-reports"});
    for (QDeadlineTimer end(20000); !server.logText().contains("remove reports/R5.277");)
        ASSERT_FALSE(end.hasExpired()) << "the run never removed the report";
    first->kill();
    ASSERT_TRUE(first->waitForFinished(10000));
    server.clearFaults();
    view.status.clear();
    z().GetReports_Click();
    const QStringList told = view.status.filter(claimName(1) + ": 2 claims accepted, 1 REJECTED");
    EXPECT_EQ(told.size(), 1) << view.status.join('|');
    EXPECT_EQ(dialogs.texts().filter("REJECTED").size(), 1) << allMessages();
    EXPECT_TRUE(filesIn(account.reportsDir()).isEmpty());
    auto opened = Ledger::open(workRoot() + "ledger.db");
    ASSERT_TRUE(opened.ok()) << opened.reason();
    const auto claims = opened->ledger->fileClaims(claimName(1), QDateTime::currentDateTimeUtc());
    ASSERT_TRUE(claims.ok() && claims->size() == 3);
    EXPECT_EQ(answers::stateText((*claims)[1].verdict.state), "REJECTED");
    EXPECT_EQ(opened->ledger->history()->front().answerEvents, 3);
}

// A kept write for a report that can no longer be read (a folder in its place) is left out
// with a line, and the writes behind it are not held back.
TEST_F(ServerTest, AnUnreadableReportHoldsNoKeptWriteBack) {
    ASSERT_TRUE(QDir().mkpath(reportFolder() + "R9.TXT"));
    PendingWrites pending(workRoot() + "ledger.pending");
    ASSERT_TRUE(pending
                    .add({{"op", "report"},
                          {"path", reportFolder() + "R9.TXT"},
                          {"name", "R9.TXT"},
                          {"at", "2026-12-01T10:00:00.000Z"}})
                    .ok());
    putAged(practice() + "a.clm", claimFile());
    startStation();
    z().SendClaims_Click();
    EXPECT_FALSE(QFileInfo::exists(workRoot() + "ledger.pending"));
    EXPECT_EQ(runConsole({"history", "--csv"}).out.count(",sent,"), 1);
}

// What is in the ledger's place before a send of two claim files.
enum class Before { Damaged, Folder, Newer, Locked };
struct Unusable {
    const char* name;
    Before before;
    const char* told;  // the one message about the history
    bool kept;         // the history goes on once the ledger can be written again
};

class UnusableLedger : public ServerTest, public ::testing::WithParamInterface<Unusable> {};

TEST_P(UnusableLedger, NeverStopsASendIsToldOnceAndLosesNothing) {
    const Unusable& row = GetParam();
    const QString path = workRoot() + "ledger.db";
    const QByteArray garbage(8192, 'x');
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> other(nullptr, sqlite3_close);
    if (row.before == Before::Damaged) writeBytes(path, garbage);
    if (row.before == Before::Folder) {
        ASSERT_TRUE(QDir().mkpath(path));
    }
    if (row.before == Before::Newer || row.before == Before::Locked) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        other.reset(db);
        const char* sql = row.before == Before::Newer
                              ? "PRAGMA user_version=99"
                              : "PRAGMA locking_mode=EXCLUSIVE; CREATE TABLE t(x); BEGIN EXCLUSIVE";
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    }
    startStation();
    play({{claim, "a.clm", sized(3000)}, {claim, "b.clm", sized(4000)}, SendClaims});
    EXPECT_EQ(filesIn(account.claimsDir()).size(), 2) << allMessages();
    EXPECT_EQ(dialogs.texts().size(), 1) << allMessages();
    EXPECT_TRUE(allMessages().contains(row.told)) << allMessages();
    other.reset();
    const QStringList aside = QDir(workRoot()).entryList({"ledger.db.damaged-*"});
    EXPECT_EQ(aside.size(), row.before == Before::Damaged ? 1 : 0);
    if (!aside.isEmpty()) {
        EXPECT_EQ(readBytes(workRoot() + aside.first()), garbage);
    }
    EXPECT_EQ(QFileInfo::exists(workRoot() + "ledger.pending"), row.before != Before::Damaged);
    // Nothing sent is missing from the proof of submission once the ledger can be written.
    const ConsoleRun csv = runConsole({"history", "--csv"});
    EXPECT_EQ(csv.out.count(",sent,"), row.kept ? 2 : 0) << csv.out.toStdString() << csv.err;
    EXPECT_EQ(QFileInfo::exists(workRoot() + "ledger.pending"), !row.kept);
}

const Unusable kUnusable[] = {
    {"Damaged", Before::Damaged, "ledger.db was damaged. It was kept as ledger.db.damaged-", true},
    {"AFolder", Before::Folder, "The claim history could not be written just now: ", false},
    {"FromANewerProgram", Before::Newer, "written by a newer version of this program", false},
    {"HeldByAnotherProgram", Before::Locked, "held the history file too long", true},
};

INSTANTIATE_TEST_SUITE_P(Rows, UnusableLedger, ::testing::ValuesIn(kUnusable), rowName);

}  // namespace
}  // namespace zv::test
