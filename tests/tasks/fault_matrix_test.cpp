// Every server operation of every task fails in turn: refused, connection cut before it,
// cut after it (the reply is lost), or stalled. Every row ends with the same checks: the
// user is told in words, no claim and no report is lost, the password shows nowhere, and
// a later run with the server well again puts everything right.
#include <gtest/gtest.h>

#include "support/steps.h"

namespace zv::test {
namespace {

enum class Task { Send, Resend, Delete, Reports };
enum class Fault { Refused, CutBefore, CutAfter, Stalled };
struct Row {
    Task task;
    const char* op;
    Fault fault;
    const char* head;  // first line of the first message; "" = none but the report question
};

// Per task: what is there before, the object the fault hits, the task, and the task again
// once the server is well (a claim whose upload failed waits for a resend).
struct TaskSteps {
    const char* name;
    std::vector<Step> before;
    const char* target;
    std::vector<Step> first, again;
};
const QByteArray kA = QByteArray(1234, 'a');
// clang-format off
const TaskSteps kTasks[] = {
    {"Send", {{claim, "c1.clm", sized(100000)}, {claim, "c2.clm", sized(250000)}, {claim, "c3.clm", sized(3000)}}, "claims/*$0002.83P*", {SendClaims}, {SendClaims, answerOk, ResendClaims, {pick, "$0002.83P"}}},
    {"Resend", {{claim, "x.clm", sized(120000)}, SendClaims, {takenAway, "~/claims/$0001.83P"}}, "claims/*$0001.83P*", {answerOk, ResendClaims, {pick, "$0001.83P"}}, {answerOk, ResendClaims, {pick, "$0001.83P"}}},
    {"Delete", {{waiting, "A.83P", kA}, {waiting, "B.83P", "b"}, {backup, "A.83P", kA}, {backup, "B.83P", "b"}}, "claims/A.83P", {DeleteClaimFiles, {pickIfListed, "A.83P"}}, {DeleteClaimFiles, {pickIfListed, "A.83P"}}},
    {"Reports", {{report, "R1.TXT", sized(80000)}, {report, "R2.TXT", sized(700000)}, {report, "R3.TXT", sized(10)}}, "reports/R2.TXT", {GetReports}, {GetReports}},
};
// clang-format on
void (*const kFaults[])(ServerTest&, QString, QString) = {refuse, cutBefore, cutAfter, stall};

class FaultMatrix : public ServerTest, public ::testing::WithParamInterface<Row> {};

TEST_P(FaultMatrix, NothingIsLostAndALaterRunPutsItRight) {
    startStation();
    const Row& row = GetParam();
    const QString op = QLatin1String(row.op);
    const TaskSteps& task = kTasks[int(row.task)];
    play(task.before);
    QString target = task.target;
    if (op == "opendir" || op == "readdir") target = target.section('/', 0, 0);
    dialogs.shown.clear();
    kFaults[int(row.fault)](*this, op, expand(target));
    play(task.first);
    if (row.task == Task::Resend) dialogs.shown.erase(dialogs.shown.begin());  // the warning

    QStringList heads;
    for (const QString& text : dialogs.texts()) heads << text.section('\n', 0, 0);
    if (*row.head == 0) {
        EXPECT_TRUE(heads.isEmpty() || heads.first() == "Click OK to View Reports")
            << heads.join('|');
    } else {
        ASSERT_FALSE(heads.isEmpty()) << "nothing was shown";
        EXPECT_TRUE(heads.first().startsWith(QLatin1String(row.head))) << allMessages();
        const QString detail = dialogs.texts().first().section('\n', 1).trimmed();
        EXPECT_FALSE(detail.isEmpty()) << "no reason in words";
        EXPECT_TRUE(row.fault != Fault::Stalled || detail.contains("did not answer")) << detail;
    }
    expectNoClaimLost(claims, row.task != Task::Resend);
    expectNoReportLost(reports);
    expectNoPassword();
    for (const auto& [control, enabled] : view.enabled) EXPECT_TRUE(enabled) << int(control);
    if (row.task == Task::Send) {
        // The run ends at the failure: the third claim waits untouched, the number stays.
        EXPECT_EQ(readBytes(practice() + "c3.clm"), claims[2]);
        EXPECT_EQ(seq(), "0001");
        if (row.fault == Fault::Refused) {
            EXPECT_FALSE(QFileInfo::exists(account.claimsDir() + claimName(2)));
            // A refused close or naming still lets the run fetch the reports; the others end it.
            EXPECT_EQ(view.status.contains("Looking for Reports"), op == "close" || op == "rename");
        }
    }
    // A failed upload keeps the picker for another try; a failure after it ends the resend.
    EXPECT_TRUE(row.task != Task::Resend || view.pickerVisible == (op == "open" || op == "write"));
    // A refused removal keeps the picker for a second try.
    EXPECT_TRUE(row.fault != Fault::Refused || op != "remove" || row.task != Task::Delete ||
                view.pickerVisible);
    if (row.task == Task::Delete) {
        EXPECT_EQ(readBytes(account.claimsDir() + "B.83P"), "b");
        EXPECT_TRUE(row.fault == Fault::CutAfter ||
                    QFileInfo::exists(account.claimsDir() + "A.83P"));
    }
    // A refused report is skipped and a failed removal passed over: the next is fetched.
    if (row.task == Task::Reports && row.fault == Fault::Refused &&
        QStringList{"open", "stat", "read", "remove"}.contains(op)) {
        EXPECT_TRUE(QFileInfo::exists(reportFolder() + "R3.TXT"));
    }

    server.clearFaults();
    dialogs.shown.clear();
    play(task.again);

    EXPECT_EQ(filesIn(reportFolder()), reports);
    EXPECT_TRUE(filesIn(account.reportsDir()).isEmpty());
    for (const QByteArray& claim : claims) {
        qsizetype copies = 0;
        for (const QByteArray& bytes : filesIn(account.claimsDir())) copies += bytes == claim;
        EXPECT_EQ(copies, 1) << "a claim is not on the server exactly once";
    }
    EXPECT_TRUE(row.task != Task::Delete ||
                filesIn(account.claimsDir()).keys() == QStringList{"B.83P"});
    EXPECT_TRUE(row.task >= Task::Delete || !view.pickerVisible) << "the picker stays";
    EXPECT_FALSE(allMessages().contains('\n')) << allMessages();
}

// Each operation of a task with the faults it is tried with (R refused, B cut before, A
// cut after, S stalled) and the first line of the first message it must give.
struct Group {
    Task task;
    const char *op, *faults, *head;
};
constexpr const char* kDownload = "Report Download Failure-Try Once More.";
constexpr const char* kRemove = "Error Deleting Report File from Server. Call ZOD.";
// clang-format off
const Group kGroups[] = {
    {Task::Send, "open", "RBAS", "Upload File not Found."},
    {Task::Send, "write", "RBAS", "File Upload Failure. Try once more."},
    {Task::Send, "close", "RBAS", "Upload File Close Error. Call ZOD."},
    {Task::Resend, "open", "RBAS", "Upload File not Found."},
    {Task::Resend, "write", "RBAS", "File Upload Failure. Try once more."},
    {Task::Resend, "close", "RBAS", "Upload File Close Error. Call ZOD."},
    // The whole upload is given its name; a resend first removes its own earlier copy.
    {Task::Send, "rename", "RBAS", "The claim K9SITE0002.83P could not be given its name"},
    {Task::Resend, "rename", "RBA", "The claim K9SITE0001.83P could not be given its name"},
    {Task::Resend, "remove", "R", "The earlier copy of K9SITE0001.83P on the ZOD server could not be removed"},
    {Task::Delete, "opendir", "RBAS", "Error Opening SFTP Claims Directory. Call ZOD."},
    {Task::Delete, "readdir", "RB", "No Claim Files Found to Delete."},
    {Task::Delete, "remove", "RBA", "Unable to Delete File."},
    {Task::Reports, "opendir", "RBA", "Error Opening SFTP Reports Directory. Call ZOD."},
    {Task::Reports, "readdir", "RB", "The list of reports on the server could not be read. Try once more."},
    {Task::Reports, "open", "RBA", kDownload},
    {Task::Reports, "stat", "RB", kDownload},
    {Task::Reports, "read", "RBAS", kDownload},
    {Task::Reports, "close", "R", ""},  // everything was read and checked by then
    {Task::Reports, "close", "BA", kRemove},
    {Task::Reports, "remove", "RBA", kRemove},
};
// clang-format on

std::vector<Row> rows() {
    std::vector<Row> out;
    for (const Group& g : kGroups)
        for (const char* f = g.faults; *f; ++f)
            out.push_back({g.task, g.op, Fault(QByteArray("RBAS").indexOf(*f)), g.head});
    return out;
}

std::string rowName(const ::testing::TestParamInfo<Row>& info) {
    static const char* faults[] = {"Refused", "CutBefore", "CutAfter", "Stalled"};
    const Row& r = info.param;
    return std::string(kTasks[int(r.task)].name) + "_" + r.op + "_" + faults[int(r.fault)];
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, ::testing::ValuesIn(rows()), rowName);

}  // namespace
}  // namespace zv::test
