// The claim ledger through the test server: a ledger that cannot be kept never stops a
// send; the clearinghouse's answers are matched with the file they speak of, recorded and
// told in one status line, and a report that answers nothing we sent changes nothing.
#include "ledger/ledger.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "base/workstation_rules.h"
#include "ledger/history.h"
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
    return interchange(
        group("277", {"HL*1**20*1", "HL*4*3*PT", "TRN*2*PCN-1", "STC*A2:20*20260512*WQ",
                      "HL*5*3*PT", "TRN*2*PCN-2", QByteArray("STC*") + pcn2 + ":21*20260512*U",
                      "HL*6*3*PT", "TRN*2*PCN-3", "STC*A1:19*20260512*WQ"}));
}

struct Row {
    const char* name;
    QByteArray report;  // put on the server as `file`; empty: none
    const char* file;
    const char* line;        // the status line told; "" none
    const char* state;       // in the ledger afterwards
    bool backdated = false;  // sent three days before the reports are fetched
};

class Answers : public ServerTest, public ::testing::WithParamInterface<Row> {};

TEST_P(Answers, AreMatchedRecordedAndTold) {
    const Row& row = GetParam();
    startStation();
    putAged(practice() + "a.clm", claimFile());
    z().SendClaims_Click();
    const QString name = claimName(1);
    ASSERT_TRUE(QFileInfo::exists(account.claimsDir() + name)) << allMessages();
    if (row.backdated) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(workRoot() + "ledger.db").constData(), &db),
                  SQLITE_OK);
        const QByteArray sql =
            "UPDATE claim_files SET confirmed_at = '" +
            QDateTime::currentDateTimeUtc().addDays(-3).toString(Qt::ISODateWithMs).toLatin1() +
            "'";
        EXPECT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    if (!row.report.isEmpty()) writeBytes(account.reportsDir() + row.file, row.report);
    view.status.clear();
    z().GetReports_Click();
    QString expected = QString(row.line).replace('$', name);
    if (row.backdated)
        expected =
            expected.arg(dateText(QDateTime::currentDateTimeUtc().addDays(-3).toLocalTime()));
    const QStringList told = view.status.filter(name);
    EXPECT_EQ(told.join('|'), expected) << view.status.join('|');
    z().GetReports_Click();  // told once
    EXPECT_TRUE(view.status.filter(name).size() == told.size()) << view.status.join('|');

    // The proof of submission a practice keeps: nothing but the CSV, one record per file.
    const ConsoleRun csv = runConsole({"history", "--csv"});
    const QStringList records = csv.out.split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(records.size(), 2) << csv.out;
    EXPECT_TRUE(records[1].startsWith(name + ",1,") &&
                records[1].contains(",3,170.75," + QString(row.state) + ","))
        << records[1];

    auto opened = Ledger::open(workRoot() + "ledger.db");
    ASSERT_TRUE(opened.ok()) << opened.reason();
    const auto history = opened->ledger->history();
    ASSERT_TRUE(history.ok() && history->size() == 1);
    const ClaimRecord& c = history->front();
    EXPECT_EQ(stateText(c.state), row.state);
    EXPECT_EQ(c.answeredBy, QString(*row.state == 's' ? "" : row.file));
    ASSERT_TRUE(c.facts.has_value());
    EXPECT_EQ(c.facts->claimCount, 3);
    EXPECT_EQ(chargesText(c.facts->totalChargeCents), "170.75");
}

const QByteArray kTa1 = interchange({"TA1*000000905*260512*1004*A*000"}, 0);
const QByteArray kTa1Other = interchange({"TA1*000000777*260512*1004*R*022"}, 0);
const Row kRows[] = {
    {"Ta1Accepted", kTa1, "R1.TA1", "$: accepted by ZOD", "accepted"},
    {"AckAcceptedWithErrors", ack999("41", "E", "A", "E"), "R2.999",
     "$: accepted with errors by ZOD - see report R2.999", "accepted with errors"},
    {"AckPartlyAccepted", ack999("41", "A", "R", "P"), "R3.999",
     "$: partly accepted by ZOD - see report R3.999", "partly accepted"},
    {"AckRejected", ack999("41", "R", "R", "R"), "R4.999", "$: REJECTED by ZOD - see report R4.999",
     "rejected"},
    {"ClaimsPartlyRejected", status277("A7"), "R5.277",
     "$: 2 claims accepted, 1 rejected (patient control number PCN-2)", "partly accepted"},
    {"ClaimsAllAccepted", status277("A1"), "R6.277", "$: accepted by ZOD", "accepted"},
    // Answers to something we never sent, and a report that is not X12, change nothing.
    {"AckOfAnotherGroup", ack999("77", "R", "R", "R"), "R7.999", "", "sent"},
    {"Ta1OfAnotherInterchange", kTa1Other, "R8.TA1", "", "sent"},
    {"NotX12", "Monthly statement\r\n", "R9.TXT", "", "sent"},
    {"NoAnswerAfterTwoDays", {}, "", "$ sent %1: no answer from ZOD yet. Call ZOD.", "sent", true},
};

INSTANTIATE_TEST_SUITE_P(Rows, Answers, ::testing::ValuesIn(kRows), rowName);

// The guards ask the ledger: the same interchange sent again (its backup gone, its bytes
// not quite the same) is found there and held back unless the user says otherwise.
TEST_F(ServerTest, AnInterchangeSentBeforeIsFoundInTheLedger) {
    startStation();
    putAged(practice() + "a.clm", patterned(3000, 3000));
    z().SendClaims_Click();
    ASSERT_TRUE(QFile::remove(backupDir() + claimName(1)));
    putAged(practice() + "b.clm", patterned(3001, 3000));  // other bytes, the same interchange
    dialogs.shown.clear();
    dialogs.guardAnswers = {false};
    z().SendClaims_Click();
    EXPECT_TRUE(allMessages().startsWith("b.clm is the same claim file as " + claimName(1) +
                                         ", sent on " + dateText(QDateTime::currentDateTime())))
        << allMessages();
    EXPECT_EQ(readBytes(practice() + "b.clm"), patterned(3001, 3000));
    EXPECT_EQ(filesIn(account.claimsDir()).size(), 1);
}

// What is in the ledger's place before a send of two claim files.
enum class Before { Damaged, Folder, Newer, Locked };
struct Unusable {
    const char* name;
    Before before;
    const char* told;  // the one message about the history
    bool kept;         // the history goes on (in a new file)
};

class UnusableLedger : public ServerTest, public ::testing::WithParamInterface<Unusable> {};

TEST_P(UnusableLedger, NeverStopsASendAndIsToldOnce) {
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
    if (row.kept) {
        auto opened = Ledger::open(path);
        ASSERT_TRUE(opened.ok()) << opened.reason();
        EXPECT_EQ(opened->ledger->history()->size(), 2u);
    }
}

const Unusable kUnusable[] = {
    {"Damaged", Before::Damaged, "ledger.db was damaged. It was kept as ledger.db.damaged-", true},
    {"AFolder", Before::Folder, "The claim history is not being kept: ", false},
    {"FromANewerProgram", Before::Newer, "written by a newer version of this program", false},
    {"HeldByAnotherProgram", Before::Locked, "held the history file too long", false},
};

INSTANTIATE_TEST_SUITE_P(Rows, UnusableLedger, ::testing::ValuesIn(kUnusable), rowName);

}  // namespace
}  // namespace zv::test
